#pragma once
// One auto-exposure step: how far a measured finger-region level moves the exposure.

namespace dravex {

struct ExposureBand {
  int low;          // band low L
  int high;         // band high H
  int maxExposure;  // E
};

inline bool levelInBand(int level, const ExposureBand& band) {
  return band.low <= level && level <= band.high;
}

// The exposure after one step from `current` for a level outside the band, by the step the
// level's distance from the band chooses (steps s1 > s2 > s3 > s4), kept within 1..E.
int nextExposure(int level, int current, const ExposureBand& band, const float (&steps)[4]);

}  // namespace dravex
