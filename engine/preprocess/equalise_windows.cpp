// The ranking rows of EqualiseLocalHistogram, compiled for each processor generation; the
// vector and the plain sums differ only in how 16 counts are summed over columns.

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "preprocess/equalise_windows.cpp"
#include "preprocess/equalise_windows.h"

#include <hwy/foreach_target.h>  // must precede highway.h
#include <hwy/highway.h>

#include <algorithm>
#include <cstring>

HWY_BEFORE_NAMESPACE();
namespace veltrum {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

constexpr int kW = kFrameWidth;
constexpr int kReach = kEqualiseReach;
constexpr int kLanes = kEqualiseLanes;
constexpr int kBins = kLanes * kLanes;
constexpr int kMaxCount = (2 * kReach + 1) * (2 * kReach + 1);

// Columns adds or subtracts the 16 counts of columns from..to (column x's at first + x * stride);
// Step does so for the three columns from `leave` and the three from `enter`; RunningSums gives
// through[i] = counts[0] + ... + counts[i].
struct PlainSums {
  template <bool kAdd>
  static void Columns(std::uint16_t* __restrict sum, const std::uint16_t* __restrict first,
                      int stride, int from, int to) {
    for (int x = from; x <= to; ++x) {
      const std::uint16_t* c = first + x * stride;
      for (int i = 0; i < kLanes; ++i) {
        sum[i] = static_cast<std::uint16_t>(kAdd ? sum[i] + c[i] : sum[i] - c[i]);
      }
    }
  }
  static void Step(std::uint16_t* sum, const std::uint16_t* first, int stride, int leave,
                   int enter) {
    Columns<false>(sum, first, stride, leave, leave + 2);
    Columns<true>(sum, first, stride, enter, enter + 2);
  }
  static void RunningSums(const std::uint16_t* counts, std::uint16_t* through) {
    through[0] = counts[0];
    for (int i = 1; i < kLanes; ++i) {
      through[i] = static_cast<std::uint16_t>(through[i - 1] + counts[i]);
    }
  }
};

// The same in vectors of up to 16 lanes.
struct VectorSums {
  template <bool kAdd>
  static void Columns(std::uint16_t* sum, const std::uint16_t* first, int stride, int from,
                      int to) {
    const hn::CappedTag<std::uint16_t, kLanes> d;
    for (int i = 0; i < kLanes; i += static_cast<int>(hn::Lanes(d))) {
      auto acc = hn::LoadU(d, sum + i);
      for (int x = from; x <= to; ++x) {
        const auto c = hn::LoadU(d, first + x * stride + i);
        acc = kAdd ? hn::Add(acc, c) : hn::Sub(acc, c);
      }
      hn::StoreU(acc, d, sum + i);
    }
  }
  static void Step(std::uint16_t* sum, const std::uint16_t* first, int stride, int leave,
                   int enter) {
    const hn::CappedTag<std::uint16_t, kLanes> d;
    const std::uint16_t* out = first + leave * stride;
    const std::uint16_t* in = first + enter * stride;
    for (int i = 0; i < kLanes; i += static_cast<int>(hn::Lanes(d))) {
      const auto leaving = hn::Add(hn::Add(hn::LoadU(d, out + i), hn::LoadU(d, out + stride + i)),
                                   hn::LoadU(d, out + 2 * stride + i));
      const auto entering = hn::Add(hn::Add(hn::LoadU(d, in + i), hn::LoadU(d, in + stride + i)),
                                    hn::LoadU(d, in + 2 * stride + i));
      hn::StoreU(hn::Add(hn::Sub(hn::LoadU(d, sum + i), leaving), entering), d, sum + i);
    }
  }
  // Shifts work within 128-bit blocks of 8 lanes; the total of the first 8 then goes to the
  // second: from the lower block of a 16-lane vector, or from the previous 8-lane vector.
  static void RunningSums(const std::uint16_t* counts, std::uint16_t* through) {
#if HWY_TARGET == HWY_SCALAR
    PlainSums::RunningSums(counts, through);
#else
    const hn::CappedTag<std::uint16_t, kLanes> d;
    constexpr bool kWhole = hn::MaxLanes(d) == kLanes;
    static_assert(kWhole || hn::MaxLanes(d) == kLanes / 2);
    auto carry = hn::Zero(d);
    for (int i = 0; i < kLanes; i += static_cast<int>(hn::Lanes(d))) {
      auto v = hn::LoadU(d, counts + i);
      v = hn::Add(v, hn::ShiftLeftLanes<1>(d, v));
      v = hn::Add(v, hn::ShiftLeftLanes<2>(d, v));
      v = hn::Add(v, hn::ShiftLeftLanes<4>(d, v));
      if constexpr (kWhole) {
        v = hn::Add(v, hn::ConcatLowerLower(d, hn::Broadcast<7>(v), hn::Zero(d)));
      } else {
        v = hn::Add(v, carry);
        carry = hn::Broadcast<7>(v);
      }
      hn::StoreU(v, d, through + i);
    }
#endif
  }
};

// Sixteen counts summed over the window's columns lo..hi, with their running sums.
template <class Sums>
struct Span {
  std::uint16_t counts[kLanes] = {};
  std::uint16_t below[kLanes + 1] = {};  // below[i]: counts[0] + ... + counts[i - 1]
  int lo = 0, hi = -1;

