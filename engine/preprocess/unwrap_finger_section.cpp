// Resamples each column's cross-section through the cylinder table so that the flanks, which
// the projection compresses, are spread out again. Everything outside the finger becomes 255.

#include <algorithm>
#include <array>
#include <cstring>

#include "core/alloc.h"
#include "core/image_ref.h"
#include "core/status.h"
#include "preprocess/preprocess_steps.h"
#include "tables/cylinder_table.h"

namespace veltrum {
namespace {

constexpr int kW = kFrameWidth;
constexpr int kH = kFrameHeight;

// Source offsets from the middle, in 1/4096 rows, of output offsets i = 0..n-1 for half width
// h. Neighbouring columns mostly share h, so the list is kept until h changes. The table
// position t = (i << 18) / h is carried as quotient and remainder from one i to the next, so no
// division runs per row.
class SourceOffsets {
 public:
  const int* For(int h, int n) {
    if (h == h_ && n <= n_) return e_.data();
    const int step = (1 << 18) / h, stepRest = (1 << 18) % h;
    int t = 0, rest = 0;
    for (int i = 0; i < n; ++i) {
      const int j = t >> 8, f8 = t & 255;
      e_[i] = (CylinderTable[j] + (((CylinderTable[j + 1] - CylinderTable[j]) * f8) >> 8)) * h;
      t += step;
      rest += stepRest;
      if (rest >= h) {
        rest -= h;
        ++t;
      }
    }
    h_ = h;
    n_ = n;
    return e_.data();
  }

 private:
  std::array<int, kH + 1> e_{};
  int h_ = 0, n_ = 0;
};

std::uint8_t Blend(const std::uint8_t* image, int near, int far, int weight) {
  return static_cast<std::uint8_t>((image[near] * (4096 - weight) + image[far] * weight + 2048) >>
                                   12);
}

}  // namespace

int UnwrapFingerSection(const std::int16_t* lower, int lowerVaries, int upperVaries,
                        const std::int16_t* upper, std::uint8_t* image, std::uint8_t* mask) {
  auto out = AllocArray<std::uint8_t>(kFramePixels);
  if (!out) return kOutOfMemory;
  std::memset(out.get(), 255, kFramePixels);

  // Rows each column's mask gains, set afterwards row by row (none where first > last); rows
  // fit in bytes, so the row loop takes 16 or more columns at a time.
  std::array<std::uint8_t, kW> first, last;
  first.fill(255);
  last.fill(0);
  SourceOffsets offsets;
  for (int x = 5; x < kW - 5; ++x) {
    const int m = (upper[x] + lower[x]) / 2;
    int h = m - upper[x];
    if (upper[x] + 2 * h < lower[x]) h = lower[x] - m;
    // Only a column with both edges in order is resampled; any other keeps just its middle pixel.
    const bool finger = upper[x] > 0 && upper[x] <= lower[x] && lower[x] < kH;
    if (m < 0 || m >= kH) continue;
    out[m * kW + x] = image[m * kW + x];
    if (!finger || h <= 0) continue;
    const int down = std::min((1190 - 40 * lowerVaries) * h / 1024, kH - m);
    const int up = std::min((1190 - 40 * upperVaries) * h / 1024, m + 1);
    if (down <= 0 && up <= 0) continue;
    const int* e = offsets.For(h, std::max(down, up));
    // Downwards first: at i = 0 both sides write row m, and the upward blend is the one kept.
    for (int i = 0; i < down; ++i) {
      const int a = e[i] >> 12, b = e[i] & 4095;
      out[(m + i) * kW + x] = Blend(image, (m + a) * kW + x, (m + a + 1) * kW + x, b);
    }
    for (int i = 0; i < up; ++i) {
      const int a = e[i] >> 12, b = e[i] & 4095;
      out[(m - i) * kW + x] = Blend(image, (m - a) * kW + x, (m - a - 1) * kW + x, b);
    }
    first[x] = static_cast<std::uint8_t>(up > 0 ? m - up + 1 : m);
    last[x] = static_cast<std::uint8_t>(down > 0 ? m + down - 1 : m);
  }
  for (int y = 0; y < kH; ++y) {
    std::uint8_t* row = mask + y * kW;
    const auto r = static_cast<std::uint8_t>(y);
    for (int x = 0; x < kW; ++x) {
      const bool gained = (first[x] <= r) & (r <= last[x]);
      row[x] = gained ? std::uint8_t{1} : row[x];
    }
  }
  std::memcpy(image, out.get(), kFramePixels);
  return kOk;
}

}  // namespace veltrum
