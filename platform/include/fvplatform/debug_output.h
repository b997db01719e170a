#pragma once
// Debugger output goes to standard error unless a test installs its own sink.

#include <functional>
#include <string_view>

#include "fvplatform/export.h"

namespace fvplat {

using DebugSink = std::function<void(std::string_view)>;

// Installs `sink` (empty restores standard error) and returns the one it replaced.
FVPLAT_API DebugSink SetDebugOutputSink(DebugSink sink);

}  // namespace fvplat

extern "C" FVPLAT_API void OutputDebugStringA(const char* text);
