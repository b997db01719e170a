#pragma once
// What the shift searches share: the two normalised score parts (and NibbleDot).

#include <cstdint>

#include "model/cell_vector.h"

namespace veltrum {

// Dot-product part from its weighted sum; `offset` is 80 against a model, 90 between two
// enrolment blocks. `weight` must be positive.
inline int DotScore(std::int64_t sum, std::int64_t weight, int offset) {
  const auto mean = static_cast<std::int64_t>(static_cast<double>(sum) * 1000.0 /
                                              static_cast<double>(weight));
  return static_cast<int>(((mean >> 8) - offset) / 2);
}

// Agreement part, in units of 104-bit agreement scaled to 1000 per full grid.
inline int AgreementScore(std::int64_t sum, std::int64_t weight) {
  return static_cast<int>(static_cast<double>(sum) * 1000.0 / static_cast<double>(weight) * 330.0 /
                          34336.0);
}

}  // namespace veltrum
