// Each inner-mask pixel becomes its rank among the mask pixels of its 31 x 31 window, which evens
// out illumination and contrast along the finger (the ranking is in equalise_windows.cpp).

#include <algorithm>
#include <cstring>

#include "core/alloc.h"
#include "core/image_ref.h"
#include "core/status.h"
#include "preprocess/equalise_windows.h"
#include "preprocess/preprocess_steps.h"

namespace veltrum {

int EqualiseLocalHistogram(std::uint8_t* image, const std::uint8_t* mask, int top, int bottom) {
  // One block for the copy and the column counts.
  auto block = AllocArray<EqualiseWork>(1);
  if (!block) return kOutOfMemory;
  EqualiseWork& work = block[0];
  std::memcpy(work.copy, image, kFramePixels);
  std::memset(image, 0, kFramePixels);
  const int t = std::max(top, kEqualiseReach + 1);
  const int b = std::min(bottom, kFrameHeight - kEqualiseReach - 1);
  if (t > b) return kOk;
  RankEqualiseRows(work, mask, t, b, image);
  return kOk;
}

}  // namespace veltrum
