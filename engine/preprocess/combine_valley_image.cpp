#include "core/image_ref.h"
#include "preprocess/preprocess_steps.h"

namespace veltrum {

// Inverted blend, so that veins (deep valleys, dark pixels) come out bright. The numerator lies
// in 0..1275, so it and its division by 5 fit 16-bit lanes.
void CombineValleyImage(std::uint8_t* image, const std::uint8_t* valley) {
  for (int i = 0; i < kFramePixels; ++i) {
    const auto numerator = static_cast<std::uint16_t>(4 * valley[i] + 255 - image[i]);
    image[i] = static_cast<std::uint8_t>(255 - numerator / 5);
  }
}

}  // namespace veltrum
