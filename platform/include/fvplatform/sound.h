#pragma once
// Voice prompts: PlaySoundA hands the sound's name and flags to a sink, silent by default, so
// tests record what would have been played.

#include <functional>
#include <string_view>

#include "fvplatform/export.h"
#include "fvplatform/win_types.h"

inline constexpr DWORD SND_ASYNC = 0x0001;
inline constexpr DWORD SND_NODEFAULT = 0x0002;

namespace fvplat {

using SoundSink = std::function<void(std::string_view sound, DWORD flags)>;

// Installs `sink` (empty: silent) and returns the one it replaced.
FVPLAT_API SoundSink SetSoundSink(SoundSink sink);

}  // namespace fvplat

extern "C" FVPLAT_API BOOL PlaySoundA(const char* sound, HMODULE module, DWORD flags);
