#pragma once
// The cipher that wraps every JSON text to and from the cloud service: AES-256-CBC under one
// fixed key with an all-zero chain block, PKCS#7 padding, base64.

#include <string>
#include <string_view>

namespace torvane {

// The key bytes are these 32 characters themselves (not decoded from hex).
inline constexpr char kPayloadKeyText[] = "5E0B93C7A14F28D6B37E9C05F1A84D2B";

std::string encryptPayload(std::string_view text);

// The text up to its first zero byte, or empty for anything that is not base64 of whole blocks
// with a valid padding (a last byte of 0 counts as no padding).
std::string decryptPayload(std::string_view text);

}  // namespace torvane
