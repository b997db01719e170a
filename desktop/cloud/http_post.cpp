#include "cloud/http_post.h"

#include <curl/curl.h>

#include <atomic>
#include <memory>

#include "cloud/cloud_config.h"
#include "cloud/multipart_body.h"
#include "fvplatform/clock.h"

namespace torvane {
namespace {

struct CurlGlobal {
  CurlGlobal() { curl_global_init(CURL_GLOBAL_ALL); }
  ~CurlGlobal() { curl_global_cleanup(); }
};

struct Transfer {
  std::string reply;
  bool tooLarge = false;
  std::uint64_t startMs = 0;
};

std::size_t WriteToString(char* data, std::size_t size, std::size_t count, void* target) {
  auto* transfer = static_cast<Transfer*>(target);
  const std::size_t n = size * count;
  if (transfer->reply.size() + n > kMaxReplyBytes) {
    transfer->tooLarge = true;
    return 0;  // ends the transfer with an error
  }
  transfer->reply.append(data, n);
  return n;
}

std::atomic<bool> g_ending{false};

// Also called about once a second while nothing arrives.
int CheckTotalTime(void* target, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  if (g_ending) return 1;
  const auto* transfer = static_cast<const Transfer*>(target);
  return fvplat::CurrentClock().NowMs() - transfer->startMs >= kTotalTimeoutMs ? 1 : 0;
}

using Easy = std::unique_ptr<CURL, decltype(&curl_easy_cleanup)>;
using Headers = std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)>;

}  // namespace

bool CloudReply::serverFailed() const {
  return status == 500 || text.find("500 Internal Server Error") != std::string::npos;
}

void initHttpClient() { static CurlGlobal global; }

void endCloudRequests() { g_ending = true; }

void resumeCloudRequests() { g_ending = false; }

CloudReply postBody(const std::string& path, const std::string& body) {
  CloudReply answer;
  if (g_ending) return answer;
  initHttpClient();
  const Easy easy(curl_easy_init(), curl_easy_cleanup);
  if (easy == nullptr) return answer;
  Headers headers(curl_slist_append(nullptr, "Expect:"), curl_slist_free_all);
  if (headers == nullptr) return answer;
  if (curl_slist_append(headers.get(), kContentTypeHeader) == nullptr) return answer;

  const std::string url = cloudBaseUrl() + path;
  Transfer transfer;
  transfer.startMs = fvplat::CurrentClock().NowMs();
  CURL* h = easy.get();
  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http");  // the service is plain HTTP
  curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(h, CURLOPT_POST, 1L);
  curl_easy_setopt(h, CURLOPT_POSTFIELDS, body.data());
  curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, WriteToString);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);  // time-outs without signals, safe on any thread
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
  curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(kTotalTimeoutMs));
  curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, CheckTotalTime);
  curl_easy_setopt(h, CURLOPT_XFERINFODATA, &transfer);
  curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);

  const CURLcode result = curl_easy_perform(h);
  curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &answer.status);
  if (result == CURLE_OK && answer.status == 200 && !transfer.tooLarge) {
    answer.text = std::move(transfer.reply);
  }
  return answer;
}

}  // namespace torvane
