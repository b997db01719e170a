#pragma once
// Child windows with a client area backed by a BGRA pixel surface. Any thread may draw into a
// window's surface through a drawing surface handle; drawing never waits on the owner thread.

#include <cstdint>
#include <vector>

#include "fvplatform/export.h"
#include "fvplatform/win_types.h"

using LONG = std::int32_t;

struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};

namespace fvplat {

// A window of the given client size (each at least 0), child of `parent` (may be null).
FVPLAT_API HWND CreateChildWindow(HWND parent, int width, int height);

// What a test reads back from a window: its pixels (4 bytes a pixel, B G R A, row by row), how
// often it was invalidated, and whether the last invalidation asked for an erase.
struct SurfaceSnapshot {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> bgra;
  int invalidations = 0;
  bool erase = false;
};
// An empty snapshot for a handle that names no window.
FVPLAT_API SurfaceSnapshot ReadSurface(HWND window);

// The size of the surface behind `dc`; false for an unknown handle.
FVPLAT_API bool SurfaceSize(HDC dc, int* width, int* height);

// Copies a width x height BGRA image to (x, y) of the surface behind `dc`, clipped to it.
// False for an unknown handle.
FVPLAT_API bool CopyToSurface(HDC dc, int x, int y, int width, int height,
                              const std::uint8_t* bgra);

}  // namespace fvplat

extern "C" {
FVPLAT_API BOOL IsWindow(HWND window);
FVPLAT_API BOOL DestroyWindow(HWND window);
FVPLAT_API BOOL GetClientRect(HWND window, RECT* rect);
// Marks (part of) the client area for repainting; rect null means all of it.
FVPLAT_API BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
// A drawing surface for the window's client area, valid until ReleaseDC even if the window is
// destroyed meanwhile; null for an unknown window.
FVPLAT_API HDC GetDC(HWND window);
FVPLAT_API int ReleaseDC(HWND window, HDC dc);
}
