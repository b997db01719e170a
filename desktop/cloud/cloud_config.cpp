#include "cloud/cloud_config.h"

#include <cstdlib>
#include <mutex>
#include <optional>

namespace torvane {
namespace {

std::mutex g_lock;
std::optional<std::string> g_url;

std::string WithFinalSlash(std::string url) {
  if (url.empty() || url.back() != '/') url += '/';
  return url;
}

}  // namespace

std::string cloudBaseUrl() {
  const std::lock_guard<std::mutex> hold(g_lock);
  if (!g_url) {
    const char* env = std::getenv(kCloudUrlEnv);
    g_url = WithFinalSlash(env != nullptr && *env != '\0' ? env : kDefaultCloudUrl);
  }
  return *g_url;
}

void setCloudBaseUrl(const std::string& url) {
  const std::lock_guard<std::mutex> hold(g_lock);
  g_url = WithFinalSlash(url);
}

}  // namespace torvane
