#pragma once

#include <cstdint>

#include "recording.h"

namespace fvreplay {

// The recording of everything in the simulator's trace (kept with whole data), for a device
// with the given ids.
Recording RecordingFromTrace(std::uint16_t vendor, std::uint16_t product);

}  // namespace fvreplay
