#pragma once
// A stand-in for the local upload service: accepts connections on loopback, keeps what each
// sends (up to its zero byte) and answers a fixed text.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace pellacortest {

class UploadListener {
 public:
  // On a free port that the system chooses.
  explicit UploadListener(std::string answer) : answer_(std::move(answer)) {
    if (Bind(0)) thread_ = std::thread([this] { Serve(); });
  }
  ~UploadListener() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (fd_ >= 0) ::close(fd_);
  }
  UploadListener(const UploadListener&) = delete;
  UploadListener& operator=(const UploadListener&) = delete;

  bool listening() const { return fd_ >= 0; }
  int port() const { return port_; }
  std::vector<std::string> received() {
    std::lock_guard<std::mutex> guard(lock_);
    return received_;
  }

 private:
  bool Bind(int port) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd_, 8) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      ::close(fd_);
      fd_ = -1;
      return false;
    }
    port_ = ntohs(address.sin_port);
    return true;
  }
  void Serve() {
    while (!stop_) {
      pollfd ready{fd_, POLLIN, 0};
      if (::poll(&ready, 1, 10) <= 0) continue;
      const int client = ::accept(fd_, nullptr, nullptr);
      if (client < 0) continue;
      std::string text;
      char c = 1;
      while (!stop_ && text.find('\0') == std::string::npos) {
        pollfd in{client, POLLIN, 0};
        if (::poll(&in, 1, 10) <= 0) continue;
        if (::recv(client, &c, 1, 0) != 1) break;
        text.push_back(c);
      }
      {
        std::lock_guard<std::mutex> guard(lock_);
        received_.push_back(text);
      }
      if (!answer_.empty()) ::send(client, answer_.data(), answer_.size(), MSG_NOSIGNAL);
      // Held open until the client has gone, so a silent service stays silent.
      while (!stop_) {
        pollfd in{client, POLLIN, 0};
        if (::poll(&in, 1, 10) > 0 && ::recv(client, &c, 1, 0) <= 0) break;
      }
      ::close(client);
    }
  }

  std::string answer_;
  int fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::mutex lock_;
  std::vector<std::string> received_;
};

}  // namespace pellacortest
