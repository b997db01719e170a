#pragma once
// Running sums of a plane, so that every window sum costs four reads. Entry (r, c) holds the sum
// over rows below r and columns below c. Sums wrap modulo 2^32; a window sum taken as a
// difference is still exact while the true sum fits.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace veltrum {

class IntegralImage {
 public:
  // Entries of the sums of a width x height plane; they need no clearing before Build.
  static constexpr std::size_t Entries(int width, int height) {
    return static_cast<std::size_t>(width + 1) * (height + 1);
  }

  // `sums` may be any buffer of Entries() 32-bit values, aligned or not (a caller's scratch
  // bytes serve).
  IntegralImage(void* sums, int width, int height)
      : sums_(static_cast<unsigned char*>(sums)), width_(width), height_(height) {}

  // Sums of term(row, col) over rows first..last; the other rows count 0.
  template <class Term>
  void Build(int first, int last, Term term) {
    for (int c = 0; c <= width_; ++c) Set(0, c, 0);
    first = std::max(first, 0);
    last = std::min(last, height_ - 1);
    for (int r = 0; r < height_; ++r) {
      Set(r + 1, 0, 0);
      const bool summed = r >= first && r <= last;
      std::uint32_t rowSum = 0;
      for (int c = 0; c < width_; ++c) {
        if (summed) rowSum += static_cast<std::uint32_t>(term(r, c));
        Set(r + 1, c + 1, At(r, c + 1) + rowSum);
      }
    }
  }

  // Sum over rows r0..r1 and columns c0..c1 inclusive, all inside the plane.
  std::uint32_t WindowSum(int r0, int r1, int c0, int c1) const {
    return At(r1 + 1, c1 + 1) - At(r0, c1 + 1) - At(r1 + 1, c0) + At(r0, c0);
  }
  // The same for a window that may reach past the plane: what lies outside counts 0.
  std::uint32_t ClampedWindowSum(int r0, int r1, int c0, int c1) const {
    r0 = std::clamp(r0, 0, height_);
    r1 = std::clamp(r1 + 1, 0, height_);
    c0 = std::clamp(c0, 0, width_);
    c1 = std::clamp(c1 + 1, 0, width_);
    return At(r1, c1) - At(r0, c1) - At(r1, c0) + At(r0, c0);
  }

 private:
  std::size_t Offset(int r, int c) const {
    return 4 * (static_cast<std::size_t>(r) * (width_ + 1) + c);
  }
  std::uint32_t At(int r, int c) const {
    std::uint32_t v;
    std::memcpy(&v, sums_ + Offset(r, c), 4);
    return v;
  }
  void Set(int r, int c, std::uint32_t v) { std::memcpy(sums_ + Offset(r, c), &v, 4); }

  unsigned char* sums_;
  int width_, height_;
};

}  // namespace veltrum
