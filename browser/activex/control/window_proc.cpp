// The control's window: worker reports become events here, on the window's thread, and the
// system's power messages are answered.

#include <algorithm>
#include <memory>

#include "control/events.h"
#include "control/pellacor_ctrl.h"
#include "control/window_messages.h"
#include "fvplatform/messages.h"
#include "fvplatform/window.h"

namespace {

constexpr WPARAM PBT_APMQUERYSUSPEND = 0x0000;
constexpr WPARAM PBT_APMSUSPEND = 0x0004;
constexpr LRESULT BROADCAST_QUERY_DENY = 0x424D5144;

// The control whose window is being made: WM_CREATE arrives before the handle is known.
thread_local CPellacorCtrl* tCreating = nullptr;

}  // namespace

LRESULT CPellacorCtrl::StaticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* control = reinterpret_cast<CPellacorCtrl*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (control == nullptr && tCreating != nullptr) {
    control = tCreating;
    control->m_hWnd = window;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(control));
  }
  if (control == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  return control->WindowProc(message, wParam, lParam);
}

bool CPellacorCtrl::CreateControlWindow(HWND parent, const RECT* position) {
  if (m_hWnd != nullptr) return true;
  fvplat::WindowSpec spec;
  spec.parent = parent;
  spec.width = position == nullptr ? 320 : std::max<LONG>(0, position->right - position->left);
  spec.height = position == nullptr ? 240 : std::max<LONG>(0, position->bottom - position->top);
  spec.proc = &CPellacorCtrl::StaticWindowProc;
  tCreating = this;
  HWND window = fvplat::CreatePlatformWindow(spec);
  tCreating = nullptr;
  m_hWnd = window;
  return window != nullptr;
}

void CPellacorCtrl::DestroyControlWindow() {
  m_fingerDlg.DestroyWindow();
  HWND window = m_hWnd.exchange(nullptr);
  if (window != nullptr) {
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    DestroyWindow(window);
  }
}

void CPellacorCtrl::PostText(UINT message, WPARAM wParam, const std::string& text) {
  auto heap = std::make_unique<std::string>(text);
  std::lock_guard<std::mutex> guard(m_textLock);
  HWND window = m_hWnd;
  if (window == nullptr) return;
  if (!PostMessageA(window, message, wParam, reinterpret_cast<LPARAM>(heap.get()))) return;
  m_textsInFlight.insert(heap.release());
}

std::unique_ptr<std::string> CPellacorCtrl::TakeText(LPARAM lParam) {
  auto* text = reinterpret_cast<std::string*>(lParam);
  std::lock_guard<std::mutex> guard(m_textLock);
  m_textsInFlight.erase(text);
  return std::unique_ptr<std::string>(text);
}

LRESULT CPellacorCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  using namespace pellacor;
  HWND window = m_hWnd;
  switch (message) {
    case WM_CREATE:
      return 0;
    case WM_POWERBROADCAST:
      if (wParam == PBT_APMQUERYSUSPEND) return BROADCAST_QUERY_DENY;
      if (wParam == PBT_APMSUSPEND && m_bHasOpenVein) ORVEK_CloseVeinDev();
      return DefWindowProcA(window, message, wParam, lParam);
    case 1044:
    case 1049:
      return 1;
    case WM_VEIN_MODEL:
    case WM_VEIN_RECOG: {
      const auto text = TakeText(lParam);
      if (wParam <= 3) {
        const DISPID first = message == WM_VEIN_MODEL ? kOnVeinModelStart : kOnVeinRecogStart;
        FireText(first + static_cast<DISPID>(wParam), text ? *text : std::string());
      }
      return 1;
    }
    case WM_TAKE_PICTURE:
    case WM_VEDIO_STEP: {
      const auto text = TakeText(lParam);
      FireText(message == WM_TAKE_PICTURE ? kOnTakePicture : kOnVedioStep,
               text ? *text : std::string());
      return 1;
    }
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}
