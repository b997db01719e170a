// Operations this build does not carry yet: each answers kNotAvailable after the export checks.

#include "api/operations.h"
#include "core/status.h"
#include "edges/finger_edges.h"
#include "preprocess/preprocess_image.h"

namespace veltrum {

int EnrollModel(const unsigned char*, const unsigned char*, const unsigned char*, unsigned char*) {
  return kNotAvailable;
}
int MatchImageToModel(const unsigned char*, const unsigned char*, int*) { return kNotAvailable; }
int MatchFeatureToModel(std::int8_t&, std::int8_t&, const unsigned char*, const unsigned char*,
                        int*) {
  return kNotAvailable;
}
int SearchModelsByImage(const unsigned char*, const int*, const unsigned char*, int*, int*) {
  return kNotAvailable;
}
int SearchModelsByFeature(const unsigned char*, const int*, const unsigned char*, int*, int*) {
  return kNotAvailable;
}

}  // namespace veltrum
