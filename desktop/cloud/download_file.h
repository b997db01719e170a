#pragma once
// Downloads of member photos and update packages over libcurl.

#include <cstdint>
#include <functional>
#include <string>

namespace torvane {

// Bytes received so far and the announced total (0 while unknown).
using DownloadProgress = std::function<void(std::int64_t now, std::int64_t total)>;

// GETs `url` into a temporary file beside `target` and renames it over `target` only after a
// complete reply (status 200, transfer ended cleanly); otherwise `target` is left as it was.
bool downloadToFile(const std::string& url, const std::string& target, const DownloadProgress& progress = {});

// The last element of an address taken like a file path, without query or fragment.
std::string lastPathElement(const std::string& address);

}  // namespace torvane
