#include "binding/device_calls.h"

namespace torvane {

std::array<Bytes, 3> enrolImages;
Bytes modelBuffer;

}  // namespace torvane
