#include "recording/upload_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "fvplatform/clock.h"

namespace pellacor {
namespace {

class Socket {
 public:
  // Non-blocking: every wait on the service is one of ours, on the platform clock.
  Socket() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)) {}
  ~Socket() {
    if (fd_ >= 0) ::close(fd_);
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

// Waits until the socket is ready for `events` or the limit passes, on the platform clock (a
// fake one moves with each sleep).
bool WaitReady(int fd, short events, std::uint64_t start, int limitMs) {
  fvplat::Clock& clock = fvplat::CurrentClock();
  while (true) {
    pollfd ready{fd, events, 0};
    if (::poll(&ready, 1, 0) > 0) return true;
    if (clock.NowMs() - start >= static_cast<std::uint64_t>(limitMs)) return false;
    Sleep(10);
  }
}

bool ConnectWithin(int fd, const sockaddr_in& address, int limitMs) {
  const std::uint64_t start = fvplat::CurrentClock().NowMs();
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return true;
  if (errno != EINPROGRESS || !WaitReady(fd, POLLOUT, start, limitMs)) return false;
  int error = 0;
  socklen_t length = sizeof error;
  return ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
}

// All of `data`, in as many pieces as the service takes, within the limit as a whole.
bool SendWithin(int fd, const char* data, std::size_t size, int limitMs) {
  const std::uint64_t start = fvplat::CurrentClock().NowMs();
  while (size > 0) {
    const ssize_t put = ::send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (put > 0) {
      data += put;
      size -= static_cast<std::size_t>(put);
      continue;
    }
    if (put < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return false;
    if (!WaitReady(fd, POLLOUT, start, limitMs)) return false;
  }
  return true;
}

// Up to `size` bytes in one receive, once something has come within the limit.
int ReceiveWithin(int fd, char* buffer, int size, int limitMs) {
  if (!WaitReady(fd, POLLIN, fvplat::CurrentClock().NowMs(), limitMs)) return 0;
  const ssize_t got = ::recv(fd, buffer, static_cast<std::size_t>(size), MSG_DONTWAIT);
  return got > 0 ? static_cast<int>(got) : 0;
}

}  // namespace

UploadOutcome SendToUploadService(const std::string& text, int port, int answerLimitMs,
                                  int sendLimitMs) {
  UploadOutcome outcome;
  Socket socket;
  if (socket.fd() < 0) return outcome;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  ::inet_pton(AF_INET, kUploadHost, &address.sin_addr);
  if (!ConnectWithin(socket.fd(), address, sendLimitMs)) return outcome;
  outcome.connected = true;
  outcome.sent = SendWithin(socket.fd(), text.c_str(), text.size() + 1, sendLimitMs);
  if (!outcome.sent) return outcome;
  char answer[11] = {};
  outcome.answerBytes = ReceiveWithin(socket.fd(), answer, 10, answerLimitMs);
  answer[outcome.answerBytes] = '\0';
  outcome.answer = std::atof(answer);
  return outcome;
}

int UploadServicePort() {
  const char* text = std::getenv(kUploadPortEnv);
  if (text == nullptr || *text == '\0') return kUploadPort;
  char* end = nullptr;
  const long port = std::strtol(text, &end, 10);
  return *end == '\0' && port >= 1 && port <= 65535 ? static_cast<int>(port) : kUploadPort;
}

bool IsPlainFileName(const std::string& name) {
  return !name.empty() && name.find("..") == std::string::npos &&
         name.find_first_of("/\\") == std::string::npos;
}

}  // namespace pellacor
