#pragma once
// The service's side of the payload cipher, on OpenSSL's EVP interface and its base64, so that a
// fault in the program's own cipher shows up on every road rather than being mirrored here.

#include <string>
#include <string_view>

namespace simcloud {

// AES-256-CBC under the program's key, zero chain block, PKCS#7, base64.
std::string EncipherPayload(std::string_view text);
// The text, or "" for anything that is not base64 of whole blocks with a valid padding.
std::string DecipherPayload(std::string_view text);

}  // namespace simcloud
