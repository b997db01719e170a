// The rotation's vector loop against its plain loop: the same bytes for every row of turned
// noise planes, at every vector width this processor can run.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include <hwy/targets.h>

#include "preprocess/rotate_resample.h"

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
  // Room for the 32-bit reads past the last pixel, as the rotation's copies have.
  std::vector<std::vector<std::uint8_t>> src(3, std::vector<std::uint8_t>(kW * kH + 3));
  for (auto& plane : src) {
    for (auto& v : plane) v = static_cast<std::uint8_t>(rng());
  }
  std::vector<std::uint8_t> plain(3 * kW), vectors(3 * kW);
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
        RotateRun run{{src[0].data(), src[1].data(), src[2].data()},
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
  hwy::SetSupportedTargetsForTest(0);  // back to what the processor offers
}

}  // namespace
