#pragma once
// Status codes of the engine's operations.

#include <cstdint>

namespace veltrum {

enum Status : std::int32_t {
  kOk = 0,
  kNotInitialised = 1001,
  kNoImage = 3001,
  kPreprocessFailed = 3002,
  kBadImageSize = 3003,
  kOutOfMemory = 3012,
  kFingerTooSmall = 3021,
  kNoFingerEdges = 3102,
  kNoTemplates = 4001,
  kFailed = -1,
};

}  // namespace veltrum
