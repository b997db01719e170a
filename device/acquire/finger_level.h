#pragma once
// The grey level of a frame's finger region, which the auto-exposure steers into its band.

#include <cstdint>

namespace dravex {

// Level of a 256-bin histogram over n pixels: the median when the histogram is spread (more than
// 100 non-empty bins), else the middle between the first and last crowded bin of a wide enough
// spread, else 0.
int histogramLevel(const int (&histogram)[256], int n);

// Level of the region of rows 60..179, columns 50..189 of a 320 x 240 frame, 0..255.
int fingerRegionLevel(const std::uint8_t* frame);

}  // namespace dravex
