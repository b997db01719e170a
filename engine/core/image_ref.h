#pragma once

#include <cstdint>

namespace veltrum {

// Names an image inside the engine: row pitch equals width, 8-bit grey.
struct ImageRef {
  std::int32_t width;
  std::int32_t height;
  std::uint8_t* pixels;
};

inline constexpr int kFrameWidth = 320;
inline constexpr int kFrameHeight = 240;
inline constexpr int kFramePixels = kFrameWidth * kFrameHeight;
inline constexpr int kOutWidth = 140;   // preprocessed planes
inline constexpr int kOutHeight = 120;

}  // namespace veltrum
