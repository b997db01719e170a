// The vector loops of the geometric steps against their plain loops, at every vector width this
// processor can run: the rotation on turned noise planes (binary masks, as its vector loop takes)
// and the width normalisation's row blend at the weights its scales give.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include <hwy/targets.h>

#include "planes.h"
#include "preprocess/preprocess_steps.h"
#include "preprocess/rotate_resample.h"
#include "preprocess/width_rows.h"

namespace {

using veltrum::RotateRun;

constexpr int kW = 320, kH = 240;

// Source positions in 2^20 units whose 1/256 position keeps its right and lower neighbours in
// the frame.
bool Inside(std::int64_t row, std::int64_t col) {
  const std::int64_t r8 = row >> 12, k8 = col >> 12;
  return r8 >= 0 && r8 <= 239 * 256 - 1 && k8 >= 0 && k8 <= 319 * 256 - 1;
}

TEST(RotateVectors, GiveThePlainBlend) {
  std::mt19937 rng(20261211);
  // Noise image, masks of 0 and 1; two spare words as the rotation's packed copy has.
  std::vector<std::uint8_t> mask1(kW * kH), mask2(kW * kH);
  std::vector<std::uint16_t> packed(kW * kH + 2);
  for (int i = 0; i < kW * kH; ++i) {
    mask1[i] = rng() % 2;
    mask2[i] = rng() % 2;
    packed[i] = veltrum::PackRotateSource(static_cast<std::uint8_t>(rng()), mask1[i], mask2[i]);
  }
  std::vector<std::uint8_t> plain(3 * kW), vectors(3 * kW);
  // Back to what the processor offers however the test ends.
  struct RestoreTargets {
    ~RestoreTargets() { hwy::SetSupportedTargetsForTest(0); }
  } restore;
  for (const std::int64_t target : hwy::SupportedAndGeneratedTargets()) {
    hwy::SetSupportedTargetsForTest(target);
    for (const float angle : {0.0f, 0.013f, -0.2f, 0.45f, -0.7f, 1.2f}) {
      const auto c = static_cast<std::int64_t>(std::cos(angle) * 1048576.0f);
      const auto s = static_cast<std::int64_t>(std::sin(angle) * 1048576.0f);
      for (int y = 0; y < kH; ++y) {
        const std::int64_t rc = 100 + static_cast<int>(rng() % 40);
        const std::int64_t row = rc * (1 << 20) + c * (y - 120) + s * 160;
        const std::int64_t col = 160 * (1 << 20) - c * 160 + s * (y - 120);
        int xa = 0, xb = kW;
        while (xa < kW && !Inside(row - s * xa, col + c * xa)) ++xa;
        while (xb > xa && !Inside(row - s * (xb - 1), col + c * (xb - 1))) --xb;
        if (xb == xa) continue;
        RotateRun run{packed.data(), mask1.data(), mask2.data(),
                      {plain.data(), plain.data() + kW, plain.data() + 2 * kW},
                      static_cast<std::int32_t>(row - s * xa), static_cast<std::int32_t>(col + c * xa),
                      static_cast<std::int32_t>(c), static_cast<std::int32_t>(s), xa, xb};
        veltrum::ResampleRunPlain(run);
        run.dst[0] = vectors.data();
        run.dst[1] = vectors.data() + kW;
        run.dst[2] = vectors.data() + 2 * kW;
        const int done = veltrum::ResampleRunVectors(run);
        ASSERT_GE(done, xa);
        ASSERT_LE(done, xb);
        run.row -= run.s * (done - xa);
        run.col += run.c * (done - xa);
        run.xa = done;
        veltrum::ResampleRunPlain(run);
        for (int i = 0; i < 3; ++i) {
          for (int x = xa; x < xb; ++x) {
            ASSERT_EQ(vectors[i * kW + x], plain[i * kW + x])
                << hwy::TargetName(target) << ", angle " << angle << ", row " << y << ", plane "
                << i << ", column " << x;
          }
        }
      }
    }
  }
}

// The rotation written out per pixel: the limits decide each output pixel on its own.
std::vector<std::uint8_t> Rotated(const std::vector<std::uint8_t>& src, float slope, int rc) {
  const float t = -std::atan(slope);
  const auto c = static_cast<std::int64_t>(std::cos(t) * 1048576.0f);
  const auto s = static_cast<std::int64_t>(std::sin(t) * 1048576.0f);
  std::vector<std::uint8_t> out(kW * kH, 0);
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      const std::int64_t row = rc * (std::int64_t{1} << 20) + c * (y - 120) - s * (x - 160);
      const std::int64_t col = 160 * (std::int64_t{1} << 20) + c * (x - 160) + s * (y - 120);
      if (!Inside(row, col)) continue;
      const std::int64_t r8 = row >> 12, k8 = col >> 12, fr = r8 & 255, fk = k8 & 255;
      const std::uint8_t* p = src.data() + (r8 >> 8) * kW + (k8 >> 8);
      out[y * kW + x] = static_cast<std::uint8_t>(
          (p[0] * (256 - fr) * (256 - fk) + p[1] * (256 - fr) * fk + p[kW] * fr * (256 - fk) +
           p[kW + 1] * fr * fk + 32768) >> 16);
    }
  }
  return out;
}

