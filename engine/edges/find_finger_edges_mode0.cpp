// Edge search of engine mode 0: robust band estimates left and right, a weighted estimate in
// the middle, refined at column 160 and tracked outwards in steps of 10 columns.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

#include "core/alloc.h"
#include "core/image_ref.h"
#include "core/status.h"
#include "edges/edge_profiles.h"
#include "edges/finger_edges.h"

namespace veltrum {
namespace {

using Profile = std::int32_t*;

// From a copy: the mean of the 11 rows r-5..r+5 for rows 5..234.
void SmoothBox11(Profile p) {
  std::array<std::int32_t, kEdgeRows> copy;
  std::copy(p, p + kEdgeRows, copy.begin());
  for (int r = 5; r <= kEdgeRows - 6; ++r) {
    std::int32_t sum = 0;
    for (int i = r - 5; i <= r + 5; ++i) sum += copy[i];
    p[r] = sum / 11;
  }
}

// Combined profile of the 80-column band from column c0: mean and geometric mean of four
// 20-column sub-bands, so one strong sub-band alone cannot make a peak.
void BandProfile(const std::uint8_t* gradient, int c0, Profile sub, Profile combined) {
  Profile p[4] = {sub, sub + kEdgeRows, sub + 2 * kEdgeRows, sub + 3 * kEdgeRows};
  for (int k = 0; k < 4; ++k) SumColumns(gradient, c0 + 20 * k, c0 + 20 * k + 19, p[k]);
  Smooth121(p[1], 3, kEdgeRows - 4, 0);
  Smooth121(p[2], 3, kEdgeRows - 4, 0);
  SmoothBox11(p[0]);
  SmoothBox11(p[3]);
  std::fill(combined, combined + kEdgeRows, 0);
  for (int r = 3; r <= kEdgeRows - 4; ++r) {
    const float product = static_cast<float>(static_cast<double>(p[0][r]) * p[1][r] * p[2][r] *
                                             p[3][r]);
    const auto g = static_cast<std::int32_t>(std::sqrt(std::sqrt(product)));
    combined[r] = ((p[0][r] + p[1][r] + p[2][r] + p[3][r]) / 4 + g) / 2;
  }
}

EdgePair SearchBand(Profile combined) { return SearchOutwardPeaks(combined, 116, 1.0 + 0.2, true); }

// Weights the middle band's profile towards the rows the outer bands agree on.
void WeightTowards(const EdgePair& left, const EdgePair& right, Profile combined) {
  const int uA = (left.upper + right.upper) / 2;
  const int lA = (left.lower + right.lower) / 2;
  const double sU = std::abs(left.upper - right.upper) + 1;
  const double sL = std::abs(left.lower - right.lower) + 1;
  const int m = (uA + lA) / 2;
  for (int r = 0; r < kEdgeRows; ++r) {
    std::int32_t w = 0;
    if (r >= m) {
      w = static_cast<std::int32_t>(1024.0 * std::exp(-(r - lA) * (r - lA) / (8.0 * sL * sL)));
    } else if (uA + lA >= 2) {
      w = static_cast<std::int32_t>(1024.0 * std::exp(-(r - uA) * (r - uA) / (8.0 * sU * sU)));
    }
    combined[r] = combined[r] * w / 1024;
  }
}

// Three taps, 1-2-1, between the ends of the span.
void SmoothTrackThreeTaps(std::int32_t* t, int j1, int j2) {
  std::array<std::int32_t, kTrackEntries> copy;
  std::copy(t, t + kTrackEntries, copy.begin());
  for (int j = j1 + 1; j <= j2 - 1; ++j) t[j] = (copy[j - 1] + 2 * copy[j] + copy[j + 1] + 2) / 4;
}

}  // namespace

int FindFingerEdgesMode0(const std::uint8_t* image, std::int16_t* upper, std::int16_t* lower) {
  auto mapped = AllocArray<std::uint8_t>(kFramePixels);
  auto gradient = AllocArray<std::uint8_t>(kFramePixels);
  auto work = AllocZeroedArray<std::int32_t>(5 * kEdgeRows);
  if (!mapped || !gradient || !work) return kOutOfMemory;
  BuildGradientPlane(image, mapped.get(), gradient.get());
  Profile sub = work.get();
  Profile combined = sub + 4 * kEdgeRows;

  BandProfile(gradient.get(), 0, sub, combined);
  const EdgePair left = SearchBand(combined);
  BandProfile(gradient.get(), 240, sub, combined);
  const EdgePair right = SearchBand(combined);
  BandProfile(gradient.get(), 120, sub, combined);
  WeightTowards(left, right, combined);
  const EdgePair middle = SearchBand(combined);

  std::array<std::int32_t, kTrackEntries> trackUpper{}, trackLower{};
  SumColumns(gradient.get(), 150, 169, combined);
  Smooth121(combined, 1, kEdgeRows - 2, 2);
  trackUpper[16] = std::max(BestWeightedRow(combined, middle.upper, 0, kEdgeRows - 1, 12), 0);
  trackLower[16] = std::max(BestWeightedRow(combined, middle.lower, 0, kEdgeRows - 1, 12), 0);
  // A centre without both edges gives nothing to track from, and no edge to report.
  if (trackUpper[16] == 0 || trackLower[16] == 0) {
    trackUpper[16] = 0;
    trackLower[16] = 0;
  } else {
    TrackStrips(gradient.get(), trackUpper.data(), trackLower.data(), 15, 1, -1, 2, nullptr);
    TrackStrips(gradient.get(), trackUpper.data(), trackLower.data(), 17, 31, 1, 2, nullptr);
  }

  int j1 = 1, j2 = 31;
  TrackedSpan(trackUpper.data(), trackLower.data(), j1, j2);
  SmoothTrackThreeTaps(trackUpper.data(), j1, j2);
  SmoothTrackThreeTaps(trackLower.data(), j1, j2);
  if (j1 == 1) {
    trackUpper[0] = trackUpper[1];
    trackLower[0] = trackLower[1];
    j1 = 0;
  }
  if (j2 == 31) {
    trackUpper[32] = trackUpper[31];
    trackLower[32] = trackLower[31];
    j2 = 32;
  }
  WriteInterpolatedEdges(trackUpper.data(), trackLower.data(), j1, std::max(j1, j2), upper, lower);
  return kOk;
}

}  // namespace veltrum
