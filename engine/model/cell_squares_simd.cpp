// A nibble's square is at most 225, so the squares of a vector's bytes are looked up as bytes
// and each 8-byte cell vector sums into one 64-bit lane.

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "model/cell_squares_simd.cpp"
#include <hwy/foreach_target.h>  // must precede highway.h
#include <hwy/highway.h>

#include "model/cell_squares_simd.h"

HWY_BEFORE_NAMESPACE();
namespace veltrum {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// Byte offset of the first cell vector not checked in whole vectors, or -1 when one fails.
int CheckWholeVectors(const std::uint8_t* vectors, int cells, int maxSquares) {
  alignas(16) static constexpr std::uint8_t kSquares[16] = {0,  1,  4,   9,   16,  25,  36,  49,
                                                            64, 81, 100, 121, 144, 169, 196, 225};
  const hn::ScalableTag<std::uint8_t> d8;
  const hn::Repartition<std::int64_t, decltype(d8)> d64;
  const int n = static_cast<int>(hn::Lanes(d8));
  const int bytes = 8 * cells;
  if (n < 8) return 0;
  const auto squares = hn::LoadDup128(d8, kSquares);
  const auto low = hn::Set(d8, 15);
  const auto limit = hn::Set(d64, maxSquares);
  int i = 0;
  for (; i + n <= bytes; i += n) {
    const auto v = hn::LoadU(d8, vectors + i);
    const auto highSquares = hn::TableLookupBytes(squares, hn::ShiftRight<4>(v));
    const auto lowSquares = hn::TableLookupBytes(squares, hn::And(v, low));
    const auto sums = hn::Add(hn::SumsOf8(highSquares), hn::SumsOf8(lowSquares));
    if (!hn::AllFalse(d64, hn::Gt(hn::BitCast(d64, sums), limit))) return -1;
  }
  return i;
}

}  // namespace HWY_NAMESPACE
}  // namespace veltrum
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "model/possible_content.h"

namespace veltrum {

HWY_EXPORT(CheckWholeVectors);

bool CellVectorsPossibleSimd(const std::uint8_t* vectors, int cells) {
  const int done = HWY_DYNAMIC_DISPATCH(CheckWholeVectors)(vectors, cells, kMaxCellSquares);
  if (done < 0) return false;
  for (int i = done; i < 8 * cells; i += 8) {
    if (!CellVectorPossible(vectors + i)) return false;
  }
  return true;
}

}  // namespace veltrum
#endif
