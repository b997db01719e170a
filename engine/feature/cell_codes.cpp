#include "feature/cell_codes.h"

#include <cstring>

#include "feature/filter_bank.h"
#include "tables/lookup_tables.h"

namespace veltrum {
namespace {

constexpr int kOrientationScales[4] = {2, 3, 5, 6};
constexpr int kScalePairs[5][2] = {{0, 2}, {2, 3}, {3, 4}, {3, 5}, {5, 6}};

}  // namespace

void ComputeWorkTable(const std::int32_t* responses, std::int32_t* work) {
  const auto& reciprocal = Tables().CellNormReciprocal;
  for (int i = 0; i < kResponseEntries; ++i) {
    work[i] = static_cast<std::int32_t>(static_cast<float>(responses[i]) * reciprocal[i]);
  }
}

namespace {

// Bit k (from bit 15 down) is set when w[k] < w[(k + 1) mod 16].
std::uint32_t OrderBits(const std::int32_t* w) {
  std::uint32_t v = 0;
  for (int k = 0; k < 16; ++k) v |= static_cast<std::uint32_t>(w[k] < w[(k + 1) & 15]) << (15 - k);
  return v;
}

}  // namespace

// The code goes in as the words of its expanded row: scales 2 and 3, scales 5 and 6, four pairs,
// the last pair.
void AppendCellCode(CodeStream& stream, int cell, const std::int32_t* work) {
  const std::int32_t* w = work + ResponseIndex(cell, 0, 0);
  std::uint32_t order[4];
  for (int i = 0; i < 4; ++i) order[i] = OrderBits(w + kOrientations * kOrientationScales[i]);
  // The eight sums of neighbouring orientations of each scale.
  std::int64_t sums[kScales][8];
  for (int scale = 0; scale < kScales; ++scale) {
    const std::int32_t* s = w + kOrientations * scale;
    for (int j = 0; j < 8; ++j) sums[scale][j] = std::int64_t{s[2 * j]} + s[2 * j + 1];
  }
  std::uint32_t pairs[5];
  for (int p = 0; p < 5; ++p) {
    const std::int64_t* a = sums[kScalePairs[p][0]];
    const std::int64_t* b = sums[kScalePairs[p][1]];
    std::uint32_t v = 0;
    // a > b as the sign of b - a, which cannot overflow: a form the compiler keeps in vectors.
    for (int j = 0; j < 8; ++j) {
      v |= static_cast<std::uint32_t>(static_cast<std::uint64_t>(b[j] - a[j]) >> 63) << (7 - j);
    }
    pairs[p] = v;
  }
  PushCodeBits(stream, order[0] << 16 | order[1], 32);
  PushCodeBits(stream, order[2] << 16 | order[3], 32);
  PushCodeBits(stream, pairs[0] << 24 | pairs[1] << 16 | pairs[2] << 8 | pairs[3], 32);
  PushCodeBits(stream, pairs[4], 8);
}

void PackCellCodes(std::uint32_t* blockCodes, std::uint32_t* sampleCodes,
                   const std::int32_t* responses, std::int32_t* work) {
  std::memset(blockCodes, 0, kBlockCodeBytes);
  std::memset(sampleCodes, 0, kSampleCodeBytes);
  ComputeWorkTable(responses, work);
  CodeStream all{blockCodes};
  for (int cell = 0; cell < kGridCells; ++cell) AppendCellCode(all, cell, work);
  FinishCodeStream(all);
  // The sample codes are the block's: copied from its stream rather than computed again.
  CodeStream samples{sampleCodes};
  for (int k = 0; k < 98; ++k) {
    const int start = SampleCellB(k).index() * kCodeBits;
    for (int i = 0; i < 3; ++i) PushCodeBits(samples, StreamBits32(blockCodes, start + 32 * i), 32);
    PushCodeBits(samples, StreamBits32(blockCodes, start + 96) >> 24, 8);
  }
  FinishCodeStream(samples);
}

}  // namespace veltrum
