#include "core/similarity.h"

namespace veltrum {

float ScoreToSimilarity(int raw) {
  const double r = static_cast<float>(raw);
  if (r <= 500.0) return 0.0f;
  if (r < 555.0) return static_cast<float>(0.0109 * r - 5.45);
  // Not clipped: 698 and 699 map slightly above 1.
  if (r < 700.0) return static_cast<float>(0.0028 * r - 0.954);
  return 1.0f;
}

}  // namespace veltrum
