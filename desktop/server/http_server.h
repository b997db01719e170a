#pragma once
// The local HTTP interface the club's management pages talk to: one listener (port "56189",
// loopback unless a site opens it to every interface), its routes, the built-in answers and
// the folder "./web" at "/". Requests are handled one at a time.

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

 private:
  static int onMongooseEvent(mg_connection* connection);
  // 1 when answered here, 0 when the server's file handling answers ("/").
  int handleRequest(mg_connection* connection);

  ServerSettings m_settings;
  std::map<std::string, RouteHandler> m_routeTable;
  std::mutex m_handling;  // one request at a time
  mg_context* m_context = nullptr;
  int m_boundPort = 0;
};

}  // namespace torvane
