// The 1:1 operations behind VLT_FV_Match and VLT_FV_MatchFeature.

#include "api/operations.h"
#include "core/status.h"
#include "match/match_block_to_model.h"
#include "match/shift_search.h"

namespace veltrum {

int MatchFeatureToModel(std::int8_t& shiftRow, std::int8_t& shiftCol, const unsigned char* model,
                        const unsigned char* feature, int* raw) {
  const VeinFeature probe = LoadFeature(feature);
  *raw = MatchFeatureToModel(shiftRow, shiftCol, LoadModel(model), probe);
  return kOk;
}

int MatchImageToModel(const unsigned char* image, const unsigned char* model, int* raw) {
  if (image == nullptr) return kNoImage;
  VeinFeature probe;
  if (const int status = ExtractMatchFeature(image, reinterpret_cast<unsigned char*>(&probe));
      status != kOk) {
    return status;
  }
  std::int8_t shiftRow = kShiftSearchFull, shiftCol = 0;
  *raw = MatchFeatureToModel(shiftRow, shiftCol, LoadModel(model), probe);
  return kOk;
}

}  // namespace veltrum
