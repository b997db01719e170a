#include "acquire/finger_level.h"

#include "common/frame_size.h"

namespace dravex {

int histogramLevel(const int (&histogram)[256], int n) {
  int occupied = 0;
  for (int count : histogram) occupied += count > 0;
  if (occupied > 100) {
    int sum = 0;
    for (int bin = 0; bin < 256; ++bin) {
      sum += histogram[bin];
      if (sum >= n / 2) return bin;
    }
    return 255;
  }
  int result = 0, b = 0, c = 0;
  for (int bin = 0; bin < 256; ++bin) {
    if (histogram[bin] > 50) {
      b = bin;
      if (c == 0) c = bin;
    } else if (b - c > 50) {
      result = (b + c) / 2;
    }
  }
  return result;
}

int fingerRegionLevel(const std::uint8_t* frame) {
  int histogram[256] = {};
  for (int row = 60; row < 180; ++row) {
    for (int col = 50; col < 190; ++col) ++histogram[frame[row * kFrameWidth + col]];
  }
  return histogramLevel(histogram, 140 * 120);
}

}  // namespace dravex
