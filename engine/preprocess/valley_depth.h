#pragma once
// How far a pixel lies below its neighbours at distance 8 in eight directions, each depth
// weighted down by the tilt between the two neighbours. Planes are 320 wide; the caller keeps
// (y, x) at least 8 pixels inside the plane.

#include <array>
#include <cstdint>

#include "core/image_ref.h"
#include "tables/lookup_tables.h"

namespace veltrum {

inline float ValleyDepth(const std::uint8_t* v, int y, int x, const LookupTables& t) {
  constexpr int kW = kFrameWidth;
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

}  // namespace veltrum
