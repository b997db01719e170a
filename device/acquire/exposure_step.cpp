#include "acquire/exposure_step.h"

#include <algorithm>
#include <cmath>

namespace dravex {
namespace {

int up(int current, float step, int maxExposure) {
  return std::min(static_cast<int>(static_cast<double>(current) + step), maxExposure);
}

int down(int current, float step) {
  int n = static_cast<int>(static_cast<double>(current) - step);
  return n <= 0 ? 1 : n;
}

}  // namespace

int nextExposure(int level, int current, const ExposureBand& band, const float (&steps)[4]) {
  const int low = band.low, high = band.high, e = band.maxExposure;
  const int highAndHalf = static_cast<int>(std::trunc(1.5 * high));
  int n = current;
  if (level < low >> 2) {
    n = up(current, steps[0], e);
  } else if (level < low >> 1) {
    n = up(current, steps[1], e);
  } else if (level < low - 10) {
    n = up(current, steps[2], e);
  } else if (level < low) {
    n = up(current, steps[3], e);
  } else if (level <= high) {
    n = current;  // in the band: callers do not step
  } else if (level < high + 10) {
    n = down(current, steps[3]);
  } else if (level < highAndHalf) {
    n = down(current, steps[2]);
  } else if (level < 2 * high) {
    n = down(current, steps[1]);
  } else {
    n = down(current, steps[0]);
  }
  // A device that reports no maximum still gets the smallest exposure, never 0.
  return std::max(1, std::min(n, e));
}

}  // namespace dravex
