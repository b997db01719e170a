#pragma once
// Window messages: one queue per thread. A posted message waits in the owner thread's queue
// until its pump takes it; a message sent from another thread blocks the sender until the
// owner's pump (or the owner's own wait in a send) has run it. Timers run on the platform clock
// and come out of the pump as WM_TIMER when due, so a fake clock drives them in tests.

#include "fvplatform/export.h"
#include "fvplatform/win_types.h"

inline constexpr UINT WM_NULL = 0x0000;
inline constexpr UINT WM_CREATE = 0x0001;
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_PAINT = 0x000F;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_QUIT = 0x0012;
inline constexpr UINT WM_ERASEBKGND = 0x0014;
inline constexpr UINT WM_SHOWWINDOW = 0x0018;
inline constexpr UINT WM_QUERYDRAGICON = 0x0037;
inline constexpr UINT WM_INITDIALOG = 0x0110;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_SYSCOMMAND = 0x0112;
inline constexpr UINT WM_TIMER = 0x0113;
inline constexpr UINT WM_CTLCOLOR = 0x0019;
inline constexpr UINT WM_POWERBROADCAST = 0x0218;
inline constexpr UINT WM_USER = 0x0400;

inline constexpr UINT BN_CLICKED = 0;
inline constexpr UINT EN_UPDATE = 0x0400;
inline constexpr WPARAM SC_CLOSE = 0xF060;

inline constexpr int GWLP_WNDPROC = -4;
inline constexpr int GWLP_USERDATA = -21;

inline constexpr UINT PM_NOREMOVE = 0x0000;
inline constexpr UINT PM_REMOVE = 0x0001;

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};

using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);

inline constexpr WPARAM MAKEWPARAM(unsigned low, unsigned high) {
  return static_cast<WPARAM>((low & 0xFFFFu) | ((high & 0xFFFFu) << 16));
}
inline constexpr unsigned LOWORD(WPARAM value) { return static_cast<unsigned>(value & 0xFFFFu); }
inline constexpr unsigned HIWORD(WPARAM value) {
  return static_cast<unsigned>((value >> 16) & 0xFFFFu);
}

namespace fvplat {

// A send that says whether it was delivered: false when the window is gone, its thread has
// ended, it refuses sends, or it was destroyed (or began refusing) while the sender waited.
FVPLAT_API bool TrySendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                               LRESULT* result);

// While refused, sends from other threads fail at once, and those already waiting fail now.
// The owner refuses before it waits for a thread that may be blocked sending to it.
// Sends from the owner thread itself still run directly.
FVPLAT_API void SetSendsRefused(HWND window, bool refused);

// Runs everything the calling thread's queue holds now (sent messages, posted messages, due
// timers) without waiting; the number of messages dispatched. A WM_QUIT stays queued.
FVPLAT_API int PumpPending();

}  // namespace fvplat

extern "C" {
// False when the window is gone or its thread has ended: the sender still owns what it passed.
// A null window posts to the calling thread's own queue.
FVPLAT_API BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// 0 when the message could not be delivered (see fvplat::TrySendMessage).
FVPLAT_API LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Waits for a message; 0 on WM_QUIT. Sent messages are run inside. Window filters are ignored.
FVPLAT_API BOOL GetMessageA(MSG* msg, HWND window, UINT first, UINT last);
FVPLAT_API BOOL PeekMessageA(MSG* msg, HWND window, UINT first, UINT last, UINT remove);
FVPLAT_API BOOL TranslateMessage(const MSG* msg);
FVPLAT_API LRESULT DispatchMessageA(const MSG* msg);
FVPLAT_API void PostQuitMessage(int exitCode);

FVPLAT_API LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
FVPLAT_API LRESULT CallWindowProcA(WNDPROC proc, HWND window, UINT message, WPARAM wParam,
                                   LPARAM lParam);
// GWLP_WNDPROC (subclassing: the previous procedure is returned) and GWLP_USERDATA.
FVPLAT_API LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value);
FVPLAT_API LONG_PTR GetWindowLongPtrA(HWND window, int index);

// A timer of the window's thread; setting an id again restarts its period. Null window: a
// thread timer with a fresh id. Result: the id, or 0 for an unknown window.
FVPLAT_API UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapseMs, TIMERPROC proc);
FVPLAT_API BOOL KillTimer(HWND window, UINT_PTR id);
}
