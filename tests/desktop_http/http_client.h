#pragma once
// A plain socket client for the local interface: sends the request bytes as they are and reads
// the reply until the server closes. Bounded: every wait ends after a few seconds.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <future>
#include <string>

#include "fvplatform/messages.h"

namespace torvane::testing {

inline std::string httpExchange(int port, const std::string& request, in_addr_t address = INADDR_LOOPBACK) {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  if (s < 0) return "socket failed";
  timeval limit{10, 0};
  ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  ::setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<std::uint16_t>(port));
  to.sin_addr.s_addr = htonl(address);
  std::string reply;
  if (::connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0 &&
      ::send(s, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
    char piece[4096];
    for (ssize_t n; (n = ::recv(s, piece, sizeof piece, 0)) > 0;) reply.append(piece, static_cast<std::size_t>(n));
  } else {
    reply = "connect failed";
  }
  ::close(s);
  return reply;
}

inline std::string get(int port, const std::string& target) {
  return httpExchange(port, "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
}

// The exchange on its own thread while this one, the dialog's user-interface thread, pumps.
inline std::string getPumping(int port, const std::string& target) {
  std::future<std::string> reply = std::async(std::launch::async, [=] { return get(port, target); });
  while (reply.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready) fvplat::PumpPending();
  return reply.get();
}

// A client that sends its request a piece at a time, as a slow or hostile one would.
class SlowClient {
 public:
  explicit SlowClient(int port) {
    m_socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    m_connected = ::connect(m_socket, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
  }
  ~SlowClient() { ::close(m_socket); }
  SlowClient(const SlowClient&) = delete;
  SlowClient& operator=(const SlowClient&) = delete;

  bool connected() const { return m_connected; }
  // False once the server has closed its side.
  bool send(const std::string& bytes) {
    return ::send(m_socket, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
  }
  // Takes what has come without waiting; true once the server has closed the connection.
  bool ended() {
    char piece[4096];
    for (;;) {
      const ssize_t n = ::recv(m_socket, piece, sizeof piece, MSG_DONTWAIT);
      if (n > 0) {
        m_reply.append(piece, static_cast<std::size_t>(n));
        continue;
      }
      if (n == 0) return true;
      return errno != EAGAIN && errno != EWOULDBLOCK;
    }
  }
  const std::string& reply() const { return m_reply; }

 private:
  int m_socket = -1;
  bool m_connected = false;
  std::string m_reply;
};

// The head every reply of "/api/userAction" starts with.
inline const std::string kJsonHead =
    "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nAccess-Control-Allow-Origin:*\r\n"
    "Access-Control-Allow-Methods:POST,GET,OPTIONS,DELETE\r\n"
    "Access-Control-Allow-Headers:x-requested-with,content-type\r\n\r\n";

}  // namespace torvane::testing