// Whole rotations, with binary masks (vector loop) and with masks of other values (plain loop),
// steep enough that many rows end inside the frame.
TEST(RotateVectors, WholeRotationMatchesThePixelFormula) {
  std::mt19937 rng(7);
  fvtest::Edges edges = fvtest::Edges::Flat(100, 141, 160, 160);  // centre row 121
  for (const int maskValues : {2, 7}) {
    for (const float slope : {0.0f, 0.08f, -0.3f, 1.5f}) {
      std::vector<std::vector<std::uint8_t>> planes(3, std::vector<std::uint8_t>(kW * kH));
      for (int i = 0; i < kW * kH; ++i) {
        planes[0][i] = static_cast<std::uint8_t>(rng());
        planes[1][i] = static_cast<std::uint8_t>(rng() % maskValues);
        planes[2][i] = static_cast<std::uint8_t>(rng() % maskValues);
      }
      std::vector<std::vector<std::uint8_t>> want;
      for (const auto& plane : planes) want.push_back(Rotated(plane, slope, 121));
      ASSERT_EQ(veltrum::RotateFinger(planes[0].data(), planes[1].data(), planes[2].data(), slope,
                                      edges.upper.data(), edges.lower.data()),
                0);
      for (int i = 0; i < 3; ++i) {
        const auto at = std::mismatch(planes[i].begin(), planes[i].end(), want[i].begin()).first;
        EXPECT_EQ(at - planes[i].begin(), kW * kH) << "first difference; plane " << i << ", slope " << slope << ", masks below "
                                      << maskValues;
      }
    }
  }
}

TEST(WidthRowVectors, GiveThePlainBlend) {
  std::mt19937 rng(11);
  std::vector<std::uint8_t> above(kW), below(kW), plain(kW), vectors(kW);
  struct RestoreTargets {
    ~RestoreTargets() { hwy::SetSupportedTargetsForTest(0); }
  } restore;
  for (const std::int64_t target : hwy::SupportedAndGeneratedTargets()) {
    hwy::SetSupportedTargetsForTest(target);
    for (const float k : {0.65f, 0.9137f, 1.0f, 1.0875f, 1.3f}) {
      for (int y = 0; y < kH; y += 7) {
        for (int x = 0; x < kW; ++x) {
          above[x] = y % 2 ? 255 : static_cast<std::uint8_t>(rng());
          below[x] = y % 2 ? 255 : static_cast<std::uint8_t>(rng());
        }
        const float p = static_cast<float>(y - 120) * k + 120.0f;
        const float f0 = std::floor(p);
        const float w0 = (f0 + 1.0f) - p, w1 = p - f0;
        veltrum::BlendWidthRowPlain(above.data(), below.data(), w0, w1, plain.data());
        veltrum::BlendWidthRow(above.data(), below.data(), w0, w1, vectors.data());
        ASSERT_EQ(vectors, plain) << hwy::TargetName(target) << ", k " << k << ", row " << y;
      }
    }
  }
}

}  // namespace
