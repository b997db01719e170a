#include "cloud/download_file.h"

#include <curl/curl.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <system_error>

#include "cloud/http_post.h"
#include "fvplatform/clock.h"

namespace torvane {
namespace {

struct Target {
  std::FILE* file = nullptr;
  const DownloadOptions* options = nullptr;
  std::uint64_t startMs = 0;
};

// writeToFile: what the file write took; a short write ends the transfer with an error.
std::size_t writeToFile(char* data, std::size_t size, std::size_t count, void* target) {
  return std::fwrite(data, size, count, static_cast<Target*>(target)->file) * size;
}

// Also called about once a second while nothing arrives, so a stop or the end of the time is
// seen on a stalled transfer too.
int onProgress(void* target, curl_off_t total, curl_off_t now, curl_off_t, curl_off_t) {
  const auto* t = static_cast<const Target*>(target);
  const DownloadOptions& options = *t->options;
  if (options.stop != nullptr && options.stop->load()) return 1;
  if (fvplat::CurrentClock().NowMs() - t->startMs >= options.totalTimeoutMs) return 1;
  if (options.progress) options.progress(now, total);
  return 0;
}

using Easy = std::unique_ptr<CURL, decltype(&curl_easy_cleanup)>;

std::mutex g_trustLock;
std::string g_trustedCertificates;

std::string trustedCertificates() {
  const std::lock_guard<std::mutex> hold(g_trustLock);
  return g_trustedCertificates;
}

}  // namespace

void setTrustedCertificates(const std::string& pemFile) {
  const std::lock_guard<std::mutex> hold(g_trustLock);
  g_trustedCertificates = pemFile;
}

std::string lastPathElement(const std::string& address) {
  std::string path = address.substr(0, address.find_first_of("?#"));
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool downloadToFile(const std::string& url, const std::string& target, const DownloadOptions& options) {
  if (options.stop != nullptr && options.stop->load()) return false;
  initHttpClient();
  const Easy easy(curl_easy_init(), curl_easy_cleanup);
  if (easy == nullptr) return false;
  // Two downloads of one file at once each write their own part.
  static std::atomic<unsigned> serial{0};
  const std::string partial = target + "." + std::to_string(++serial) + ".part";
  Target sink;
  sink.file = std::fopen(partial.c_str(), "wb");
  if (sink.file == nullptr) return false;
  sink.options = &options;
  sink.startMs = fvplat::CurrentClock().NowMs();
  CURL* h = easy.get();
  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
  // The peer and its name are checked (libcurl's defaults, said here since the cloud's own
  // requests are plain HTTP); libcurl's built-in bundle path is the system's store.
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
  const std::string trusted = trustedCertificates();
  if (!trusted.empty()) curl_easy_setopt(h, CURLOPT_CAINFO, trusted.c_str());
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, writeToFile);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &sink);
  curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, onProgress);
  curl_easy_setopt(h, CURLOPT_XFERINFODATA, &sink);
  curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
  // The limit holds in real time as well, whatever clock the program reads.
  curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(options.totalTimeoutMs));
  // A stalled transfer (under one byte a second for 30 s) ends rather than hanging the thread.
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, 30L);
  const CURLcode result = curl_easy_perform(h);
  long status = 0;
  curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
  const bool closed = std::fclose(sink.file) == 0;
  std::error_code ignored;
  if (result != CURLE_OK || status != 200 || !closed) {
    std::filesystem::remove(partial, ignored);
    return false;
  }
  std::error_code renamed;
  std::filesystem::rename(partial, target, renamed);
  if (renamed) std::filesystem::remove(partial, ignored);
  return !renamed;
}

}  // namespace torvane
