#include "cloud/payload_cipher.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "cloud/rijndael.h"
#include "fvcommon/base64.h"

namespace torvane {
namespace {

constexpr bool KeyTextHasExpectedShape() {
  for (int i = 0; i < 32; ++i) {
    const char ch = kPayloadKeyText[i];
    if (!((ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'F'))) return false;
  }
  return kPayloadKeyText[32] == '\0';
}
static_assert(KeyTextHasExpectedShape());

const std::uint8_t* PayloadKey() { return reinterpret_cast<const std::uint8_t*>(kPayloadKeyText); }

// A fresh chain block for every call, so requests on two threads never share one.
constexpr std::uint8_t kZeroChain[16] = {};

}  // namespace

std::string encryptPayload(std::string_view text) {
  const std::size_t n = (text.size() / 16 + 1) * 16;
  std::vector<std::uint8_t> bytes(n, static_cast<std::uint8_t>(n - text.size()));
  std::copy(text.begin(), text.end(), bytes.begin());
  CRijndael(PayloadKey(), kZeroChain).EncryptCbc(bytes.data(), n);
  return fvcommon::Base64Encode(bytes.data(), n);
}

std::string decryptPayload(std::string_view text) {
  if (text.empty()) return {};
  std::vector<std::uint8_t> bytes = fvcommon::Base64Decode(text);
  if (bytes.empty() || bytes.size() % 16 != 0) return {};
  CRijndael(PayloadKey(), kZeroChain).DecryptCbc(bytes.data(), bytes.size());
  const std::uint8_t pad = bytes.back();
  if (pad > 16) return {};
  const auto tail = bytes.end() - pad;
  if (!std::all_of(tail, bytes.end(), [pad](std::uint8_t b) { return b == pad; })) return {};
  bytes.erase(tail, bytes.end());
  const auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
  return std::string(bytes.begin(), end);
}

}  // namespace torvane
