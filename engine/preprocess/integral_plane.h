#pragma once
// 241 x 321 unsigned 32-bit running sums over a byte buffer of any alignment (the pipeline's
// scratch area comes from the caller as plain bytes). Sums wrap modulo 2^32; window sums taken
// as differences are still exact while the true window sum fits.

#include <cstdint>
#include <cstring>

namespace veltrum {

inline constexpr int kIntegralRows = 241;
inline constexpr int kIntegralCols = 321;
inline constexpr int kIntegralEntries = kIntegralRows * kIntegralCols;

enum class IntegralOf { kCount, kValue, kSquare };

class IntegralPlane {
 public:
  explicit IntegralPlane(std::uint8_t* bytes) : bytes_(bytes) {}

  // Entry (r, c) = sum over mask pixels in rows below r (only rows top..bottom) and columns
  // below c of 1, the value or its square.
  void Build(const std::uint8_t* mask, const std::uint8_t* values, IntegralOf what, int top,
             int bottom);
  // Sum over rows r0..r1 and columns c0..c1 inclusive; indices are clamped to the frame.
  std::uint32_t WindowSum(int r0, int r1, int c0, int c1) const;

 private:
  std::uint32_t At(int r, int c) const {
    std::uint32_t v;
    std::memcpy(&v, bytes_ + 4 * (r * kIntegralCols + c), 4);
    return v;
  }
  void Set(int r, int c, std::uint32_t v) {
    std::memcpy(bytes_ + 4 * (r * kIntegralCols + c), &v, 4);
  }

  std::uint8_t* bytes_;
};

}  // namespace veltrum
