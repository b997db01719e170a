// The check of a whole template in the widest vectors the processor has, so that a search's list
// streams through at memory speed. Each field answers exactly as its plain check in
// possible_content.cpp. Where a rule is a plain "any lane bad", vectors may overlap (a lane
// checked twice gives the same answer); sums are masked so that each value counts once.

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "model/possible_content_simd.cpp"
#include <hwy/foreach_target.h>  // must precede highway.h
#include <hwy/highway.h>

#include <cstddef>
#include <cstring>

#include "model/possible_content.h"
#include "model/possible_content_simd.h"

HWY_BEFORE_NAMESPACE();
namespace veltrum {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// Byte offset of the first cell vector not checked in whole vectors, or -1 when one fails.
// A nibble's square is at most 225, so the squares of a vector's bytes are looked up as bytes
// and each 8-byte cell vector sums into one 64-bit lane, as do its values and its 15s.
int CheckWholeVectors(const std::uint8_t* vectors, int cells, int maxSquares, int minLength) {
  alignas(16) static constexpr std::uint8_t kSquares[16] = {0,  1,  4,   9,   16,  25,  36,  49,
                                                            64, 81, 100, 121, 144, 169, 196, 225};
  const hn::ScalableTag<std::uint8_t> d8;
  const hn::Repartition<std::int64_t, decltype(d8)> d64;
  const int n = static_cast<int>(hn::Lanes(d8));
  const int bytes = 8 * cells;
  if (n < 8) return 0;
  const auto squares = hn::LoadDup128(d8, kSquares);
  const auto low = hn::Set(d8, 15), one = hn::Set(d8, 1);
  const auto most = hn::Set(d64, maxSquares), least = hn::Set(d64, minLength - 16);
  const auto zero = hn::Zero(d64);
  int i = 0;
  for (; i + n <= bytes; i += n) {
    const auto v = hn::LoadU(d8, vectors + i);
    const auto high = hn::ShiftRight<4>(v), lowValues = hn::And(v, low);
    const auto squareSums =
        hn::BitCast(d64, hn::Add(hn::SumsOf8(hn::TableLookupBytes(squares, high)),
                                 hn::SumsOf8(hn::TableLookupBytes(squares, lowValues))));
    const auto sums = hn::BitCast(d64, hn::Add(hn::SumsOf8(high), hn::SumsOf8(lowValues)));
    const auto fifteens = hn::BitCast(
        d64, hn::Add(hn::SumsOf8(hn::And(hn::VecFromMask(d8, hn::Eq(high, low)), one)),
                     hn::SumsOf8(hn::And(hn::VecFromMask(d8, hn::Eq(lowValues, low)), one))));
    // Sum of (value + 1)^2 = squares + 2 x sum + 16, below the least unless all zero or a 15.
    const auto shortOne = hn::And(hn::Lt(hn::Add(squareSums, hn::Add(sums, sums)), least),
                                  hn::And(hn::Ne(squareSums, zero), hn::Eq(fifteens, zero)));
    if (!hn::AllFalse(d64, hn::Or(hn::Gt(squareSums, most), shortOne))) return -1;
  }
  return i;
}

using D16 = hn::CappedTag<std::int16_t, 32>;

// Start of the vector that covers lanes from `start` of a field of `lanes` lanes: moved back so
// that it ends with the field when it would run past it.
inline int ChunkStart(int start, int lanes, int n) { return start + n <= lanes ? start : lanes - n; }

// Code rows: no 16-bit group of words 0 and 1 all ones, no bit above bit 7 in word 3. A row is
// eight 16-bit lanes, so one 128-bit pattern fits every row.
bool CodeRowsPossible(const std::uint8_t* rows) {
  alignas(16) static constexpr std::int16_t kAllOnesBad[8] = {-1, -1, -1, -1, 0, 0, 0, 0};
  alignas(16) static constexpr std::int16_t kBitsBad[8] = {0, 0, 0, 0, 0, 0, -256, -1};
  const D16 d;
  const int n = static_cast<int>(hn::Lanes(d));
  const int lanes = kBSamples * 8;
  const auto allOnesBad = hn::LoadDup128(d, kAllOnesBad);
  const auto bitsBad = hn::LoadDup128(d, kBitsBad);
  const auto ones = hn::Set(d, -1);
  auto bad = hn::Zero(d);
  for (int start = 0; start < lanes; start += n) {
    const auto v = hn::LoadU(d, reinterpret_cast<const std::int16_t*>(rows) + ChunkStart(start, lanes, n));
    bad = hn::Or(bad, hn::And(hn::VecFromMask(d, hn::Eq(v, ones)), allOnesBad));
    bad = hn::Or(bad, hn::And(v, bitsBad));
  }
  return hn::AllTrue(d, hn::Eq(bad, hn::Zero(d)));
}

// Sum of the 16-bit lanes, widened so that it cannot overflow.
template <class V>
int LaneSum(V v) {
  const D16 d;
  const hn::Repartition<std::int32_t, D16> d32;
  auto sum1 = hn::Zero(d32);
  const auto sum = hn::ReorderWidenMulAccumulate(d32, v, hn::Set(d, 1), hn::Zero(d32), sum1);
  return hn::GetLane(hn::SumOfLanes(d32, hn::Add(sum, sum1)));
}

// Edge pairs as 16-bit lanes (upper in the low byte), and the grid origin of the first 60.
bool EdgePairsAndGridPossible(const std::uint8_t* bytes) {
  const D16 d;
  const int n = static_cast<int>(hn::Lanes(d));
  const auto* pairs = reinterpret_cast<const std::int16_t*>(bytes + offsetof(VeinModel, edgePairs));
  const hn::RebindToUnsigned<D16> du;
  const auto byteMask = hn::Set(d, 0xFF), noUpper = hn::Set(d, 120), lastRow = hn::Set(d, 119);
  const auto zero = hn::Zero(d);
  const auto lowerOf = [&](auto v) { return hn::BitCast(d, hn::ShiftRight<8>(hn::BitCast(du, v))); };
  constexpr int kOriginPairs = 60;  // the pairs the grid origin is taken from
  const auto iota = hn::Iota(d, 0);
  auto bad = hn::Zero(d), upperSum = hn::Zero(d), lowerSum = hn::Zero(d), counted = hn::Zero(d);
  for (int start = 0; start < kEdgePairs; start += n) {
    const int from = ChunkStart(start, kEdgePairs, n);
    const auto v = hn::LoadU(d, pairs + from);
    const auto upper = hn::And(v, byteMask), lower = lowerOf(v);
    const auto offFinger = hn::And(hn::Eq(upper, noUpper), hn::Eq(lower, zero));
    const auto wrong = hn::Or(hn::Or(hn::Gt(upper, lastRow), hn::Gt(lower, lastRow)), hn::Gt(upper, lower));
    bad = hn::Or(bad, hn::VecFromMask(d, hn::AndNot(offFinger, wrong)));
    // Pairs from `start` (those before it were summed by the previous vector) up to pair 59.
    const auto fresh = hn::Gt(iota, hn::Set(d, static_cast<std::int16_t>(start - from - 1)));
    const auto origin = hn::Lt(iota, hn::Set(d, static_cast<std::int16_t>(kOriginPairs - from)));
    const auto edges = hn::Not(hn::Or(hn::Eq(upper, noUpper), hn::Eq(lower, zero)));
    const auto use = hn::And(hn::And(fresh, origin), edges);
    upperSum = hn::Add(upperSum, hn::IfThenElseZero(use, upper));
    lowerSum = hn::Add(lowerSum, hn::IfThenElseZero(use, lower));
    counted = hn::Add(counted, hn::IfThenElseZero(use, hn::Set(d, 1)));
  }
  if (!hn::AllTrue(d, hn::Eq(bad, zero))) return false;
  return GridWordsPossible(bytes,
                           GridFromEdgeSums(LaneSum(upperSum), LaneSum(lowerSum), LaneSum(counted)));
}

// Four coarse vectors of 60: each value within -126..126, squares within the bound.
bool CoarsePossible(const std::int8_t* coarse) {
  const D16 d;
  const hn::Rebind<std::int8_t, D16> d8;
  const hn::Repartition<std::int32_t, D16> d32;
  constexpr int kLength = 60;
  const int n = static_cast<int>(hn::Lanes(d));
  const auto limit = hn::Set(d, kCoarseLimit);
  const auto iota = hn::Iota(d, 0);
  auto outside = hn::Zero(d);
  for (int v = 0; v < kCoarseEntries / kLength; ++v) {
    auto squares = hn::Zero(d32), squares1 = hn::Zero(d32);
    for (int start = 0; start < kLength; start += n) {
      const int from = ChunkStart(start, kLength, n);
      auto x = hn::PromoteTo(d, hn::LoadU(d8, coarse + v * kLength + from));
      outside = hn::Or(outside, hn::VecFromMask(d, hn::Gt(hn::Abs(x), limit)));
      // Lanes before `start` were summed by the previous vector.
      x = hn::IfThenElseZero(hn::Gt(iota, hn::Set(d, static_cast<std::int16_t>(start - from - 1))), x);
      squares = hn::ReorderWidenMulAccumulate(d32, x, x, squares, squares1);
    }
    if (hn::GetLane(hn::SumOfLanes(d32, hn::Add(squares, squares1))) > kMaxCoarseSquares) return false;
  }
  return hn::AllTrue(d, hn::Eq(outside, hn::Zero(d)));
}

bool WholeModelPossible(const unsigned char* bytes, int maxSquares, int minLength) {
  const int done = CheckWholeVectors(bytes, kASamples, maxSquares, minLength);
  if (done != 8 * kASamples || hn::Lanes(D16()) < 8) return ModelBytesPossiblePlain(bytes);
  return CodeRowsPossible(bytes + offsetof(VeinModel, codeRows)) && EdgePairsAndGridPossible(bytes) &&
         CoarsePossible(reinterpret_cast<const std::int8_t*>(bytes + offsetof(VeinModel, coarse)));
}

}  // namespace HWY_NAMESPACE
}  // namespace veltrum
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace veltrum {

HWY_EXPORT(CheckWholeVectors);
HWY_EXPORT(WholeModelPossible);

bool CellVectorsPossibleSimd(const std::uint8_t* vectors, int cells, const CellBounds& bounds) {
  const int done =
      HWY_DYNAMIC_DISPATCH(CheckWholeVectors)(vectors, cells, bounds.maxSquares, bounds.minLength);
  if (done < 0) return false;
  for (int i = done; i < 8 * cells; i += 8) {
    if (!CellVectorPossible(vectors + i, bounds)) return false;
  }
  return true;
}

bool ModelBytesPossible(const unsigned char* bytes) {
  const CellBounds bounds = TemplateCellBounds(bytes);
  return HWY_DYNAMIC_DISPATCH(WholeModelPossible)(bytes, bounds.maxSquares, bounds.minLength);
}

}  // namespace veltrum
#endif
