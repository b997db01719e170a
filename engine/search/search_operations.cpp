// The 1:N operations behind VLT_FV_Index and VLT_FV_IndexFeature.

#include "api/operations.h"
#include "core/status.h"
#include "model/possible_content.h"
#include "search/search_models.h"

namespace veltrum {
namespace {

// No templates: nothing to search and nothing to allocate.
bool EmptyList(const int* count, int* position, int* raw) {
  if (*count > 0) return false;
  *position = 0;
  *raw = 0;
  return true;
}

}  // namespace

int SearchModelsByImage(const unsigned char* models, const int* count, const unsigned char* image,
                        int* position, int* raw) {
  if (models == nullptr) return kNoTemplates;
  if (image == nullptr) return kNoImage;
  if (EmptyList(count, position, raw)) return kOk;
  VeinFeature probe;
  if (const int status = ExtractMatchFeature(image, reinterpret_cast<unsigned char*>(&probe));
      status != kOk) {
    return status;
  }
  return SearchModels(models, static_cast<std::size_t>(*count), probe, position, raw);
}

int SearchModelsByFeature(const unsigned char* models, const int* count,
                          const unsigned char* feature, int* position, int* raw, bool checked) {
  if (models == nullptr || feature == nullptr) return kNoTemplates;
  const VeinFeature probe = LoadFeature(feature);
  const bool featurePossible = !checked || FeaturePossible(probe);
  if (*count <= 0) {  // no template to check
    if (!featurePossible) return kImpossibleFeature;
    EmptyList(count, position, raw);
    return kOk;
  }
  return SearchModels(models, static_cast<std::size_t>(*count), probe, position, raw,
                      {checked, featurePossible});
}

}  // namespace veltrum
