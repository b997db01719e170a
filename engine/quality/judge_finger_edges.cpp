// From the finger's edges to a verdict: position, width and length, then the crop between the
// edges (contrast, clarity, bright share) and the band that holds the finger.

#include <algorithm>
#include <cstring>

#include "core/alloc.h"
#include "core/image_ref.h"
#include "core/status.h"
#include "edges/finger_edges.h"
#include "quality/quality_check.h"
#include "quality/quality_measures.h"

namespace veltrum {
namespace {

struct EdgeStatistics {
  int minUpper = 240, maxUpper = 0, minLower = 240, maxLower = 0;
  int empty = 0;  // columns with neither edge
};

EdgeStatistics ColumnStatistics(const std::int16_t* upper, const std::int16_t* lower) {
  EdgeStatistics s;
  for (int c = 0; c < kFrameWidth; ++c) {
    if (upper[c] > 0) {
      s.minUpper = std::min<int>(s.minUpper, upper[c]);
      s.maxUpper = std::max<int>(s.maxUpper, upper[c]);
    }
    if (lower[c] > 0) {
      s.minLower = std::min<int>(s.minLower, lower[c]);
      s.maxLower = std::max<int>(s.maxLower, lower[c]);
    }
    s.empty += upper[c] == 0 && lower[c] == 0;
  }
  return s;
}

struct Crop {
  int left, width, top, height;
};

Crop PlaceCrop(const std::int16_t* upper, const std::int16_t* lower, const EdgeStatistics& s) {
  int left = 0, right = 0;
  for (int c = 0; c <= 159; ++c) {
    if (HasBothEdges(upper, lower, c)) {
      left = c;
      break;
    }
  }
  for (int c = 319; c >= 161; --c) {
    if (HasBothEdges(upper, lower, c)) {
      right = c;
      break;
    }
  }
  left = std::max(left, 32);
  right = std::min(right, 288);
  int width = right - left;
  while (width % 4 != 0) --width;
  return {left, width, s.maxUpper, s.minLower - s.maxUpper};
}

float CropScore(float ratio) {
  return ratio > 0.3f ? ratio * (1.0f - ratio) : ratio * 0.9f;
}

}  // namespace

int JudgeFingerEdges(const std::uint8_t* image, float* params, const std::int16_t* upper,
                     const std::int16_t* lower, int mode) {
  const EdgeStatistics stats = ColumnStatistics(upper, lower);
  if (stats.maxUpper > 120 || stats.minLower < 120) return kOffCentre;
  if (stats.maxLower - stats.minUpper < 96) return kTooNarrow;
  if (stats.empty > 110) return kTooShort;

  // An empty crop is judged before anything is taken: no column right of the middle holds the
  // finger, or its edges meet.
  const Crop crop = PlaceCrop(upper, lower, stats);
  if (crop.width <= 0) return kTooShort;
  if (crop.height <= 0) return kTooNarrow;
  const std::size_t cropPixels = static_cast<std::size_t>(crop.width) * crop.height;
  auto cropPlane = AllocArray<std::uint8_t>(cropPixels);
  if (!cropPlane) return kOutOfMemory;
  for (int r = 0; r < crop.height; ++r) {
    std::memcpy(cropPlane.get() + static_cast<std::size_t>(r) * crop.width,
                image + (crop.top + r) * kFrameWidth + crop.left, crop.width);
  }
  std::uint8_t* cp = cropPlane.get();

  const float contrast = BlockContrastScore(cp, crop.width, crop.height);
  if (const int status = LocalContrastNormalise(cp, crop.width, crop.height); status != kOk) {
    return status;
  }
  if (mode == 0) {
    float clarity = 0.0f;
    if (const int status = ClarityRatio(cp, crop.width, crop.height, clarity); status != kOk) {
      return status;
    }
    params[4] = clarity;
    if (clarity < params[1]) return kPoorFinger;
  } else {
    params[4] = 1.0f;
  }
  std::int32_t cropBright = 0;
  const int threshold = OtsuThreshold(cp, crop.width, crop.height);
  if (const int status = BrightRegionPixels(cp, crop.width, crop.height, threshold, cropBright);
      status != kOk) {
    return status;
  }
  const float cropScore =
      CropScore(static_cast<float>(cropBright) / static_cast<float>(cropPixels));
  cropPlane.reset();

  // The band: whole image rows from just above the highest edge to just below the lowest.
  const int top = std::max(stats.minUpper - 1, 0);
  const int bottom = std::min(stats.maxLower + 1, kFrameHeight - 1);
  const int bandHeight = bottom - top + 1;
  const std::size_t bandPixels = static_cast<std::size_t>(kFrameWidth) * bandHeight;
  auto band = AllocArray<std::uint8_t>(bandPixels);
  if (!band) return kOutOfMemory;
  std::memcpy(band.get(), image + top * kFrameWidth, bandPixels);
  auto mask = AllocZeroedArray<std::uint8_t>(bandPixels);
  if (!mask) return kOutOfMemory;

  int bandTop = bandHeight - 1, bandBottom = 0;
  float greySum = 0.0f;
  std::int32_t fingerPixels = 0;
  for (int c = 0; c < kFrameWidth; ++c) {
    if (!HasBothEdges(upper, lower, c)) continue;
    const int u = upper[c] - top, l = lower[c] - top;
    bandTop = std::min(bandTop, u);
    bandBottom = std::max(bandBottom, l);
    if (u > l) continue;
    // Edges outside the band (possible only for edges no search gives) mark what lies inside.
    for (int r = std::max(u, 0); r <= std::min(l, bandHeight - 1); ++r) {
      mask[r * kFrameWidth + c] = 1;
      greySum += static_cast<float>(band[r * kFrameWidth + c]);
      ++fingerPixels;
    }
  }
  // Without a finger pixel the mean grey level is undefined (NaN would pass every later test).
  if (fingerPixels == 0 || greySum / static_cast<float>(fingerPixels) < 15.0f) return kTooDark;

  std::uint8_t* bp = band.get();
  if (const int status = MaskedMedianBand(bp, bandHeight, mask.get(), bandTop, bandBottom);
      status != kOk) {
    return status;
  }
  if (const int status = ValleyResponseBand(bp, bandHeight, mask.get(), bandTop, bandBottom);
      status != kOk) {
    return status;
  }
  // A band left unfiltered would be judged as if it had been: a failure ends the check here too.
  if (const int status = MaskedMedianBand(bp, bandHeight, mask.get(), bandTop, bandBottom);
      status != kOk) {
    return status;
  }
  return BandVerdict(bp, bandHeight, fingerPixels, cropScore, contrast, params, mode);
}

}  // namespace veltrum