  // Moves to columns lo..hi (never left of the present ones) by the columns that enter and
  // leave, or sums them afresh when that is fewer columns.
  void Cover(const std::uint16_t* first, int stride, int newLo, int newHi) {
    if (newLo == lo + 3 && newHi == hi + 3) {  // the usual step
      Sums::Step(counts, first, stride, lo, hi + 1);
    } else if ((newHi - hi) + (newLo - lo) < newHi - newLo + 1) {
      Sums::template Columns<false>(counts, first, stride, lo, newLo - 1);
      Sums::template Columns<true>(counts, first, stride, hi + 1, newHi);
    } else {
      std::fill(counts, counts + kLanes, std::uint16_t{0});
      Sums::template Columns<true>(counts, first, stride, newLo, newHi);
    }
    lo = newLo;
    hi = newHi;
  }
  void SumUp() { Sums::RunningSums(counts, below + 1); }
};

// The counts of one row's windows, step by step along the row.
template <class Sums>
class RowWindows {
 public:
  explicit RowWindows(const EqualiseWork& work) : work_(work) {}

  // The window of columns lo..hi.
  void MoveTo(int lo, int hi) { coarse_.Cover(work_.coarse[0], kLanes, lo, hi); }
  // Ready for Count and Below.
  void Prepare() { coarse_.SumUp(); }
  int Count() const { return coarse_.below[kLanes]; }
  // The number of window values below k, 0 <= k <= 256.
  int Below(int k) {
    const int g = k / kLanes, r = k % kLanes;
    if (r == 0) return coarse_.below[g];
    Span<Sums>& f = fine_[g];
    if (f.lo != coarse_.lo || f.hi != coarse_.hi) {
      f.Cover(work_.fine[0] + g * kLanes, kBins, coarse_.lo, coarse_.hi);
      f.SumUp();
    }
    return coarse_.below[g] + f.below[r];
  }

 private:
  const EqualiseWork& work_;
  Span<Sums> coarse_;
  Span<Sums> fine_[kLanes];
};

// n / d for 0 <= n < 2^20 and 1 <= d <= 961 as a product and a shift: with m = 2^32 / d + 1
// the error of n * m / 2^32 stays below n / 2^32 < 1 / d, too little to reach the next integer.
struct Reciprocals {
  std::uint64_t m[kMaxCount + 1] = {};  // m[1] = 2^32 + 1 needs the 33rd bit
  constexpr Reciprocals() {
    for (int d = 1; d <= kMaxCount; ++d) m[d] = (std::uint64_t{1} << 32) / d + 1;
  }
  int Divide(int n, int d) const {
    return static_cast<int>((static_cast<std::uint64_t>(n) * m[d]) >> 32);
  }
};
constexpr Reciprocals kReciprocals;

class Equaliser {
 public:
  Equaliser(EqualiseWork& work, const std::uint8_t* mask) : work_(work), mask_(mask) {}

  bool In(int y, int x) const { return mask_[y * kW + x] != 0; }
  std::uint8_t At(int y, int x) const { return work_.copy[y * kW + x]; }

