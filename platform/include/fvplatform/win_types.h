#pragma once
// The few Windows base types the system's interfaces are written in.

#include <cstdint>

using BOOL = int;
using UINT = std::uint32_t;
using DWORD = std::uint32_t;
using HMODULE = void*;
using HWND = struct HWND__*;  // a platform window
using HDC = struct HDC__*;    // a drawing surface
// void (*)() is the generic function pointer that casts to any other without a warning.
using FARPROC = void (*)();

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
