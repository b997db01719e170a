// Operations this build does not carry yet: each answers kNotAvailable after the export checks.

#include "api/operations.h"
#include "core/status.h"
#include "edges/finger_edges.h"
#include "preprocess/preprocess_image.h"

namespace veltrum {

int CheckImageQuality(const unsigned char*, float*) { return kNotAvailable; }
int AssessQuality(float&, const unsigned char*, float&, float) { return kNotAvailable; }

}  // namespace veltrum
