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

void AppendCellCode(CodeStream& stream, int cell, const std::int32_t* work) {
  for (int scale : kOrientationScales) {
    const std::int32_t* w = work + ResponseIndex(cell, scale, 0);
    for (int k = 0; k < 16; ++k) PushCodeBit(stream, w[k] < w[(k + 1) % 16]);
  }
  for (const auto& pair : kScalePairs) {
    const std::int32_t* a = work + ResponseIndex(cell, pair[0], 0);
    const std::int32_t* b = work + ResponseIndex(cell, pair[1], 0);
    for (int j = 0; j < 8; ++j) {
      PushCodeBit(stream, std::int64_t{a[2 * j]} + a[2 * j + 1] > std::int64_t{b[2 * j]} + b[2 * j + 1]);
    }
  }
}

void PackCellCodes(std::uint32_t* blockCodes, std::uint32_t* sampleCodes,
                   const std::int32_t* responses, std::int32_t* work) {
  std::memset(blockCodes, 0, kBlockCodeBytes);
  std::memset(sampleCodes, 0, kSampleCodeBytes);
  ComputeWorkTable(responses, work);
  CodeStream all{blockCodes};
  for (int cell = 0; cell < kGridCells; ++cell) AppendCellCode(all, cell, work);
  FinishCodeStream(all);
  CodeStream samples{sampleCodes};
  for (int k = 0; k < 98; ++k) AppendCellCode(samples, SampleCellB(k).index(), work);
  FinishCodeStream(samples);
}

}  // namespace veltrum
