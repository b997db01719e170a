#include "cipher/image_cipher.h"

#include <cstring>
#include <mutex>

#include "core/status.h"

namespace veltrum {
namespace {

constexpr bool KeyTextHasExpectedShape() {
  int hyphens = 0;
  for (int i = 0; i < 32; ++i) {
    const char ch = kImageCipherKeyText[i];
    if (ch == '-') {
      ++hyphens;
    } else if (ch < 'a' || ch > 'z') {
      return false;
    }
  }
  return hyphens == 1;
}
static_assert(sizeof kImageCipherKeyText > 32 && KeyTextHasExpectedShape());

}  // namespace

const fvaes::KeySchedule256& ImageCipherSchedule() {
  static const fvaes::KeySchedule256 schedule = [] {
    fvaes::KeySchedule256 s;
    fvaes::AesSetKey256(reinterpret_cast<const std::uint8_t*>(kImageCipherKeyText), s);
    return s;
  }();
  return schedule;
}

int EncryptImageData(unsigned char* out, const unsigned char* in, int length) {
  if (length <= 0) return kOk;
  if (out == nullptr || in == nullptr) return kFailed;
  const fvaes::KeySchedule256& schedule = ImageCipherSchedule();
  const int whole = length >> 4;
  for (int k = 0; k < whole; ++k) fvaes::AesEncryptBlock(schedule, out + 16 * k, in + 16 * k);
  if (const int rest = length & 15; rest != 0) {
    std::uint8_t block[16] = {};
    std::memcpy(block, in + 16 * whole, static_cast<std::size_t>(rest));
    fvaes::AesEncryptBlock(schedule, out + 16 * whole, block);
  }
  return kOk;
}

int DecryptImageData(unsigned char* out, const unsigned char* in, int length) {
  if (length < 16) return kOk;
  if (out == nullptr || in == nullptr) return kFailed;
  const fvaes::KeySchedule256& schedule = ImageCipherSchedule();
  for (int k = 0; k < (length >> 4); ++k) {
    fvaes::AesDecryptBlock(schedule, out + 16 * k, in + 16 * k);
  }
  return kOk;
}

}  // namespace veltrum
