#pragma once
// The checks that touch every template of a search, in the widest vectors the processor has
// (chosen at run time). ModelBytesPossible (possible_content.h) is the whole-template one.

#include <cstdint>

#include "model/possible_content.h"

namespace veltrum {

// True when each of the `cells` 8-byte cell vectors at `vectors` passes CellVectorPossible.
bool CellVectorsPossibleSimd(const std::uint8_t* vectors, int cells, const CellBounds& bounds);

}  // namespace veltrum
