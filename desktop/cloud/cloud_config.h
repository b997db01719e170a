#pragma once
// Where the cloud membership service lives: a plain HTTP base address ending with "/".

#include <string>

namespace torvane {

// Read once, at the first use, when no address was set: the program's setting.
inline constexpr const char* kCloudUrlEnv = "TORVANE_CLOUD_URL";
inline constexpr const char* kDefaultCloudUrl = "http://127.0.0.1:56190/";

// The configured address; a missing final "/" is added.
std::string cloudBaseUrl();
// Replaces the address (start-up settings, tests).
void setCloudBaseUrl(const std::string& url);

}  // namespace torvane
