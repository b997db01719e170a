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
  kNullArgument = 4001,         // a buffer other than the image is missing
  kImpossibleTemplate = 4002,   // a template or stored form holds what enrolment cannot write
  kImpossibleFeature = 4003,    // a feature holds what extraction cannot write
  kFailed = -1,
};

}  // namespace veltrum
