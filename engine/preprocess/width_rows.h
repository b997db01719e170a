#pragma once
// The inner loop of the width normalisation: one output image row blended from two source rows
// in single precision, in plain code and in the widest vectors the processor has.

#include <cstdint>

namespace veltrum {

// out[x] = truncate(w0 * above[x] + w1 * below[x]) for the 320 columns of a row.
void BlendWidthRowPlain(const std::uint8_t* above, const std::uint8_t* below, float w0, float w1,
                        std::uint8_t* out);
void BlendWidthRow(const std::uint8_t* above, const std::uint8_t* below, float w0, float w1,
                   std::uint8_t* out);

}  // namespace veltrum
