#pragma once
// One acquisition step: grab, reduce to 320 x 240, mirror, preview, measure, and either accept
// the frame or move the exposure one step.

#include <cstdint>
#include <vector>

#include "context/device_context.h"

namespace dravex {

// Reads one raw frame under the device lock into `raw`; *bytes = the size the device sent.
bool grabRawFrame(FvDevContext& context, std::vector<std::uint8_t>& raw, int* bytes);

// 1 when the frame's finger-region level lies in the band, else 0 (after one exposure step).
// No finger: 0 with nothing done. A failed grab stores error 6, an unsupported raw size error 4;
// both reject the frame and leave `frame` and the exposure as they were.
int acquireFrame(FvDevContext* context, std::uint8_t* frame);

}  // namespace dravex
