#pragma once
// Multimedia timers: a callback on a timer thread of its own, once or periodically, on the
// platform clock (a fake clock drives them in tests).

#include <cstdint>

#include "fvplatform/export.h"
#include "fvplatform/win_types.h"

using DWORD_PTR = std::uintptr_t;
using LPTIMECALLBACK = void (*)(UINT id, UINT message, DWORD_PTR user, DWORD_PTR reserved1,
                                DWORD_PTR reserved2);

inline constexpr UINT TIME_ONESHOT = 0x0000;
inline constexpr UINT TIME_PERIODIC = 0x0001;
inline constexpr UINT TIMERR_NOERROR = 0;
inline constexpr UINT MMSYSERR_INVALPARAM = 11;

extern "C" {
// The timer's id, 0 when it cannot be made (no callback, or a delay of 0).
FVPLAT_API UINT timeSetEvent(UINT delayMs, UINT resolutionMs, LPTIMECALLBACK callback,
                             DWORD_PTR user, UINT flags);
// Stops the timer. A tick running on the timer thread is waited for, so no tick runs after
// this returns; called from the tick itself it stops further ticks and returns at once.
FVPLAT_API UINT timeKillEvent(UINT id);
}
