#pragma once
// The messages the control posts to its own window, each with a heap text in lParam.

#include "fvplatform/win_types.h"

namespace pellacor {

inline constexpr UINT WM_VEIN_MODEL = 1134;
inline constexpr UINT WM_VEIN_RECOG = 1135;
inline constexpr UINT WM_TAKE_PICTURE = 1224;
inline constexpr UINT WM_VEDIO_STEP = 1912;

}  // namespace pellacor
