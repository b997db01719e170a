#pragma once
// A server on loopback that answers every GET with "200 OK", announces a large body and then
// sends it one byte at a time, slowly, until it is stopped: a stalled download.

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "loopback_listener.h"

namespace torvane::testing {

class TrickleServer {
 public:
  TrickleServer() {
    m_listener = listenOnLoopback(m_port);
    m_thread = std::thread([this] { serve(); });
  }
  ~TrickleServer() {
    m_stop = true;
    m_thread.join();
    for (int c : m_clients) ::close(c);
    ::close(m_listener);
  }
  TrickleServer(const TrickleServer&) = delete;
  TrickleServer& operator=(const TrickleServer&) = delete;

  std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(m_port) + path; }
  // Connections taken so far.
  int connections() const { return m_connections; }

 private:
  void serve() {
    auto lastByte = std::chrono::steady_clock::now();
    while (!m_stop) {
      pollfd listening{m_listener, POLLIN, 0};
      if (::poll(&listening, 1, 20) == 1) {
        const int c = ::accept(m_listener, nullptr, nullptr);
        if (c >= 0) {
          char piece[4096];
          (void)::recv(c, piece, sizeof piece, 0);  // the request; its head fits in one piece
          const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n";
          ::send(c, head.data(), head.size(), MSG_NOSIGNAL);
          m_clients.push_back(c);
          ++m_connections;
        }
      }
      if (std::chrono::steady_clock::now() - lastByte > std::chrono::milliseconds(400)) {
        lastByte = std::chrono::steady_clock::now();
        for (int c : m_clients) ::send(c, "x", 1, MSG_NOSIGNAL);
      }
    }
  }

  int m_listener = -1;
  int m_port = 0;
  std::atomic<bool> m_stop{false};
  std::atomic<int> m_connections{0};
  std::vector<int> m_clients;  // the serving thread's alone
  std::thread m_thread;
};

}  // namespace torvane::testing
