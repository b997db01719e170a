// Valley depth of each pixel deep inside the finger.

#include <algorithm>
#include <cstring>

#include "core/alloc.h"
#include "core/image_ref.h"
#include "core/integral_image.h"
#include "core/status.h"
#include "preprocess/preprocess_steps.h"
#include "preprocess/valley_depth.h"
#include "tables/lookup_tables.h"

namespace veltrum {
namespace {

constexpr int kW = kFrameWidth;
constexpr int kReach = 8;
constexpr std::uint32_t kWindowPixels = (2 * kReach + 1) * (2 * kReach + 1);

}  // namespace

int ValleyResponse(std::uint8_t* valley, const std::uint8_t* mask, std::uint8_t* innerMask, int top,
                   int bottom) {
  auto work = AllocZeroedArray<std::uint8_t>(kFramePixels);
  auto integral = AllocArray<std::uint32_t>(IntegralImage::Entries(kW, kFrameHeight));
  if (!work || !integral) return kOutOfMemory;
  std::memset(innerMask, 0, kFramePixels);
  IntegralImage inside(integral.get(), kW, kFrameHeight);
  inside.Build(top, bottom, [&](int r, int c) { return mask[r * kW + c] != 0 ? 1u : 0u; });

  const LookupTables& t = Tables();
  // Rows and columns kReach inside the frame: every window lies within it.
  for (int y = std::max(top, 0) + kReach; y <= std::min(bottom, kFrameHeight - 1) - kReach; ++y) {
    for (int x = kReach; x < kW - kReach; ++x) {
      if (inside.WindowSum(y - kReach, y + kReach, x - kReach, x + kReach) != kWindowPixels)
        continue;
      innerMask[y * kW + x] = 1;
      const float r = std::min(ValleyDepth(valley, y, x, t), 255.0f);
      work[y * kW + x] = static_cast<std::uint8_t>(r);
    }
  }
  std::memcpy(valley, work.get(), kFramePixels);
  return kOk;
}

}  // namespace veltrum
