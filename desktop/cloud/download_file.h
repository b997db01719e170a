#pragma once
// Downloads of member photos and update packages over libcurl.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace torvane {

// Bytes received so far and the announced total (0 while unknown).
using DownloadProgress = std::function<void(std::int64_t now, std::int64_t total)>;

// Whole-download limits: a member photo, an update package.
inline constexpr std::uint64_t kPhotoDownloadMs = 20000;
inline constexpr std::uint64_t kPackageDownloadMs = 600000;

struct DownloadOptions {
  // The whole transfer, connection included, on the platform clock.
  std::uint64_t totalTimeoutMs = kPhotoDownloadMs;
  // Set by another thread to end the transfer; it ends within about a second.
  const std::atomic<bool>* stop = nullptr;
  DownloadProgress progress;
};

// GETs `url` into a temporary file beside `target` and renames it over `target` only after a
// complete reply (status 200, transfer ended cleanly, in time, not stopped); otherwise `target`
// is left as it was.
bool downloadToFile(const std::string& url, const std::string& target, const DownloadOptions& options = {});

// Downloads take "http" and "https" addresses; an https server must prove itself against the
// system's certificate store, or against the PEM file named here instead (empty: the store).
void setTrustedCertificates(const std::string& pemFile);

// The last element of an address taken like a file path, without query or fragment.
std::string lastPathElement(const std::string& address);

}  // namespace torvane
