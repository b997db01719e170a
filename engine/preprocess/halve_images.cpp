// 2 x 2 reduction of the image, the reference and the mask to 160 x 120, pitch 160.

#include <cstring>

#include "core/alloc.h"
#include "core/image_ref.h"
#include "core/status.h"
#include "preprocess/preprocess_steps.h"

namespace veltrum {
namespace {

// Reduced columns i0..i1-1 of one row from the source row pair at `row`. The pointers do not
// overlap (restrict), which lets the loop vectorise.
void HalveRow(const std::uint8_t* __restrict row, int i0, int i1, int rounding,
              std::uint8_t* __restrict out) {
  const std::uint8_t* __restrict below = row + kFrameWidth;
  for (int i = i0; i < i1; ++i) {
    const int sum = row[2 * i] + row[2 * i + 1] + below[2 * i] + below[2 * i + 1];
    out[i] = static_cast<std::uint8_t>((sum + rounding) >> 2);
  }
}

}  // namespace

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

  for (int j = 1; j < kHalfH - 1; ++j) {
    const int o = j * kHalfW, i0 = 5, i1 = kHalfW - 10;
    HalveRow(image + 2 * j * kW, i0, i1, 2, smallImage.get() + o);
    HalveRow(reference + 2 * j * kW, i0, i1, 2, smallReference.get() + o);
    HalveRow(mask + 2 * j * kW, i0, i1, 0, smallMask.get() + o);
  }
  std::memcpy(image, smallImage.get(), kHalfPixels);
  std::memcpy(reference, smallReference.get(), kHalfPixels);
  std::memcpy(mask, smallMask.get(), kHalfPixels);
  return kOk;
}

}  // namespace veltrum
