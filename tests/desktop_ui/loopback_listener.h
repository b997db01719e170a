#pragma once
// A listening socket on 127.0.0.1 at a port the system chooses, for the tests' own servers.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace torvane::testing {

// The listening socket (-1 when it cannot listen); its port goes to `port`.
inline int listenOnLoopback(int& port, int backlog = 8) {
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof at;
  if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 ||
      ::listen(listener, backlog) != 0 || ::getsockname(listener, reinterpret_cast<sockaddr*>(&at), &size) != 0) {
    port = 0;
    return -1;
  }
  port = ntohs(at.sin_port);
  return listener;
}

}  // namespace torvane::testing
