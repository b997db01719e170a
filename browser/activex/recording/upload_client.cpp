#include "recording/upload_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "fvplatform/clock.h"

namespace pellacor {
namespace {

class Socket {
 public:
  Socket() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {}
  ~Socket() {
    if (fd_ >= 0) ::close(fd_);
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

// Up to `size` bytes, waiting on the platform clock (a fake one moves with each sleep).
int ReceiveWithin(int fd, char* buffer, int size, int limitMs) {
  fvplat::Clock& clock = fvplat::CurrentClock();
  const std::uint64_t start = clock.NowMs();
  while (true) {
    pollfd ready{fd, POLLIN, 0};
    if (::poll(&ready, 1, 0) > 0) {
      const ssize_t got = ::recv(fd, buffer, static_cast<std::size_t>(size), MSG_DONTWAIT);
      return got > 0 ? static_cast<int>(got) : 0;
    }
    if (clock.NowMs() - start >= static_cast<std::uint64_t>(limitMs)) return 0;
    Sleep(10);
  }
}

}  // namespace

UploadOutcome SendToUploadService(const std::string& text, int port, int answerLimitMs) {
  UploadOutcome outcome;
  Socket socket;
  if (socket.fd() < 0) return outcome;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  ::inet_pton(AF_INET, kUploadHost, &address.sin_addr);
  if (::connect(socket.fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    return outcome;
  }
  outcome.connected = true;
  const ssize_t sent = ::send(socket.fd(), text.c_str(), text.size() + 1, MSG_NOSIGNAL);
  outcome.sent = sent == static_cast<ssize_t>(text.size() + 1);
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
