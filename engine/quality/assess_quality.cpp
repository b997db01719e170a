// The quality assessment: bright share, the finger's lower edge near the middle, and the mean
// line strength of a 288 x 96 crop around the finger's middle.

#include <algorithm>
#include <array>
#include <cstring>

#include "api/operations.h"
#include "core/image_ref.h"
#include "core/status.h"
#include "quality/quality_check.h"
#include "quality/quality_measures.h"

namespace veltrum {

int AssessQuality(float& measure1, const unsigned char* image, float& measure2, float limit) {
  const auto bright =
      std::count_if(image, image + kFramePixels, [](std::uint8_t p) { return p > 220; });
  measure1 = static_cast<float>(bright) / 76800.0f;
  if (measure1 > limit * 0.5f) return kOverexposed;

  int upper = 0, lower = 0;
  CentreEdgeRows(image, lower, upper);
  if (lower < 160) return kOffCentre;

  constexpr int kCropWidth = 288, kCropHeight = 96, kCropLeft = 16;
  int top = std::max((upper + lower) / 2 - 48, 0);
  if (top + kCropHeight > kFrameHeight) top = kFrameHeight - kCropHeight;
  std::array<std::uint8_t, kCropWidth * kCropHeight> crop;
  for (int r = 0; r < kCropHeight; ++r) {
    std::memcpy(crop.data() + r * kCropWidth, image + (top + r) * kFrameWidth + kCropLeft,
                kCropWidth);
  }
  if (const int status = LocalContrastNormalise(crop.data(), kCropWidth, kCropHeight);
      status != kOk) {
    return status;
  }
  measure2 = MeanLineStrength(crop.data());
  return measure2 <= 3.3f ? kPoorFinger : kOk;
}

}  // namespace veltrum
