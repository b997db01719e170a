#pragma once
// A plain socket client for the local interface: sends the request bytes as they are and reads
// the reply until the server closes. Bounded: every wait ends after a few seconds.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <string>

#include "fvplatform/messages.h"

namespace torvane::testing {

inline std::string httpExchange(int port, const std::string& request) {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  if (s < 0) return "socket failed";
  timeval limit{10, 0};
  ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  ::setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<std::uint16_t>(port));
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
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

// The head every reply of "/api/userAction" starts with.
inline const std::string kJsonHead =
    "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nAccess-Control-Allow-Origin:*\r\n"
    "Access-Control-Allow-Methods:POST,GET,OPTIONS,DELETE\r\n"
    "Access-Control-Allow-Headers:x-requested-with,content-type\r\n\r\n";

}  // namespace torvane::testing
