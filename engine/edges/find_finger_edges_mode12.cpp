// Edge search of engine modes 1 and 2: coarse edges per 10-column strip from the raw image,
// anchored at the centre and tracked outwards on the gradient of the root-mapped image.

#include <algorithm>
#include <array>

#include "core/alloc.h"
#include "core/image_ref.h"
#include "core/status.h"
#include "edges/edge_profiles.h"
#include "edges/finger_edges.h"

namespace veltrum {
namespace {

constexpr int kStrips = kEdgeStrips;

// P(r) = sum over the columns of the given strips of |I(r+1, c) - I(r-1, c)|, smoothed on rows
// 3..236.
void RawEdgeProfile(const StripProfiles& strips, int j0, int j1, std::int32_t* profile) {
  std::copy(strips[j0].begin(), strips[j0].end(), profile);
  for (int j = j0 + 1; j <= j1; ++j) {
    for (int r = 0; r < kEdgeRows; ++r) profile[r] += strips[j][r];
  }
  Smooth121(profile, 3, kEdgeRows - 4, 0);
}

// The strongest row of the upper half, then moved to the last strong falling row up to 110.
int StripUpperRow(const std::int32_t* p) {
  int a = 9;
  for (int r = 9; r <= 109; ++r) {
    if (p[r] > p[a]) a = r;
  }
  for (int r = a + 1; r <= 110; ++r) {
    if (p[r] >= p[r + 1] && p[r] > 200) a = r;
  }
  return a;
}

int StripLowerRow(const std::int32_t* p) {
  int b = 129;
  for (int r = 129; r <= 229; ++r) {
    if (p[r] > p[b]) b = r;
  }
  for (int r = b - 1; r >= 128; --r) {
    if (p[r] >= p[r - 1] && p[r] > 200) b = r;
  }
  return b;
}

bool IsCentrePeak(const std::int32_t* q, int r) {
  return r >= 1 && r <= kEdgeRows - 2 && q[r] > q[r - 1] && q[r] > q[r + 1] && q[r] > 200;
}

// Five taps, 1-2-4-2-1, two entries in from each end of the span.
void SmoothTrackFiveTaps(std::int32_t* t, int s0, int s1) {
  std::array<std::int32_t, kTrackEntries> copy;
  std::copy(t, t + kTrackEntries, copy.begin());
  for (int j = s0 + 2; j <= s1 - 2; ++j) {
    t[j] = (copy[j - 2] + 2 * copy[j - 1] + 4 * copy[j] + 2 * copy[j + 1] + copy[j + 2] + 5) / 10;
  }
}

}  // namespace

int FindFingerEdgesMode12(const std::uint8_t* image, std::int16_t* upper, std::int16_t* lower) {
  auto mapped = AllocArray<std::uint8_t>(kFramePixels);
  auto gradient = AllocArray<std::uint8_t>(kFramePixels);
  auto profile = AllocZeroedArray<std::int32_t>(kEdgeRows);
  if (!mapped || !gradient || !profile) return kOutOfMemory;

  StripProfiles raw;
  StripDifferenceProfiles(image, raw);
  std::array<std::int32_t, kStrips> stripUpper{}, stripLower{};
  for (int j = 0; j < kStrips; ++j) {
    RawEdgeProfile(raw, j, j, profile.get());
    stripUpper[j] = StripUpperRow(profile.get());
    stripLower[j] = StripLowerRow(profile.get());
  }
  int first = -1, end = -1;
  for (int j = 0; j < kStrips; ++j) {
    if (stripUpper[j] != 9 && stripLower[j] != 129) {
      if (first < 0) first = j;
      end = j + 1;
    }
  }
  if (first < 0) return kFailed;

  int sumUpper = 0, sumLower = 0;
  for (int j = first; j < end; ++j) {
    sumUpper += stripUpper[j];
    sumLower += stripLower[j];
  }
  const int meanUpper = sumUpper / (end - first);
  const int meanLower = sumLower / (end - first);

  RawEdgeProfile(raw, 15, 16, profile.get());  // columns 150..169
  int anchorUpper = meanUpper, anchorLower = meanLower;
  for (int r = meanUpper - 8; r <= meanUpper + 8; ++r) {
    if (IsCentrePeak(profile.get(), r)) anchorUpper = r;
  }
  for (int r = meanLower + 8; r >= meanLower - 8; --r) {
    if (IsCentrePeak(profile.get(), r)) anchorLower = r;
  }

  BuildGradientPlane(image, mapped.get(), gradient.get());
  std::array<std::int32_t, kTrackEntries> trackUpper{}, trackLower{};
  trackUpper[16] = anchorUpper;
  trackLower[16] = anchorLower;
  const StripRows strips{stripUpper.data(), stripLower.data()};
  TrackStrips(gradient.get(), trackUpper.data(), trackLower.data(), 15, first + 1, -1, 0, &strips);
  TrackStrips(gradient.get(), trackUpper.data(), trackLower.data(), 17, end - 1, 1, 0, &strips);

  int s0 = 1, s1 = 31;
  TrackedSpan(trackUpper.data(), trackLower.data(), s0, s1);
  SmoothTrackFiveTaps(trackUpper.data(), s0, s1);
  SmoothTrackFiveTaps(trackLower.data(), s0, s1);
  WriteInterpolatedEdges(trackUpper.data(), trackLower.data(), s0, s0 < s1 ? s1 : s0, upper, lower);
  return kOk;
}

}  // namespace veltrum
