// Turns the image and both masks about the finger's middle so that the fitted axis becomes
// horizontal and the middle of column 160 comes to row 120. Fixed point: 2^20 for the rotation,
// 1/256 pixel for the interpolation weights.

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/alloc.h"
#include "core/image_ref.h"
#include "core/status.h"
#include "edges/finger_edges.h"
#include "preprocess/preprocess_steps.h"
#include "preprocess/rotate_resample.h"

namespace veltrum {
namespace {

constexpr int kW = kFrameWidth;
constexpr int kH = kFrameHeight;
constexpr int kCentreCol = 160;
constexpr int kCentreRow = 120;
constexpr std::int64_t kOne = 1 << 20;
// Last 1/256 positions whose right and lower neighbours are still in the frame.
constexpr std::int64_t kMaxRow8 = (kH - 1) * 256 - 1;
constexpr std::int64_t kMaxCol8 = (kW - 1) * 256 - 1;

// Middle row of the column nearest to 160 that has both edges (the left one on a tie); the
// frame's middle when no column has.
int CentreRow(const std::int16_t* upper, const std::int16_t* lower) {
  for (int d = 0; d < kW; ++d) {
    for (const int x : {kCentreCol - d, kCentreCol + d}) {
      if (x >= 0 && x < kW && HasBothEdges(upper, lower, x)) return (upper[x] + lower[x] + 1) / 2;
    }
  }
  return kCentreRow;
}

// The columns of output row y whose source position lies inside the limits: one run, as both
// positions move linearly along the row. Empty (xb <= xa) when there is none.
struct Run {
  int xa, xb;
};

bool Inside(std::int64_t row, std::int64_t col) {
  const std::int64_t r8 = row >> 12, k8 = col >> 12;
  return r8 >= 0 && r8 <= kMaxRow8 && k8 >= 0 && k8 <= kMaxCol8;
}

Run InsideRun(std::int64_t row, std::int64_t col, std::int64_t c, std::int64_t s) {
  int xa = 0, xb = kW;
  while (xa < kW && !Inside(row - s * xa, col + c * xa)) ++xa;
  while (xb > xa && !Inside(row - s * (xb - 1), col + c * (xb - 1))) --xb;
  return {xa, xb};
}

}  // namespace

// Weights sum to 2^16, so 255 * 2^16 + 2^15 bounds the sum: 32 bits hold it.
void ResampleRunPlain(const RotateRun& run) {
  std::int32_t row = run.row, col = run.col;
  for (int x = run.xa; x < run.xb; ++x, row -= run.s, col += run.c) {
    const int r8 = row >> 12, k8 = col >> 12;
    const int fr = r8 & 255, fk = k8 & 255;
    const int o = (r8 >> 8) * kW + (k8 >> 8);
    const auto blend = [&](int p00, int p01, int p10, int p11) {
      const int v = p00 * (256 - fr) * (256 - fk) + p01 * (256 - fr) * fk +
                    p10 * fr * (256 - fk) + p11 * fr * fk + 32768;
      return static_cast<std::uint8_t>(v >> 16);
    };
    const std::uint16_t* p = run.packed + o;
    run.dst[0][x] = blend(p[0] & 255, p[1] & 255, p[kW] & 255, p[kW + 1] & 255);
    for (int i = 1; i < 3; ++i) {
      const std::uint8_t* m = (i == 1 ? run.mask1 : run.mask2) + o;
      run.dst[i][x] = blend(m[0], m[1], m[kW], m[kW + 1]);
    }
  }
}

int RotateFinger(std::uint8_t* image, std::uint8_t* mask1, std::uint8_t* mask2, float slope,
                 const std::int16_t* upper, const std::int16_t* lower) {
  // The first copy holds the packed source words, the others the masks; two spare words let the
  // vector loop read 32 bits at any word.
  auto packedCopy = AllocArray<std::uint16_t>(kFramePixels + 2);
  if (!packedCopy) return kOutOfMemory;
  auto mask1Copy = AllocArray<std::uint8_t>(kFramePixels);
  if (!mask1Copy) return kOutOfMemory;
  auto mask2Copy = AllocArray<std::uint8_t>(kFramePixels);
  if (!mask2Copy) return kOutOfMemory;
  std::uint16_t* packed = packedCopy.get();
  std::uint8_t maskBits = 0;
  for (int i = 0; i < kFramePixels; ++i) {
    packed[i] = PackRotateSource(image[i], mask1[i], mask2[i]);
    maskBits |= static_cast<std::uint8_t>(mask1[i] | mask2[i]);
  }
  packed[kFramePixels] = packed[kFramePixels + 1] = 0;
  // Masks of other values than 0 and 1 do not fit the packed words: the plain loop serves.
  const bool vectors = maskBits <= 1;
  std::memcpy(mask1Copy.get(), mask1, kFramePixels);
  std::memcpy(mask2Copy.get(), mask2, kFramePixels);

  const float t = -std::atan(slope);
  const auto c = static_cast<std::int64_t>(std::cos(t) * 1048576.0f);
  const auto s = static_cast<std::int64_t>(std::sin(t) * 1048576.0f);
  const std::int64_t rc = CentreRow(upper, lower);

  for (int y = 0; y < kH; ++y) {
    const std::int64_t row = rc * kOne + c * (y - kCentreRow) + s * kCentreCol;
    const std::int64_t col = kCentreCol * kOne - c * kCentreCol + s * (y - kCentreRow);
    const Run inside = InsideRun(row, col, c, s);
    RotateRun run{packed, mask1Copy.get(), mask2Copy.get(),
                  {image + y * kW, mask1 + y * kW, mask2 + y * kW},
                  0, 0, static_cast<std::int32_t>(c), static_cast<std::int32_t>(s),
                  inside.xa, std::max(inside.xa, inside.xb)};
    // Pixels outside the run stay 0.
    for (std::uint8_t* d : run.dst) {
      std::memset(d, 0, run.xa);
      std::memset(d + run.xb, 0, kW - run.xb);
    }
    if (run.xb == run.xa) continue;
    run.row = static_cast<std::int32_t>(row - s * run.xa);
    run.col = static_cast<std::int32_t>(col + c * run.xa);
    if (vectors) {
      const int done = ResampleRunVectors(run);
      run.row -= run.s * (done - run.xa);
      run.col += run.c * (done - run.xa);
      run.xa = done;
    }
    ResampleRunPlain(run);
  }
  return kOk;
}

}  // namespace veltrum
