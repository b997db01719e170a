// Stretches or squeezes the image and mask vertically about row 120, by 35 % of the finger's
// relative difference from a width of 120 rows.

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/alloc.h"
#include "core/image_ref.h"
#include "core/status.h"
#include "edges/finger_edges.h"
#include "preprocess/preprocess_steps.h"
#include "preprocess/width_rows.h"

namespace veltrum {
namespace {

constexpr int kW = kFrameWidth;
constexpr int kH = kFrameHeight;

// The scale k; 1 when no column lies between the measuring limits.
float WidthScale(const std::int16_t* upper, const std::int16_t* lower) {
  int c0 = 0;
  while (c0 < 160 && !HasBothEdges(upper, lower, c0)) ++c0;
  if (c0 == 160) c0 = 0;
  int c1 = kW - 1;
  while (c1 >= 0 && !HasBothEdges(upper, lower, c1)) --c1;
  if (c1 < 0) c1 = kW - 1;
  c0 = std::max(c0, 80);
  c1 = std::min(c1, 240);
  if (c1 <= c0) return 1.0f;
  int sum = 0;
  for (int x = c0; x < c1; ++x) sum += lower[x] - upper[x];
  const int width = sum / (c1 - c0);
  const float ratio = static_cast<float>(width) / 120.0f;
  return 1.0f + 0.35f * (ratio - 1.0f);
}

}  // namespace

void BlendWidthRowPlain(const std::uint8_t* above, const std::uint8_t* below, float w0, float w1,
                        std::uint8_t* out) {
  for (int x = 0; x < kW; ++x) out[x] = static_cast<std::uint8_t>(w0 * above[x] + w1 * below[x]);
}

int NormaliseFingerWidth(const std::int16_t* upper, const std::int16_t* lower, std::uint8_t* image,
                         std::uint8_t* mask) {
  auto imageCopy = AllocArray<std::uint8_t>(kFramePixels);
  auto maskCopy = AllocArray<std::uint8_t>(kFramePixels);
  if (!imageCopy || !maskCopy) return kOutOfMemory;

  const float k = WidthScale(upper, lower);
  const float v = 1.0f / k;
  std::memcpy(imageCopy.get(), image, kFramePixels);
  std::memcpy(maskCopy.get(), mask, kFramePixels);

  // These limits keep both source rows of every output row inside the frame.
  const int y0 = std::max(static_cast<int>(std::floor((1.0f - v) * 240.0f * 0.5f) + 1.0f), 0);
  const int y1 = std::min(static_cast<int>(std::floor((1.0f + v) * 240.0f * 0.5f - v)), kH);
  // Rows y0..y1-1 are written whole; only the others are cleared.
  const int writtenFrom = std::min(y0, kH), writtenTo = std::max(writtenFrom, y1);
  for (std::uint8_t* plane : {image, mask}) {
    std::memset(plane, 0, writtenFrom * kW);
    std::memset(plane + writtenTo * kW, 0, (kH - writtenTo) * kW);
  }
  for (int y = y0; y < y1; ++y) {
    const float p = static_cast<float>(y - 120) * k + 120.0f;
    const float f0 = std::floor(p);
    const int r0 = static_cast<int>(f0), r1 = r0 + 1;
    const float w0 = static_cast<float>(r1) - p, w1 = p - f0;
    const std::uint8_t* i0 = imageCopy.get() + r0 * kW;
    const std::uint8_t* m0 = maskCopy.get() + r0 * kW;
    BlendWidthRow(i0, i0 + kW, w0, w1, image + y * kW);
    for (int x = 0; x < kW; ++x) mask[y * kW + x] = static_cast<std::uint8_t>(m0[x] * m0[x + kW]);
  }
  return kOk;
}

}  // namespace veltrum
