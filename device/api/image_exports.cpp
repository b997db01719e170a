// Image, template and match exports: blobs in, engine calls, results and last error out.
// The engine starts before any argument is looked at, so a refused first call fixes its mode too.

#include <cstring>
#include <vector>

#include "acquire/finger_level.h"
#include "api/decoded_image.h"
#include "api/last_error.h"
#include "common/log.h"
#include "dravex.h"
#include "veltrum.h"

using namespace dravex;

static_assert(kFrameWidth == kVltImageWidth && kFrameHeight == kVltImageHeight);
static_assert(kDrxModelBytes == kVltModelBytes && kDrxFeatureBytes == kVltFeatureBytes);

namespace {

// The engine's verdict on a decoded image, also left as the last error.
int JudgeQuality(const DecodedImage& image, float (&params)[6]) {
  const int status = VLT_FV_Quality(image.pixels.data(), kFrameHeight, kFrameWidth, params);
  setLastError(status);
  logMessage(0, "VLT_FV_QualityAssess r = %d\n", status);
  return status;
}

}  // namespace

int fv_quality(const unsigned char* blob, int length, int* level, int* quality) try {
  ensureEngineStarted();
  if (level == nullptr || quality == nullptr) return badArgument();
  const DecodedImage image = decodeArgument(blob, length);
  if (!image.ok) return 0;
  *level = fingerRegionLevel(image.pixels.data());
  float params[6] = {0.05f, 0.1f, 0.0f, 0.0f, 0.0f, 0.0f};
  *quality = JudgeQuality(image, params);
  return 1;
} catch (...) {
  return 0;
}

int fv_quality_ex(const unsigned char* blob, int length, int* out) try {
  ensureEngineStarted();
  if (out == nullptr) return badArgument();
  const DecodedImage image = decodeArgument(blob, length);
  if (!image.ok) return 0;
  float params[6] = {0.05f, 0.1f, 0.01f, 0.0f, 0.0f, 0.0f};
  out[0] = JudgeQuality(image, params);
  std::memcpy(out + 1, params + 3, 3 * sizeof(float));  // the three measures, as float bits
  return 1;
} catch (...) {
  return 0;
}

int fv_isEncry(const unsigned char* blob, int length) try {
  return decodeArgument(blob, length).ok ? 1 : 0;
} catch (...) {
  return 0;
}

int fv_extract_model(const unsigned char* blob1, int length1, const unsigned char* blob2,
                     int length2, const unsigned char* blob3, int length3, unsigned char* model,
                     unsigned* modelLength) try {
  ensureEngineStarted();
  if (model == nullptr || modelLength == nullptr) return badArgument();
  if (*modelLength < static_cast<unsigned>(kDrxModelBytes)) {
    *modelLength = kDrxModelBytes;
    setLastError(kErrModelBuffer);
    return 0;
  }
  const DecodedImage image1 = decodeArgument(blob1, length1);
  if (!image1.ok) {
    setLastError(kErrFirstImage);
    return 0;
  }
  // Later images are optional: one that is absent or does not decode is left out.
  const DecodedImage image2 = blob2 ? decodeArgument(blob2, length2) : DecodedImage{};
  const DecodedImage image3 = blob3 ? decodeArgument(blob3, length3) : DecodedImage{};
  *modelLength = kDrxModelBytes;
  int reserved = 0;
  const int status = VLT_FV_Enroll(image1.pixels.data(), image2.ok ? image2.pixels.data() : nullptr,
                                   image3.ok ? image3.pixels.data() : nullptr, kFrameHeight,
                                   kFrameWidth, &reserved, model);
  if (status == 0) return 1;
  setLastError(status);
  return 0;
} catch (...) {
  return 0;
}

int fv_extrace_match_feature(const unsigned char* blob, int length, unsigned char* feature,
                             unsigned* featureLength) try {
  ensureEngineStarted();
  if (featureLength == nullptr) return badArgument();
  if (feature == nullptr || blob == nullptr ||
      *featureLength < static_cast<unsigned>(kDrxFeatureBytes)) {
    return 0;
  }
  const DecodedImage image = decodeArgument(blob, length);
  if (!image.ok) return 0;
  const int status = VLT_FV_ExtractFeature(image.pixels.data(), kFrameHeight, kFrameWidth, feature);
  if (status != 0) {
    setLastError(status);
    return 0;
  }
  *featureLength = kDrxFeatureBytes;
  return 1;
} catch (...) {
  return 0;
}

int fv_match(const unsigned char* blob, int length, const unsigned char* model,
             float* similarity) try {
  ensureEngineStarted();
  if (model == nullptr || blob == nullptr || similarity == nullptr) return badArgument();
  const DecodedImage image = decodeArgument(blob, length);
  if (!image.ok) return badArgument();
  float s = 0;
  const int status = VLT_FV_Match(image.pixels.data(), kFrameHeight, kFrameWidth, model, &s);
  logMessage(0, "VLT_FV_Match %f.\n", static_cast<double>(s));
  *similarity = status == 0 ? s : -1.0f;
  return 1;
} catch (...) {
  return 0;
}

int fv_index(const unsigned char* models, int count, const unsigned char* blob, int length,
             int* position, float* similarity) try {
  ensureEngineStarted();
  if (models == nullptr || blob == nullptr || position == nullptr || similarity == nullptr) {
    return badArgument();
  }
  const DecodedImage image = decodeArgument(blob, length);
  if (!image.ok) return badArgument();
  *similarity = -1.0f;
  std::vector<unsigned char> feature(kDrxFeatureBytes);
  if (VLT_FV_ExtractFeature(image.pixels.data(), kFrameHeight, kFrameWidth, feature.data()) != 0) {
    return 0;
  }
  float s = 0;
  if (VLT_FV_IndexFeature(models, &count, feature.data(), position, &s) == 0) *similarity = s;
  logMessage(0, "VLT_FV_Match pos = %d   score =  %f.\n", *position,
             static_cast<double>(*similarity));
  return 1;
} catch (...) {
  return 0;
}

int fv_index_matchfeature(const unsigned char* models, int count, const unsigned char* feature,
                          unsigned featureLength, int* position, float* similarity) try {
  ensureEngineStarted();
  if (models == nullptr || feature == nullptr || position == nullptr || similarity == nullptr ||
      featureLength < static_cast<unsigned>(kDrxFeatureBytes)) {
    return badArgument();
  }
  *similarity = -1.0f;
  float s = 0;
  if (VLT_FV_IndexFeature(models, &count, feature, position, &s) == 0) *similarity = s;
  return 1;
} catch (...) {
  return 0;
}
