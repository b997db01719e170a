#include "fvplatform/dialog.h"

#include <algorithm>

#include "window_registry.h"

namespace fvplat {

using namespace detail;

namespace {

LRESULT controlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == PBM_SETRANGE || message == PBM_SETPOS || message == PBM_GETPOS) {
    std::lock_guard<std::mutex> guard(registry().lock);
    std::shared_ptr<Window> w = findLocked(window);
    if (!w || !w->control) return 0;
    ControlState& c = *w->control;
    if (message == PBM_SETRANGE) {
      c.progressMin = static_cast<int>(LOWORD(static_cast<WPARAM>(lParam)));
      c.progressMax = static_cast<int>(HIWORD(static_cast<WPARAM>(lParam)));
      return 0;
    }
    int previous = c.progress;
    if (message == PBM_SETPOS) c.progress = std::clamp(static_cast<int>(wParam), c.progressMin, c.progressMax);
    return previous;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// Runs `change` on the control's state under the registry lock; false for a non-control.
template <class F>
bool withControl(HWND control, F&& change) {
  std::lock_guard<std::mutex> guard(registry().lock);
  std::shared_ptr<Window> w = findLocked(control);
  if (!w || !w->control) return false;
  change(*w, *w->control);
  return true;
}

}  // namespace

HWND CreateControl(HWND dialog, const ControlSpec& spec) {
  if (!IsWindow(dialog)) return nullptr;
  WindowSpec window;
  window.parent = dialog;
  window.caption = spec.text;
  window.width = spec.width;
  window.height = spec.height;
  window.proc = &controlProc;
  window.id = spec.id;
  window.visible = spec.visible;
  HWND handle = CreatePlatformWindow(window);
  {
    std::lock_guard<std::mutex> guard(registry().lock);
    if (std::shared_ptr<Window> w = findLocked(handle)) {
      auto state = std::make_shared<ControlState>();
      state->id = spec.id;
      state->kind = spec.kind;
      state->rect = RECT{spec.x, spec.y, spec.x + std::max(spec.width, 0), spec.y + std::max(spec.height, 0)};
      state->centred = spec.centred;
      state->bitmap = spec.bitmap;
      w->control = std::move(state);
    }
  }
  return handle;
}

bool ReadControl(HWND control, ControlState* state) {
  if (state == nullptr) return false;
  return withControl(control, [&](Window& w, ControlState& c) {
    *state = c;
    state->text = w.caption;
    state->visible = w.visible;
  });
}

void SetControlFont(HWND control, const Font& font) {
  withControl(control, [&](Window&, ControlState& c) { c.font = font; });
}

void SetControlBitmap(HWND control, int bitmap) {
  withControl(control, [&](Window&, ControlState& c) { c.bitmap = bitmap; });
}

void SetControlTextColour(HWND control, std::uint32_t colour) {
  withControl(control, [&](Window&, ControlState& c) { c.textColour = colour; });
}

bool ClickButton(HWND button) {
  ControlState state;
  if (!ReadControl(button, &state)) return false;
  if (state.kind != ControlKind::Button && state.kind != ControlKind::BitmapButton) return false;
  LRESULT ignored = 0;
  return TrySendMessage(GetParent(button), WM_COMMAND,
                        MAKEWPARAM(static_cast<unsigned>(state.id), BN_CLICKED),
                        reinterpret_cast<LPARAM>(button), &ignored);
}

bool TypeText(HWND edit, const std::string& text) {
  ControlState state;
  if (!ReadControl(edit, &state) || state.kind != ControlKind::Edit) return false;
  SetWindowTextA(edit, text.c_str());
  LRESULT ignored = 0;
  return TrySendMessage(GetParent(edit), WM_COMMAND,
                        MAKEWPARAM(static_cast<unsigned>(state.id), EN_UPDATE),
                        reinterpret_cast<LPARAM>(edit), &ignored);
}

}  // namespace fvplat

using namespace fvplat;
using namespace fvplat::detail;

HWND GetDlgItem(HWND dialog, int id) {
  Registry& r = registry();
  std::lock_guard<std::mutex> guard(r.lock);
  if (!findLocked(dialog)) return nullptr;
  for (std::uintptr_t key : r.order) {
    const std::shared_ptr<Window>& w = r.windows.at(key);
    if (w->parent == keyOf(dialog) && w->id == id) return handleOf(key);
  }
  return nullptr;
}

int GetDlgCtrlID(HWND control) {
  std::lock_guard<std::mutex> guard(registry().lock);
  std::shared_ptr<Window> w = findLocked(control);
  return w ? w->id : 0;
}

BOOL UpdateWindow(HWND window) { return InvalidateRect(window, nullptr, FALSE); }