  // Adds row y's mask pixels to every column's counts.
  void CountRow(int y) {
    for (int x = 0; x < kW; ++x) Count(x, At(y, x), In(y, x));
  }
  // Moves every column's counts down a row: row `out` leaves, row `in` enters.
  void SlideRows(int out, int in) {
    for (int x = 0; x < kW; ++x) {
      Count(x, At(out, x), -static_cast<int>(In(out, x)));
      Count(x, At(in, x), In(in, x));
    }
  }
  void Count(int x, int v, int by) {
    std::uint16_t& fine = work_.fine[x][v];
    std::uint16_t& coarse = work_.coarse[x][v / kLanes];
    fine = static_cast<std::uint16_t>(fine + by);
    coarse = static_cast<std::uint16_t>(coarse + by);
  }

  // Writes the three pixels around (y, x) from the counts of their window w.
  template <class Sums>
  void Rank(RowWindows<Sums>& w, int y, int x, std::uint8_t* image) const {
    const int c = In(y, x) ? At(y, x) : In(y, x + 1) ? At(y, x + 1) : At(y, x - 1);
    w.Prepare();
    const int n = w.Count();
    const int dark = w.Below(128);
    const int belowC = w.Below(c), notAboveC = w.Below(c + 1);
    // A dark, spread-out window ranks strictly so that its darkest pixels reach 0.
    const auto near = [&] { return w.Below(std::min(c + 3, kBins)) - w.Below(std::max(c - 2, 0)); };
    const bool strict = dark > n / 2 && dark > 750 && 9 * n > 10 * near();
    const int rankC = strict ? belowC : notAboveC;
    for (int col = x - 1; col <= x + 1; ++col) {
      if (!In(y, col)) continue;
      const int v = At(y, col);
      // rank(c) less the values v..c - 1, or plus the values c + 1..v (for v = c, Below(c) -
      // belowC adds nothing); selected without branches, as v - c is noise.
      const bool above = v > c;
      const int rank = rankC - (above ? notAboveC : belowC) + w.Below(v + above);
      image[y * kW + col] = static_cast<std::uint8_t>(kReciprocals.Divide(255 * rank + n / 2, n));
    }
  }

 private:
  EqualiseWork& work_;
  const std::uint8_t* mask_;
};

template <class Sums>
void RankRows(EqualiseWork& work, const std::uint8_t* mask, int t, int b, std::uint8_t* image) {
  Equaliser eq(work, mask);
  std::memset(work.fine, 0, sizeof work.fine);
  std::memset(work.coarse, 0, sizeof work.coarse);
  for (int y = t - kReach; y <= t + kReach; ++y) eq.CountRow(y);
  for (int y = t; y <= b; ++y) {
    // The columns now hold rows y - 15 .. y + 15.
    if (y > t) eq.SlideRows(y - kReach - 1, y + kReach);
    RowWindows<Sums> w(work);
    for (int x = 2; x <= kW - 3; x += 3) {
      w.MoveTo(std::max(0, x - kReach), std::min(kW - 1, x + kReach));
      if (!eq.In(y, x - 1) && !eq.In(y, x) && !eq.In(y, x + 1)) continue;
      eq.Rank(w, y, x, image);
    }
  }
}

void RankRowsVector(EqualiseWork& work, const std::uint8_t* mask, int t, int b,
                    std::uint8_t* image) {
  RankRows<VectorSums>(work, mask, t, b, image);
}

#if HWY_TARGET == HWY_STATIC_TARGET
void RankRowsPlain(EqualiseWork& work, const std::uint8_t* mask, int t, int b,
                   std::uint8_t* image) {
  RankRows<PlainSums>(work, mask, t, b, image);
}
#endif

}  // namespace HWY_NAMESPACE
}  // namespace veltrum
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace veltrum {

HWY_EXPORT(RankRowsVector);

void RankEqualiseRows(EqualiseWork& work, const std::uint8_t* mask, int t, int b,
                      std::uint8_t* image) {
  HWY_DYNAMIC_DISPATCH(RankRowsVector)(work, mask, t, b, image);
}

void RankEqualiseRowsPlain(EqualiseWork& work, const std::uint8_t* mask, int t, int b,
                           std::uint8_t* image) {
  HWY_STATIC_DISPATCH(RankRowsPlain)(work, mask, t, b, image);
}

}  // namespace veltrum
#endif
