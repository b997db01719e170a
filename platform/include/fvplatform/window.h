#pragma once
// Windows: each belongs to the thread that created it (its messages are run there), has a
// caption, a place on screen (shown, minimised, topmost) and a client area backed by a BGRA
// pixel surface. Any thread may draw into a window's surface through a drawing surface handle;
// drawing never waits on the owner thread. Handles are never reused.

#include <cstdint>
#include <string>
#include <vector>

#include "fvplatform/export.h"
#include "fvplatform/win_types.h"

inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOWMINIMIZED = 2;
inline constexpr int SW_SHOW = 5;
inline constexpr int SW_MINIMIZE = 6;
inline constexpr int SW_RESTORE = 9;

inline constexpr UINT SWP_NOSIZE = 0x0001;
inline constexpr UINT SWP_NOMOVE = 0x0002;
inline constexpr UINT SWP_NOACTIVATE = 0x0010;
inline constexpr UINT SWP_SHOWWINDOW = 0x0040;
inline constexpr UINT SWP_HIDEWINDOW = 0x0080;
inline const HWND HWND_TOPMOST = reinterpret_cast<HWND>(static_cast<std::intptr_t>(-1));
inline const HWND HWND_NOTOPMOST = reinterpret_cast<HWND>(static_cast<std::intptr_t>(-2));

struct WINDOWPLACEMENT {
  UINT length;
  UINT flags;
  UINT showCmd;  // SW_SHOWNORMAL, SW_SHOWMINIMIZED or SW_HIDE
  POINT ptMinPosition;
  POINT ptMaxPosition;
  RECT rcNormalPosition;
};

namespace fvplat {

struct WindowSpec {
  HWND parent = nullptr;
  std::string caption;
  int width = 0;  // client size in pixels, each at least 0
  int height = 0;
  WNDPROC proc = nullptr;  // null: the default window procedure
  int id = 0;              // control id inside the parent
  bool visible = true;
  int x = 0;  // place inside the parent, in pixels (drawing a dialog puts child dialogs there)
  int y = 0;
};

// A window owned by the calling thread. The procedure receives WM_CREATE before this returns.
FVPLAT_API HWND CreatePlatformWindow(const WindowSpec& spec);
// A window of the given client size, child of `parent` (may be null), owned by the caller.
FVPLAT_API HWND CreateChildWindow(HWND parent, int width, int height);

// True when the calling thread owns the window (its messages run here).
FVPLAT_API bool IsWindowThread(HWND window);
// The window's caption ("" for an unknown handle).
FVPLAT_API std::string WindowText(HWND window);
FVPLAT_API bool IsTopmost(HWND window);
// Where the window sits inside its parent (0, 0 for an unknown handle).
FVPLAT_API POINT WindowOrigin(HWND window);
// The windows whose parent is `window`, in creation order.
FVPLAT_API std::vector<HWND> ChildWindows(HWND window);
// The system menu's close item, as a person sees it.
FVPLAT_API void SetCloseGreyed(HWND window, bool greyed);
FVPLAT_API bool IsCloseGreyed(HWND window);

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
// Runs WM_DESTROY when called on the owner thread, then removes the window and its children:
// their posted messages and timers go, and sends still waiting for them fail.
FVPLAT_API BOOL DestroyWindow(HWND window);
FVPLAT_API BOOL GetClientRect(HWND window, RECT* rect);
// Marks (part of) the client area for repainting; rect null means all of it.
FVPLAT_API BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
// A drawing surface for the window's client area, valid until ReleaseDC even if the window is
// destroyed meanwhile; null for an unknown window.
FVPLAT_API HDC GetDC(HWND window);
FVPLAT_API int ReleaseDC(HWND window, HDC dc);

FVPLAT_API HWND GetParent(HWND window);
FVPLAT_API BOOL SetWindowTextA(HWND window, const char* text);
// Copies at most size - 1 bytes and a terminator; the number of bytes copied.
FVPLAT_API int GetWindowTextA(HWND window, char* text, int size);
// The first top-level window with this caption; the class name is not looked at.
FVPLAT_API HWND FindWindowA(const char* className, const char* caption);
// The previous visibility (non-zero when the window was visible).
FVPLAT_API BOOL ShowWindow(HWND window, int command);
FVPLAT_API BOOL IsWindowVisible(HWND window);
FVPLAT_API BOOL IsIconic(HWND window);
FVPLAT_API BOOL GetWindowPlacement(HWND window, WINDOWPLACEMENT* placement);
FVPLAT_API BOOL SetWindowPlacement(HWND window, const WINDOWPLACEMENT* placement);
// Only the z-order (topmost or not) and the show/hide flags are kept; position and size are not.
FVPLAT_API BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy,
                             UINT flags);
}
