#pragma once
// Raw frames of the supported sizes reduced to the 320 x 240 frame the library works on.

#include <cstdint>

#include "common/frame_size.h"

namespace dravex {

// 640 x 480: 2 x 2 means; 1280 x 1024: 2 x 2 means of every 4th row pair and column pair of a
// band starting at row 32; 320 x 240: a copy. Any other size: false, frame untouched.
bool reduceRawFrame(const std::uint8_t* raw, int rawBytes, std::uint8_t* frame);

// Swaps pixel j with pixel 319 - j on every row.
void mirrorFrame(std::uint8_t* frame);

}  // namespace dravex
