#pragma once
// Running sums of a plane of any size, so every window sum costs four reads.

#include <cstdint>
#include <memory>

namespace veltrum {

class PlaneIntegral {
 public:
  // Sums of curve[p] (p itself without a curve) over rows first..last; other rows count 0.
  // False when the (width + 1) x (height + 1) sums cannot be allocated.
  bool Build(const std::uint8_t* plane, int width, int height, const std::uint8_t* curve, int first,
             int last);
  // Sum over rows r0..r1 and columns c0..c1 inclusive, all inside the plane.
  std::uint32_t WindowSum(int r0, int r1, int c0, int c1) const {
    const auto at = [&](int r, int c) { return sums_[static_cast<std::size_t>(r) * stride_ + c]; };
    return at(r1 + 1, c1 + 1) - at(r0, c1 + 1) - at(r1 + 1, c0) + at(r0, c0);
  }

 private:
  std::unique_ptr<std::uint32_t[]> sums_;
  int stride_ = 0;
};

}  // namespace veltrum
