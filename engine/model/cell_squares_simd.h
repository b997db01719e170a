#pragma once
// The cell-vector check of every template of a search, in the widest vectors the processor has
// (chosen at run time). It answers exactly as CellVectorPossible applied to each vector.

#include <cstdint>

namespace veltrum {

// True when each of the `cells` 8-byte cell vectors at `vectors` passes CellVectorPossible.
bool CellVectorsPossibleSimd(const std::uint8_t* vectors, int cells);

}  // namespace veltrum
