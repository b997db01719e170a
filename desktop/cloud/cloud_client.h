#pragma once
// The three senders of cloud requests. Each request has its own body, chain block and curl
// handle, so requests from the worker, the interface thread and the local server may overlap.

#include <json/value.h>

#include <array>
#include <string>

#include "cloud/http_post.h"

namespace torvane {

// The styled JSON text of the JSON library: one member per line, three spaces of indent.
std::string styledJson(const Json::Value& value);
// `n` as "%u" formats it.
std::string uintToString(unsigned n);

// Enciphers `json` and posts it alone to `path`.
CloudReply postJson(const Json::Value& json, const std::string& path);
// Posts an already enciphered payload and one image to "v1/fv/signKqFv" (signIn) or
// "v1/fv/authKqFv".
CloudReply postIdentify(const std::string& payload, const std::string& imagePath, bool signIn);
// Posts an enciphered payload and three images to "v1/fv/addEKqFv" (employee) or "v1/fv/addKqFv".
CloudReply postEnrolment(const std::string& payload, const std::array<std::string, 3>& imagePaths,
                         bool employee);

}  // namespace torvane
