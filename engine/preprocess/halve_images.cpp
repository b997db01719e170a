// 2 x 2 reduction of the image, the reference and the mask to 160 x 120, pitch 160.

#include <cstring>

#include "core/alloc.h"
#include "core/image_ref.h"
#include "core/status.h"
#include "preprocess/preprocess_steps.h"

namespace veltrum {

int HalveImages(std::uint8_t* image, std::uint8_t* reference, std::uint8_t* mask) {
  constexpr int kW = kFrameWidth;
  constexpr int kHalfW = kFrameWidth / 2, kHalfH = kFrameHeight / 2;
  constexpr int kHalfPixels = kHalfW * kHalfH;
  // The reductions are filled with 255 first; only the mask's rim must read 0.
  auto smallImage = AllocArray<std::uint8_t>(kFramePixels);
  auto smallReference = AllocArray<std::uint8_t>(kFramePixels);
  auto smallMask = AllocZeroedArray<std::uint8_t>(kHalfPixels);
  if (!smallImage || !smallReference || !smallMask) return kOutOfMemory;
  std::memset(smallImage.get(), 255, kHalfPixels);
  std::memset(smallReference.get(), 255, kHalfPixels);

  const auto blockSum = [](const std::uint8_t* plane, int j, int i) {
    const std::uint8_t* p = plane + 2 * j * kW + 2 * i;
    return p[0] + p[1] + p[kW] + p[kW + 1];
  };
  for (int j = 1; j < kHalfH - 1; ++j) {
    for (int i = 5; i < kHalfW - 10; ++i) {
      const int o = j * kHalfW + i;
      smallImage[o] = static_cast<std::uint8_t>((blockSum(image, j, i) + 2) >> 2);
      smallReference[o] = static_cast<std::uint8_t>((blockSum(reference, j, i) + 2) >> 2);
      smallMask[o] = static_cast<std::uint8_t>(blockSum(mask, j, i) >> 2);
    }
  }
  std::memcpy(image, smallImage.get(), kHalfPixels);
  std::memcpy(reference, smallReference.get(), kHalfPixels);
  std::memcpy(mask, smallMask.get(), kHalfPixels);
  return kOk;
}

}  // namespace veltrum
