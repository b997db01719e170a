// How far each pixel deep inside the finger lies below its neighbours at distance 8 in eight
// directions, each depth weighted down by the tilt between the two neighbours.

#include <algorithm>
#include <cstring>

#include "core/alloc.h"
#include "core/image_ref.h"
#include "core/status.h"
#include "preprocess/integral_plane.h"
#include "preprocess/preprocess_steps.h"
#include "tables/lookup_tables.h"

namespace veltrum {
namespace {

constexpr int kW = kFrameWidth;
constexpr int kReach = 8;
constexpr std::uint32_t kWindowPixels = (2 * kReach + 1) * (2 * kReach + 1);

float Response(const std::uint8_t* v, int y, int x, const LookupTables& t) {
  const int c = v[y * kW + x];
  const auto term = [&](int dy, int dx, const std::array<float, 512>& falloff) {
    const int a = v[(y - dy) * kW + x - dx], b = v[(y + dy) * kW + x + dx];
    const float depth = static_cast<float>(t.RampTable[a + b - 2 * c + 512]);
    return depth * falloff[b - a + 256];
  };
  const float axial = term(8, 0, t.FalloffTable256) + term(0, 8, t.FalloffTable256) +
                      term(8, 8, t.FalloffTable512) + term(8, -8, t.FalloffTable512);
  const float oblique = term(8, -4, t.FalloffTable320) + term(4, -8, t.FalloffTable320) +
                        term(8, 4, t.FalloffTable320) + term(4, 8, t.FalloffTable320);
  return 12.0f * axial + 4.0f * oblique;
}

}  // namespace

int ValleyResponse(std::uint8_t* valley, const std::uint8_t* mask, std::uint8_t* innerMask, int top,
                   int bottom) {
  auto work = AllocArray<std::uint8_t>(kFramePixels);
  auto integral = AllocArray<std::uint32_t>(kIntegralEntries);
  if (!work || !integral) return kOutOfMemory;
  std::memset(innerMask, 0, kFramePixels);
  IntegralPlane inside(reinterpret_cast<std::uint8_t*>(integral.get()));
  inside.Build(mask, mask, IntegralOf::kCount, top, bottom);

  const LookupTables& t = Tables();
  for (int y = std::max(top, 0) + kReach; y <= std::min(bottom, kFrameHeight - 1) - kReach; ++y) {
    for (int x = kReach; x < kW - kReach; ++x) {
      if (inside.WindowSum(y - kReach, y + kReach, x - kReach, x + kReach) != kWindowPixels)
        continue;
      innerMask[y * kW + x] = 1;
      const float r = std::min(Response(valley, y, x, t), 255.0f);
      work[y * kW + x] = static_cast<std::uint8_t>(r);
    }
  }
  std::memcpy(valley, work.get(), kFramePixels);
  return kOk;
}

}  // namespace veltrum
