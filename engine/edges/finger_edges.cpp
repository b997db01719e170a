#include "edges/finger_edges.h"

#include "core/engine_state.h"
#include "core/status.h"

namespace veltrum {

int FindFingerEdges(const std::uint8_t* image, std::int16_t* upper, std::int16_t* lower) {
  switch (EngineMode()) {
    case 0:
      return FindFingerEdgesMode0(image, upper, lower);
    case 1:
    case 2:
      return FindFingerEdgesMode12(image, upper, lower);
    default:
      return kFailed;
  }
}

}  // namespace veltrum
