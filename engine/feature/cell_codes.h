#pragma once
// The 104-bit cell codes: orientation orderings of scales 2, 3, 5, 6 and five scale-pair
// comparisons, written as a packed stream of 32-bit words, most significant bit first.

#include <cstdint>

#include "feature/code_stream.h"
#include "feature/feature_block.h"

namespace veltrum {

inline constexpr int kBlockCodeBytes = kGridCells * kCellCodeWords * 4;  // 5280
inline constexpr int kSampleCodeBytes = 1568;

// work[i] = trunc(response[i] x CellNormReciprocal[i]) over all 36960 entries.
void ComputeWorkTable(const std::int32_t* responses, std::int32_t* work);

// Appends cell `cell`'s 104 code bits, computed from `work`, to the stream.
void AppendCellCode(CodeStream& stream, int cell, const std::int32_t* work);

// Work table, then the packed codes of all cells and of the 98 B-samples.
void PackCellCodes(std::uint32_t* blockCodes, std::uint32_t* sampleCodes,
                   const std::int32_t* responses, std::int32_t* work);

}  // namespace veltrum
