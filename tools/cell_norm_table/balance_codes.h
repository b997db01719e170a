#pragma once
// Sets the divisors of each cell so that every code bit it can steer comes out 1 for half the
// training images (weighted), holding the given rows fixed:
// - orientation bits (scales 2, 3, 5, 6): the ratios of neighbouring orientations follow the
//   weighted median log ratio of their responses, least squares around the cycle of 16;
// - scale-pair bits: walking the pairs as a tree from scale 3 (from the given scale 0 in cell
//   0), the second scale of each pair takes the factor that balances its eight bits together;
//   scales 0 and 4, which have no orientation bits, balance each of their eight bits alone.
// Cells covered in fewer than `minImages` images keep their mean divisors. With `separate`, each
// scale-pair factor is instead the cut that best separates the agreement of the same finger's
// captures at zero shift from that of different fingers.

#include <vector>

#include "code_statistics.h"

namespace cellnorm {

struct WeightedImage {
  const training::HeldOutImage* image;
  double weight;
};

// `divisors` are the unrounded mean-based entries; they are changed in place.
void BalanceCodeBits(std::vector<double>& divisors, const std::vector<WeightedImage>& images,
                     int minImages, bool separate = false);

}  // namespace cellnorm
