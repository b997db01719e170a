#include <algorithm>

#include "core/image_ref.h"
#include "quality/quality_measures.h"

namespace veltrum {

float SaturatedFraction(const std::uint8_t* image) {
  const auto white = std::count(image, image + kFramePixels, std::uint8_t{255});
  return static_cast<float>(white) / 76800.0f;
}

}  // namespace veltrum
