#include "edges/edge_profiles.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "core/image_ref.h"
#include "edges/finger_edges.h"
#include "tables/log_table16.h"
#include "tables/lookup_tables.h"

namespace veltrum {

void BuildGradientPlanePlain(const std::uint8_t* image, std::uint8_t* mapped,
                             std::uint8_t* gradient) {
  const auto& root = Tables().ScaledRootTable;
  for (int i = 0; i < kFramePixels; ++i) mapped[i] = root[image[i]];
  std::fill(gradient, gradient + kFramePixels, std::uint8_t{0});
  auto h = [&](int r, int c) {
    const std::uint8_t* p = mapped + r * kFrameWidth + c;
    return p[-1] + 2 * p[0] + p[1];
  };
  for (int r = 1; r < kFrameHeight - 1; ++r) {
    for (int c = 1; c < kFrameWidth - 1; ++c) {
      gradient[r * kFrameWidth + c] = static_cast<std::uint8_t>(std::abs(h(r - 1, c) - h(r + 1, c)) / 4);
    }
  }
}

void StripDifferenceProfiles(const std::uint8_t* image, StripProfiles& profiles) {
  for (auto& p : profiles) p[0] = p[kEdgeRows - 1] = 0;
  std::array<std::uint8_t, kFrameWidth> difference;
  for (int r = 1; r < kEdgeRows - 1; ++r) {
    const std::uint8_t* below = image + (r + 1) * kFrameWidth;
    const std::uint8_t* above = image + (r - 1) * kFrameWidth;
    for (int c = 0; c < kFrameWidth; ++c) {
      difference[c] = static_cast<std::uint8_t>(std::max(below[c], above[c]) -
                                                std::min(below[c], above[c]));
    }
    for (int j = 0; j < kEdgeStrips; ++j) {
      std::int32_t sum = 0;
      for (int k = 0; k < 10; ++k) sum += difference[10 * j + k];
      profiles[j][r] = sum;
    }
  }
}

void SumColumns(const std::uint8_t* plane, int c0, int c1, std::int32_t* profile) {
  for (int r = 0; r < kEdgeRows; ++r) {
    const std::uint8_t* row = plane + r * kFrameWidth;
    std::int32_t sum = 0;
    for (int c = c0; c <= c1; ++c) sum += row[c];
    profile[r] = sum;
  }
}

void Smooth121(std::int32_t* profile, int first, int last, int rounding) {
  std::array<std::int32_t, kEdgeRows> copy;
  std::copy(profile, profile + kEdgeRows, copy.begin());
  for (int r = first; r <= last; ++r) {
    profile[r] = (copy[r - 1] + 2 * copy[r] + copy[r + 1] + rounding) / 4;
  }
}

int BestWeightedRow(const std::int32_t* profile, int centre, int lo, int hi, int peak) {
  const int first = std::max(centre - 8, lo);
  const int last = std::min(centre + 8, hi);
  std::int64_t best = 0;
  int row = -1;
  for (int r = first; r <= last; ++r) {
    const std::int64_t score = static_cast<std::int64_t>(peak - std::abs(r - centre)) * profile[r];
    if (score > best) {
      best = score;
      row = r;
    }
  }
  return row;
}

EdgePair SearchOutwardPeaks(const std::int32_t* profile, int maxDistance, double strongerBy,
                            bool onlyWideSpan) {
  auto level = [&](int r) { return LogTable16[std::min(profile[r] / 5, 1023)]; };
  std::int32_t bestUp = 0, bestDown = 0;
  int up = 0, down = 0;
  // Strictly greater replaces, so of equal peaks the one nearer the centre stays.
  auto consider = [&](int k, std::int32_t value, std::int32_t& best, int& at) {
    const bool far = k - at > 10 && (!onlyWideSpan || up + down > 80);
    if (value > (far ? best * strongerBy : static_cast<double>(best))) {
      best = value;
      at = k;
    }
  };
  for (int k = 0; k <= maxDistance; ++k) {
    consider(k, level(120 - k), bestUp, up);
    consider(k, level(120 + k), bestDown, down);
  }
  return {120 - up, 120 + down};
}

void TrackStrips(const std::uint8_t* gradient, std::int32_t* trackUpper, std::int32_t* trackLower,
                 int from, int to, int step, int rounding, const StripRows* strips) {
  std::array<std::int32_t, kEdgeRows> profile;
  for (int j = from; step < 0 ? j >= to : j <= to; j += step) {
    // The 20 columns reach from strip j towards the centre by one column more than away.
    const int c0 = step < 0 ? 10 * j - 9 : 10 * j - 10;
    SumColumns(gradient, c0, c0 + 19, profile.data());
    Smooth121(profile.data(), 1, kEdgeRows - 2, rounding);
    const int prevUpper = trackUpper[j - step];
    const int prevLower = trackLower[j - step];
    if (strips != nullptr && std::abs(prevUpper - strips->upper[j]) < 6) {
      trackUpper[j] = strips->upper[j];
    } else {
      trackUpper[j] = std::max(BestWeightedRow(profile.data(), prevUpper, 0, kEdgeRows - 1, 15), 0);
    }
    if (strips != nullptr && std::abs(prevLower - strips->lower[j]) < 6) {
      trackLower[j] = strips->lower[j];
    } else {
      const int row = BestWeightedRow(profile.data(), prevLower, 0, kEdgeRows - 1, 15);
      if (row < 0) return;  // lost lower edge: this direction ends here
      trackLower[j] = row;
    }
  }
}

void WriteInterpolatedEdges(const std::int32_t* trackUpper, const std::int32_t* trackLower, int j0,
                            int j1, std::int16_t* upper, std::int16_t* lower) {
  std::fill(upper, upper + kFrameWidth, std::int16_t{0});
  std::fill(lower, lower + kFrameWidth, std::int16_t{0});
  for (int j = j0; j < j1; ++j) {
    for (int k = 0; k < 10; ++k) {
      upper[10 * j + k] =
          static_cast<std::int16_t>(((10 - k) * trackUpper[j] + k * trackUpper[j + 1] + 5) / 10);
      lower[10 * j + k] =
          static_cast<std::int16_t>(((10 - k) * trackLower[j] + k * trackLower[j + 1] + 5) / 10);
    }
  }
}

void TrackedSpan(const std::int32_t* trackUpper, const std::int32_t* trackLower, int& first,
                 int& last) {
  first = 1;
  last = 31;
  for (int j = 1; j <= 31; ++j) {
    if (HasBothEdges(trackUpper, trackLower, j)) {
      first = j;
      break;
    }
  }
  for (int j = 31; j >= 1; --j) {
    if (HasBothEdges(trackUpper, trackLower, j)) {
      last = j;
      break;
    }
  }
}

}  // namespace veltrum
