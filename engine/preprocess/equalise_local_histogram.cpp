// Each inner-mask pixel becomes its rank among the mask pixels of its 31 x 31 window, which evens
// out illumination and contrast along the finger. Histograms slide: three columns per step
// across, one row per output row down.

#include <algorithm>
#include <array>
#include <cstring>

#include "core/alloc.h"
#include "core/image_ref.h"
#include "core/status.h"
#include "preprocess/preprocess_steps.h"

namespace veltrum {
namespace {

constexpr int kW = kFrameWidth;
constexpr int kReach = 15;

struct Histogram {
  std::array<int, 256> bins{};
  int n = 0;
  int bright = 0;  // values of 128 and more

  void Change(std::uint8_t v, int by) {
    bins[v] += by;
    n += by;
    if (v >= 128) bright += by;
  }
  int Sum(int from, int to) const {  // bins from..to inclusive
    int s = 0;
    for (int i = std::max(from, 0); i <= std::min(to, 255); ++i) s += bins[i];
    return s;
  }
  // Values below c, counted from the nearer end of c's half.
  int Below(int c) const {
    const int dark = n - bright;
    if (c < 64) return Sum(0, c - 1);
    if (c < 128) return dark - Sum(c, 127);
    if (c < 192) return dark + Sum(128, c - 1);
    return n - Sum(c, 255);
  }
};

class Equaliser {
 public:
  Equaliser(const std::uint8_t* copy, const std::uint8_t* mask) : copy_(copy), mask_(mask) {}

  bool In(int y, int x) const { return mask_[y * kW + x] != 0; }
  std::uint8_t At(int y, int x) const { return copy_[y * kW + x]; }

  void Column(Histogram& h, int x, int r0, int r1, int by) const {
    if (x < 0 || x >= kW) return;
    for (int y = r0; y <= r1; ++y) {
      if (In(y, x)) h.Change(At(y, x), by);
    }
  }
  // Moves the window down one row over columns c0..c1: row `out` leaves, row `in` enters, in
  // one pass; the counts stay in registers.
  void Slide(Histogram& h, int out, int in, int c0, int c1) const {
    int n = 0, bright = 0;
    for (int x = c0; x <= c1; ++x) {
      if (In(out, x)) {
        const std::uint8_t v = At(out, x);
        --h.bins[v];
        --n;
        bright -= v >= 128;
      }
      if (In(in, x)) {
        const std::uint8_t v = At(in, x);
        ++h.bins[v];
        ++n;
        bright += v >= 128;
      }
    }
    h.n += n;
    h.bright += bright;
  }

  // Writes the three pixels around (y, x) from the window histogram h.
  void Rank(const Histogram& h, int y, int x, std::uint8_t* image) const {
    const int c = In(y, x) ? At(y, x) : In(y, x + 1) ? At(y, x + 1) : At(y, x - 1);
    const int dark = h.n - h.bright;
    const int near = h.Sum(c - 2, c + 2);
    // A dark, spread-out window ranks strictly so that its darkest pixels reach 0.
    const bool strict = dark > h.n / 2 && dark > 750 && 9 * h.n > 10 * near;
    const int rankC = h.Below(c) + (strict ? 0 : h.bins[c]);
    for (int col = x - 1; col <= x + 1; ++col) {
      if (!In(y, col)) continue;
      const int v = At(y, col);
      const int rank = v < c ? rankC - h.Sum(v, c - 1) : v > c ? rankC + h.Sum(c + 1, v) : rankC;
      image[y * kW + col] = static_cast<std::uint8_t>((255 * rank + h.n / 2) / h.n);
    }
  }

 private:
  const std::uint8_t* copy_;
  const std::uint8_t* mask_;
};

}  // namespace

int EqualiseLocalHistogram(std::uint8_t* image, const std::uint8_t* mask, int top, int bottom) {
  auto copy = AllocArray<std::uint8_t>(kFramePixels);
  if (!copy) return kOutOfMemory;
  std::memcpy(copy.get(), image, kFramePixels);
  std::memset(image, 0, kFramePixels);
  const int t = std::max(top, kReach + 1);
  const int b = std::min(bottom, kFrameHeight - kReach - 1);
  if (t > b) return kOk;

  const Equaliser eq(copy.get(), mask);
  // The column histogram covers rows t - 16 .. t + 14: the window of row t - 1.
  const int r0 = t - kReach - 1, r1 = t + kReach - 1;
  Histogram columns;
  for (int x = 0; x < kReach; ++x) eq.Column(columns, x, r0, r1, +1);
  for (int x = 2; x <= kW - 3; x += 3) {
    for (int d = 16; d <= 18; ++d) eq.Column(columns, x - d, r0, r1, -1);
    for (int d = 13; d <= 15; ++d) eq.Column(columns, x + d, r0, r1, +1);
    const int c0 = std::max(0, x - kReach), c1 = std::min(kW - 1, x + kReach);
    Histogram window = columns;
    for (int y = t; y <= b; ++y) {
      eq.Slide(window, y - kReach - 1, y + kReach, c0, c1);
      if (!eq.In(y, x - 1) && !eq.In(y, x) && !eq.In(y, x + 1)) continue;
      eq.Rank(window, y, x, image);
    }
  }
  return kOk;
}

}  // namespace veltrum
