#pragma once
// The system's locale id: from a test's choice, else from the environment's language
// (zh_CN 2052, zh_TW / zh_HK 1028, anything else 1033).

#include "fvplatform/export.h"
#include "fvplatform/win_types.h"

using LCID = DWORD;

namespace fvplat {

// A test's locale id; 0 goes back to the environment.
FVPLAT_API void SetSystemLcid(LCID lcid);

}  // namespace fvplat

extern "C" FVPLAT_API LCID GetSystemDefaultLCID();
