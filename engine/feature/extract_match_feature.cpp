// The operation behind VLT_FV_ExtractFeature and the probe side of VLT_FV_Match.

#include <cstring>

#include "api/operations.h"
#include "core/image_ref.h"
#include "core/status.h"
#include "feature/extract_feature_set.h"
#include "feature/unpack_feature_block.h"

namespace veltrum {

int ExtractMatchFeature(const unsigned char* image, unsigned char* feature) {
  if (image == nullptr || feature == nullptr) return kNoImage;
  // Built in an aligned record: the caller's bytes need not be aligned, and a failed
  // extraction leaves them untouched.
  VeinFeature out;
  const ImageRef input{kFrameWidth, kFrameHeight, const_cast<std::uint8_t*>(image)};
  int status = ExtractFeatureSet(input, out);
  for (int i = 0; i < 3 && status == kOk; ++i) {
    status = UnpackFeatureBlock(out.blocks[i], kGridCells, true);
  }
  if (status == kOk) std::memcpy(feature, &out, sizeof out);
  return status;
}

}  // namespace veltrum
