#pragma once

#include "fvplatform/usb_requests.h"
#include "sim_state.h"

namespace simdev {

// Runs one control request on the device. `data` holds the request's wLength bytes: read for
// OUT, written for IN with the answer's size in *answered. False when the device stalls it.
bool HandleControl(World& world, SimDevice& device, int deviceIndex,
                   const fvplat::usb::SetupPacket& setup, std::uint8_t* data,
                   std::uint32_t* answered);

}  // namespace simdev
