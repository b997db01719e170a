#include "core/image_ref.h"
#include "preprocess/preprocess_steps.h"

namespace veltrum {

// Inverted blend, so that veins (deep valleys, dark pixels) come out bright.
void CombineValleyImage(std::uint8_t* image, const std::uint8_t* valley) {
  for (int i = 0; i < kFramePixels; ++i) {
    image[i] = static_cast<std::uint8_t>(255 - (4 * valley[i] - image[i] + 255) / 5);
  }
}

}  // namespace veltrum
