#pragma once
// The frame the library works on: 320 x 240 grey, one byte a pixel, row by row. The size an
// ImageBlob holds, the preview shows and the engine takes.

namespace dravex {

inline constexpr int kFrameWidth = 320;
inline constexpr int kFrameHeight = 240;
inline constexpr int kFrameBytes = kFrameWidth * kFrameHeight;

}  // namespace dravex
