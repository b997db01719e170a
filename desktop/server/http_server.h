#pragma once
// The local HTTP interface the club's management pages talk to: one listener (port "56189",
// loopback unless a site opens it to every interface), its routes, the built-in answers and
// the folder "./web" at "/". Requests are handled one at a time.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>

struct mg_connection;
struct mg_context;

namespace torvane {

inline constexpr const char* kLocalApiPort = "56189";
// Set to 1 to listen on every interface instead of loopback alone.
inline constexpr const char* kListenAllEnv = "TORVANE_HTTP_ALL_INTERFACES";

using ReplyFunction = void (*)(mg_connection* connection, const std::string& text, int type);
using RouteHandler = std::function<bool(const std::string& path, const std::string& query,
                                        mg_connection* connection, ReplyFunction reply)>;

struct ServerSettings {
  std::string port = kLocalApiPort;  // "0" takes any free port (tests)
  bool allInterfaces = false;
  std::string webRoot = "./web";
  // Threads that take connections; each slow client holds one until its time runs out.
  int threads = 32;
  // A request's line and headers must have arrived within this (real time), and each wait for
  // more of its body ends after it; a kept-alive connection may wait this long for its next.
  int requestTimeoutMs = 5000;
  int keepAliveTimeoutMs = 500;
  // A body must have arrived whole within this (platform clock) and be no larger than this.
  std::uint64_t bodyTimeoutMs = 5000;
  std::size_t maxBodyBytes = 64 * 1024;
};

// The settings of the program: the fixed port, interfaces as kListenAllEnv says.
ServerSettings programServerSettings();

class HttpServer {
 public:
  explicit HttpServer(ServerSettings settings = {});
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Adds a route unless its path has one already.
  void addRoute(const std::string& path, RouteHandler handler);
  // Starts listening and serving until the object goes. False when the port cannot be bound:
  // said once on the console and in the debugger output, and nothing is served.
  bool serveForever();
  // The bound port, 0 before serving.
  int port() const { return m_boundPort; }

  // One chunked "200 OK" reply with the interface's cross-origin headers and the body
  // "{ \"result\": text }" (type below 0) or "{ \"result\": text,\"type\": type}".
  static void sendJsonResult(mg_connection* connection, const std::string& text, int type);
  // A refusal: `status` with the body {"error":"<error>"} and the cross-origin header.
  static void sendJsonError(mg_connection* connection, int status, const char* reason, const char* error);

 private:
  static int onMongooseEvent(mg_connection* connection);
  // 1 when answered here, 0 when the server's file handling answers ("/").
  int handleRequest(mg_connection* connection);
  int answer(mg_connection* connection, const std::string& path, const std::string& query,
             const std::string& body);

  ServerSettings m_settings;
  std::map<std::string, RouteHandler> m_routeTable;
  std::mutex m_handling;  // one request at a time
  mg_context* m_context = nullptr;
  int m_boundPort = 0;
};

}  // namespace torvane
