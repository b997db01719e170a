// The exported functions: their checks, in order, then the operation behind each.
// Every check returns at once and writes nothing.

#include <cstring>

#include "api/operations.h"
#include "cipher/image_cipher.h"
#include "codec/template_codec.h"
#include "core/engine_state.h"
#include "core/similarity.h"
#include "core/status.h"
#include "feature/feature_block.h"
#include "model/possible_content.h"
#include "veltrum.h"

namespace veltrum {
namespace {

int CheckImage(const unsigned char* image, int height, int width) {
  if (!EngineInitialised()) return kNotInitialised;
  if (image == nullptr) return kNoImage;
  if (width != kVltImageWidth || height != kVltImageHeight) return kBadImageSize;
  return kOk;
}

// Runs the operation, which fills `raw`, and writes the similarity only on success.
template <class Operation>
int MatchAndConvert(float* similarity, Operation&& operation) {
  int raw = 0;
  const int status = operation(&raw);
  if (status == kOk) *similarity = ScoreToSimilarity(raw);
  return status;
}

// Templates and features from outside are checked before they are scored or stored.
int CheckTemplates(const unsigned char* models, int count) {
  for (int i = 0; i < count; ++i) {
    if (!ModelBytesPossible(models + static_cast<std::size_t>(i) * sizeof(VeinModel))) {
      return kImpossibleTemplate;
    }
  }
  return kOk;
}

int CheckFeature(const unsigned char* feature) {
  return FeaturePossible(LoadFeature(feature)) ? kOk : kImpossibleFeature;
}

}  // namespace
}  // namespace veltrum

using namespace veltrum;

int VLT_FV_Init(int mode) { return InitEngine(mode); }

int VLT_FV_Release() { return kOk; }

int VLT_FV_Quality(const unsigned char* image, int height, int width, float* params) {
  if (const int status = CheckImage(image, height, width); status != kOk) return status;
  if (params == nullptr) return kNoImage;
  return CheckImageQuality(image, params);
}

int VLT_FV_QualityAssess(float& measure1, float& measure2, const unsigned char* image, int height,
                         int width, float limit, float /*reserved*/) {
  if (const int status = CheckImage(image, height, width); status != kOk) return status;
  // Callers bind the references from C, as pointers that may be null; read through volatile so
  // the test is not dropped on the grounds that a reference is never null.
  float* volatile first = &measure1;
  float* volatile second = &measure2;
  if (first == nullptr || second == nullptr) return kNullArgument;
  return AssessQuality(measure1, image, measure2, limit);
}

int VLT_FV_ExtractFeature(const unsigned char* image, int height, int width,
                          unsigned char* feature) {
  if (const int status = CheckImage(image, height, width); status != kOk) return status;
  if (feature == nullptr) return kNullArgument;
  return ExtractMatchFeature(image, feature);
}

int VLT_FV_Enroll(const unsigned char* image1, const unsigned char* image2,
                  const unsigned char* image3, int height, int width, int* /*reserved*/,
                  unsigned char* model) {
  if (const int status = CheckImage(image1, height, width); status != kOk) return status;
  if (image3 != nullptr && image2 == nullptr) return kNoImage;
  if (model == nullptr) return kNullArgument;
  return EnrollModel(image1, image2, image3, model);
}

int VLT_FV_Match(const unsigned char* image, int height, int width, const unsigned char* model,
                 float* similarity) {
  if (const int status = CheckImage(image, height, width); status != kOk) return status;
  if (model == nullptr || similarity == nullptr) return kNullArgument;
  if (const int status = CheckTemplates(model, 1); status != kOk) return status;
  return MatchAndConvert(similarity, [&](int* raw) { return MatchImageToModel(image, model, raw); });
}

int VLT_FV_MatchFeature(const unsigned char* model, const unsigned char* feature,
                        float* similarity) {
  if (!EngineInitialised()) return kNotInitialised;
  if (model == nullptr || feature == nullptr || similarity == nullptr) return kNullArgument;
  if (const int status = CheckTemplates(model, 1); status != kOk) return status;
  if (const int status = CheckFeature(feature); status != kOk) return status;
  std::int8_t shiftRow = 20;  // full search from zero
  std::int8_t shiftCol = 0;
  return MatchAndConvert(similarity, [&](int* raw) {
    return MatchFeatureToModel(shiftRow, shiftCol, model, feature, raw);
  });
}

int VLT_FV_Index(const unsigned char* models, int* count, const unsigned char* image,
                 int* position, float* similarity) {
  if (!EngineInitialised()) return kNotInitialised;
  if (models == nullptr) return kNoTemplates;
  if (image == nullptr) return kNoImage;
  if (count == nullptr || position == nullptr || similarity == nullptr) return kNullArgument;
  if (const int status = CheckTemplates(models, *count); status != kOk) return status;
  return MatchAndConvert(similarity, [&](int* raw) {
    return SearchModelsByImage(models, count, image, position, raw);
  });
}

int VLT_FV_IndexFeature(const unsigned char* models, int* count, const unsigned char* feature,
                        int* position, float* similarity) {
  if (!EngineInitialised()) return kNotInitialised;
  if (models == nullptr || feature == nullptr) return kNoTemplates;
  if (count == nullptr || position == nullptr || similarity == nullptr) return kNullArgument;
  // The templates and the feature are checked inside, as each template is read.
  return MatchAndConvert(similarity, [&](int* raw) {
    return SearchModelsByFeature(models, count, feature, position, raw, true);
  });
}

int VLT_FV_Encode(const unsigned char* model, unsigned char* out, int* outLength) {
  if (!EngineInitialised()) return kNotInitialised;
  if (model == nullptr || out == nullptr || outLength == nullptr) return kFailed;
  VeinModel copy = LoadModel(model);  // the caller's model is never changed
  if (!ModelPossible(copy)) return kImpossibleTemplate;
  return PackBitRows(copy, out, outLength);
}

int VLT_FV_Decode(const unsigned char* data, int length, unsigned char* model) {
  if (!EngineInitialised()) return kNotInitialised;
  if (data == nullptr || model == nullptr || length < kSerialisedBytes) return kFailed;
  // Decoded aside so that a failure leaves the caller's model as it was.
  VeinModel decoded = LoadModel(model);
  UnpackModel(data, decoded);
  if (const int status = UnpackBitRows(decoded); status != kOk) return status;
  if (!ModelPossible(decoded)) return kImpossibleTemplate;
  StoreModel(decoded, model);
  return kOk;
}

int VLT_Encrypt(unsigned char* out, const unsigned char* in, int length) {
  return EncryptImageData(out, in, length);
}

int VLT_Decrypt(unsigned char* out, const unsigned char* in, int length) {
  return DecryptImageData(out, in, length);
}
