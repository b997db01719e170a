#include "acquire/reduce_frame.h"

#include <algorithm>
#include <cstring>

namespace dravex {
namespace {

// The mean of the 2 x 2 block whose top-left pixel is `at`, in a raw image `stride` wide.
inline std::uint8_t mean2x2(const std::uint8_t* at, int stride) {
  return static_cast<std::uint8_t>((at[0] + at[1] + at[stride] + at[stride + 1]) >> 2);
}

void reduce640x480(const std::uint8_t* raw, std::uint8_t* frame) {
  for (int i = 0; i < kFrameHeight; ++i) {
    for (int j = 0; j < kFrameWidth; ++j) frame[i * kFrameWidth + j] = mean2x2(raw + 2 * i * 640 + 2 * j, 640);
  }
}

void reduce1280x1024(const std::uint8_t* raw, std::uint8_t* frame) {
  for (int i = 0; i < kFrameHeight; ++i) {
    for (int j = 0; j < kFrameWidth; ++j) {
      frame[i * kFrameWidth + j] = mean2x2(raw + (32 + 4 * i) * 1280 + 4 * j + 1, 1280);
    }
  }
}

}  // namespace

bool reduceRawFrame(const std::uint8_t* raw, int rawBytes, std::uint8_t* frame) {
  switch (rawBytes) {
    case 640 * 480:
      reduce640x480(raw, frame);
      return true;
    case 1280 * 1024:
      reduce1280x1024(raw, frame);
      return true;
    case kFrameBytes:
      std::memcpy(frame, raw, kFrameBytes);
      return true;
    default:
      return false;
  }
}

void mirrorFrame(std::uint8_t* frame) {
  for (int row = 0; row < kFrameHeight; ++row) {
    std::reverse(frame + row * kFrameWidth, frame + (row + 1) * kFrameWidth);
  }
}

}  // namespace dravex
