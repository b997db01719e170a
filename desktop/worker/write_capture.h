#pragma once

#include <string>

#include "ports/device_access.h"

namespace torvane {

// Writes the bytes to `path`, made or cut to zero length, in pieces of 512 bytes each flushed.
// False (with a debugger line) when the file cannot be opened or a write fails.
bool writeFileBytes(const std::string& path, const Bytes& bytes);

}  // namespace torvane
