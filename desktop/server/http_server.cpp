#include "server/http_server.h"

#include <civetweb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fvplatform/clock.h"
#include "fvplatform/debug_output.h"

namespace torvane {
namespace {

constexpr const char* kNotImplemented = "HTTP/1.1 501 Not Implemented\r\nContent-Length: 0\r\n\r\n";
constexpr char kJsonHead[] =
    "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nAccess-Control-Allow-Origin:*\r\n"
    "Access-Control-Allow-Methods:POST,GET,OPTIONS,DELETE\r\n"
    "Access-Control-Allow-Headers:x-requested-with,content-type\r\n\r\n";

// The request as it came, for the console: request line and headers.
std::string requestText(const mg_request_info* info) {
  std::string text = std::string(info->request_method) + " " + info->request_uri;
  if (info->query_string != nullptr) text += std::string("?") + info->query_string;
  text += std::string(" HTTP/") + info->http_version + "\r\n";
  for (int i = 0; i < info->num_headers; ++i) {
    text += std::string(info->http_headers[i].name) + ": " + info->http_headers[i].value + "\r\n";
  }
  return text;
}

struct Body {
  int status = 200;  // 408 too slow or incomplete, 413 too large
  std::string text;
};

// The whole body, within the settings' time and size; read before a request waits its turn, so
// a slow sender holds up no one else.
Body readBody(mg_connection* connection, const ServerSettings& settings) {
  Body body;
  const long long announced = mg_get_request_info(connection)->content_length;
  if (announced > static_cast<long long>(settings.maxBodyBytes)) {
    body.status = 413;
    return body;
  }
  const std::uint64_t start = fvplat::CurrentClock().NowMs();
  // A byte at a time: a read of more waits until all of it has come, however slowly.
  char byte = 0;
  while (mg_read(connection, &byte, 1) == 1) {
    body.text.push_back(byte);
    if (body.text.size() > settings.maxBodyBytes) {
      body.status = 413;
      return body;
    }
    if (fvplat::CurrentClock().NowMs() - start >= settings.bodyTimeoutMs) {
      body.status = 408;
      return body;
    }
  }
  if (announced > 0 && body.text.size() < static_cast<std::size_t>(announced)) body.status = 408;
  return body;
}

double formNumber(const std::string& body, const char* name) {
  char value[100] = "";
  if (mg_get_var(body.data(), body.size(), name, value, sizeof value) < 0) value[0] = '\0';
  return std::atof(value);
}

// The sum's whole decimal text with six places, as "%f" prints it: 1e100 has 101 digits before
// the point, an infinite sum is "inf" or "-inf".
std::string sixPlaces(double value) {
  const int length = std::snprintf(nullptr, 0, "%f", value);
  if (length <= 0) return "0.000000";
  std::string text(static_cast<std::size_t>(length), '\0');
  std::snprintf(text.data(), text.size() + 1, "%f", value);
  return text;
}

// civetweb's own lines stay quiet: the server reports what matters itself.
int quiet(const mg_connection*, const char*) { return 1; }

}  // namespace

ServerSettings programServerSettings() {
  ServerSettings settings;
  const char* all = std::getenv(kListenAllEnv);
  settings.allInterfaces = all != nullptr && std::string(all) == "1";
  return settings;
}

HttpServer::HttpServer(ServerSettings settings) : m_settings(std::move(settings)) {}

HttpServer::~HttpServer() {
  if (m_context != nullptr) mg_stop(m_context);
}

void HttpServer::addRoute(const std::string& path, RouteHandler handler) {
  m_routeTable.emplace(path, std::move(handler));
}

bool HttpServer::serveForever() {
  if (m_context != nullptr) return true;
  const std::string ports = m_settings.allInterfaces ? m_settings.port : "127.0.0.1:" + m_settings.port;
  // Several threads take connections, so one that sends nothing holds up no one else until
  // its time runs out; the handlers still run one at a time, each once its request is whole.
  const std::string threads = std::to_string(m_settings.threads);
  const std::string requestTimeout = std::to_string(m_settings.requestTimeoutMs);
  const std::string keepAliveTimeout = std::to_string(m_settings.keepAliveTimeoutMs);
  const char* options[] = {"listening_ports", ports.c_str(),
                           "num_threads", threads.c_str(),
                           "request_timeout_ms", requestTimeout.c_str(),
                           "keep_alive_timeout_ms", keepAliveTimeout.c_str(),
                           "document_root", m_settings.webRoot.c_str(),
                           "enable_directory_listing", "yes",
                           "additional_header", "Access-Control-Allow-Origin: *",
                           "enable_keep_alive", "no",
                           nullptr};
  mg_callbacks callbacks{};
  callbacks.begin_request = &HttpServer::onMongooseEvent;
  callbacks.log_message = &quiet;
  m_context = mg_start(&callbacks, this, options);
  if (m_context == nullptr) {
    char line[160];
    std::snprintf(line, sizeof line, "local http server cannot listen on port %s (in use?); going on without it\n",
                  m_settings.port.c_str());
    std::fputs(line, stdout);
    std::fflush(stdout);
    OutputDebugStringA(line);
    return false;
  }
  mg_server_port bound[1]{};
  if (mg_get_server_ports(m_context, 1, bound) == 1) m_boundPort = bound[0].port;
  std::printf("starting http server at port: %s\n", std::to_string(m_boundPort).c_str());
  std::fflush(stdout);
  return true;
}

int HttpServer::onMongooseEvent(mg_connection* connection) {
  auto* self = static_cast<HttpServer*>(mg_get_user_data(mg_get_context(connection)));
  return self->handleRequest(connection);
}

int HttpServer::handleRequest(mg_connection* connection) {
  // Whatever a handler throws ends here, with an answer; the server goes on.
  try {
    const mg_request_info* info = mg_get_request_info(connection);
    std::printf("got request: %s\n", requestText(info).c_str());
    std::fflush(stdout);
    const std::string path = info->local_uri_raw != nullptr ? info->local_uri_raw : "";
    const std::string query = info->query_string != nullptr ? info->query_string : "";
    const Body body = readBody(connection, m_settings);
    if (body.status == 413) {
      sendJsonError(connection, 413, "Payload Too Large", "body too large");
      return 413;
    }
    if (body.status == 408) {
      sendJsonError(connection, 408, "Request Timeout", "body too slow");
      return 408;
    }
    const std::lock_guard<std::mutex> one(m_handling);
    return answer(connection, path, query, body.text);
  } catch (const std::exception& e) {
    OutputDebugStringA((std::string("local http server: request failed: ") + e.what() + "\n").c_str());
  } catch (...) {
    OutputDebugStringA("local http server: request failed\n");
  }
  sendJsonError(connection, 500, "Internal Server Error", "internal error");
  return 500;
}

int HttpServer::answer(mg_connection* connection, const std::string& path, const std::string& query,
                       const std::string& body) {
  const auto route = m_routeTable.find(path);
  if (route != m_routeTable.end()) {
    // A browser's preflight only asks whether the page may send its request: the headers and
    // no body, acting on nothing, or it would use up an outcome the page never sees.
    if (std::strcmp(mg_get_request_info(connection)->request_method, "OPTIONS") == 0) {
      const std::string reply = std::string(kJsonHead) + "0\r\n\r\n";
      mg_write(connection, reply.data(), reply.size());
      return 200;
    }
    route->second(path, query, connection, &HttpServer::sendJsonResult);
    return 200;
  }
  if (path == "/") return 0;  // the folder, with its index file or listing
  if (path == "/api/hello") {
    sendJsonResult(connection, "welcome to httpserver", -1);
  } else if (path == "/api/sum") {
    sendJsonResult(connection, sixPlaces(formNumber(body, "n1") + formNumber(body, "n2")), -1);
  } else {
    mg_write(connection, kNotImplemented, std::char_traits<char>::length(kNotImplemented));
    return 501;
  }
  return 200;
}

void HttpServer::sendJsonError(mg_connection* connection, int status, const char* reason, const char* error) {
  const std::string body = std::string("{\"error\":\"") + error + "\"}";
  const std::string reply = "HTTP/1.1 " + std::to_string(status) + " " + reason +
                            "\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
                            "\r\nAccess-Control-Allow-Origin:*\r\n\r\n" + body;
  mg_write(connection, reply.data(), reply.size());
}

void HttpServer::sendJsonResult(mg_connection* connection, const std::string& text, int type) {
  std::string body = "{ \"result\": " + text;
  body += type < 0 ? " }" : ",\"type\": " + std::to_string(type) + "}";
  char size[16];
  std::snprintf(size, sizeof size, "%zx\r\n", body.size());
  const std::string reply = std::string(kJsonHead) + size + body + "\r\n0\r\n\r\n";
  mg_write(connection, reply.data(), reply.size());
}

}  // namespace torvane
