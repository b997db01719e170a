// The last test: how much bright structure the valley filtering left inside the finger.

#include <array>

#include "core/image_ref.h"
#include "core/status.h"
#include "quality/quality_check.h"
#include "quality/quality_measures.h"

namespace veltrum {
namespace {

// Near 0 for a band whose histogram is almost flat over 1..255, 1 for a peaked one: mode 0's
// threshold then leans towards mid grey.
float HistogramPeakiness(const std::uint8_t* band, std::size_t pixels) {
  std::array<std::int32_t, 256> h{};
  for (std::size_t i = 0; i < pixels; ++i) ++h[band[i]];
  std::int64_t total = 0;
  for (int g = 1; g < 256; ++g) total += h[g];
  const float mean = static_cast<float>(total) / 255.0f;
  float v = 0.0f;
  for (int g = 1; g < 256; ++g) {
    const float d = static_cast<float>(h[g]) - mean;
    v += d * d;
  }
  v /= 255.0f;
  return v < 38000.0f ? v / 38000.0f : 1.0f;
}

}  // namespace

bool AcceptsBand(float r1, float m, float s, float limit) {
  return (r1 > limit && s > 0.415f && m > 0.058f) || r1 > 0.1f ||
         (r1 > limit && s < 0.415f && m > 0.083f) || (r1 > 0.09f && s < 0.415f && m > 0.058f) ||
         (r1 > 0.06f && r1 < limit && m > 0.083f);
}

int BandVerdict(const std::uint8_t* band, int bandHeight, std::int32_t fingerPixels,
                float cropScore, float contrast, float* params, int mode) {
  const float pixels = static_cast<float>(fingerPixels);
  std::int32_t bright = 0;
  if (const int status = BrightRegionPixels(band, kFrameWidth, bandHeight, 128, bright);
      status != kOk) {
    return status;
  }
  const float m = 0.7f * (static_cast<float>(bright) / pixels) + 0.3f * cropScore;
  if (mode != 0) {
    params[5] = m;
    return m < params[2] ? kPoorFinger : kOk;
  }
  const float factor = HistogramPeakiness(band, static_cast<std::size_t>(kFrameWidth) * bandHeight);
  const float otsu = static_cast<float>(OtsuThreshold(band, kFrameWidth, bandHeight));
  const int adapted = static_cast<std::uint8_t>(otsu * factor + 128.0f * (1.0f - factor));
  std::int32_t above = 0;
  if (const int status = BrightRegionPixels(band, kFrameWidth, bandHeight, adapted, above);
      status != kOk) {
    return status;
  }
  const float r1 = static_cast<float>(above) / pixels;
  if (!AcceptsBand(r1, m, contrast, params[2])) return kPoorFinger;
  params[5] = r1;
  return kOk;
}

}  // namespace veltrum
