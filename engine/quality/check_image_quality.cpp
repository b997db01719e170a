// The quality check: saturation, then the finger's edges, then what lies between them.

#include "api/operations.h"
#include "core/engine_state.h"
#include "core/stage_observer.h"
#include "core/status.h"
#include "edges/finger_edges.h"
#include "quality/quality_check.h"
#include "quality/quality_measures.h"

namespace veltrum {

void FillQualityLimits(float* params, int mode) {
  if (params[2] == 0.0f) {
    if (mode == 0) params[2] = 0.081f;
    if (mode == 1) params[2] = 0.095f;
    if (mode == 2) params[2] = 0.082f;
  }
  if (params[0] == 0.0f) params[0] = 0.07f;
  if (params[1] == 0.0f) params[1] = 0.57f;
}

int CheckImageQuality(const unsigned char* image, float* params) {
  const int mode = EngineMode();
  FillQualityLimits(params, mode);
  params[3] = SaturatedFraction(image);
  if (params[3] > params[0]) return kOverexposed;

  std::int16_t upper[kEdgeColumns] = {}, lower[kEdgeColumns] = {};
  int found;
  if (mode == 0) {
    found = FindFingerEdgesMode0(image, upper, lower);
  } else if (mode == 1 || mode == 2) {
    found = FindFingerEdgesMode12(image, upper, lower);
  } else {
    return kNoFingerEdges;
  }
  ObserveStage("qualityEdges", "upper", upper, sizeof upper);
  ObserveStage("qualityEdges", "lower", lower, sizeof lower);
  if (found == kFailed) return kNoFingerEdges;
  if (found != kOk) return found;  // out of memory: no verdict on edges never searched
  return JudgeFingerEdges(image, params, upper, lower, mode);
}

}  // namespace veltrum
