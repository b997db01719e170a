#pragma once
// One POST of a multipart body to the cloud service over libcurl.

#include <cstdint>
#include <string>

namespace torvane {

// Limits of every request. The total one is also measured on the platform clock, so a test's
// fake clock can end a reply that never comes.
inline constexpr long kConnectTimeoutMs = 5000;
inline constexpr std::uint64_t kTotalTimeoutMs = 15000;
// A reply beyond this is refused whole rather than cut.
inline constexpr std::size_t kMaxReplyBytes = 4u << 20;

struct CloudReply {
  long status = 0;   // HTTP status, 0 when no answer came
  std::string text;  // the body of a complete answer with status 200, else empty

  // The service failed on its side: status 500, or an answer that says so in its body.
  bool serverFailed() const;
};

// Process-wide libcurl set-up, once; cleaned up when the process ends. Requests call it too.
void initHttpClient();

// Posts `body` to cloudBaseUrl() followed by `path`.
CloudReply postBody(const std::string& path, const std::string& body);

// The program is ending: requests under way end within about a second without an answer, and
// later ones are not sent, so no thread waits on the cloud at exit. resumeCloudRequests undoes
// it (tests).
void endCloudRequests();
void resumeCloudRequests();

}  // namespace torvane
