#pragma once
// Dialog controls without a screen: child windows of a dialog with an id, a kind, a text,
// visibility, a font, a picture and a progress value that tests read back. A click or an edit is
// sent to the dialog as WM_COMMAND, as a person's would be.

#include <string>

#include "fvplatform/export.h"
#include "fvplatform/messages.h"
#include "fvplatform/window.h"

inline constexpr UINT PBM_SETRANGE = WM_USER + 1;
inline constexpr UINT PBM_SETPOS = WM_USER + 2;
inline constexpr UINT PBM_GETPOS = WM_USER + 8;

namespace fvplat {

enum class ControlKind { Static, Picture, Button, BitmapButton, Progress, Edit };

struct Font {
  std::string face;
  int points = 0;  // 0: the dialog's own font
};

struct ControlSpec {
  int id = 0;
  ControlKind kind = ControlKind::Static;
  std::string text;
  int x = 0, y = 0, width = 0, height = 0;  // pixels inside the dialog
  bool visible = true;
  bool centred = false;  // text centred in the control
  int bitmap = 0;        // picture resource id, 0 for none
};

struct ControlState {
  int id = 0;
  ControlKind kind = ControlKind::Static;
  std::string text;
  RECT rect{0, 0, 0, 0};  // inside the dialog
  bool visible = false;
  bool centred = false;
  Font font;
  int bitmap = 0;
  int progressMin = 0, progressMax = 100, progress = 0;
  std::uint32_t textColour = 0;  // 0x00BBGGRR, as the dialog last chose it
};

// Dialog units to pixels for the dialog font this layer assumes (base units 6 x 13).
inline int DialogUnitsX(int units) { return units * 3 / 2; }
inline int DialogUnitsY(int units) { return units * 13 / 8; }

// A control owned by the calling thread, child of `dialog`; its procedure handles the
// progress messages and passes everything else to the default procedure.
FVPLAT_API HWND CreateControl(HWND dialog, const ControlSpec& spec);
// False for a handle that names no control.
FVPLAT_API bool ReadControl(HWND control, ControlState* state);
FVPLAT_API void SetControlFont(HWND control, const Font& font);
FVPLAT_API void SetControlBitmap(HWND control, int bitmap);
FVPLAT_API void SetControlTextColour(HWND control, std::uint32_t colour);

// A person's click on a button, sent to its dialog as WM_COMMAND (id, BN_CLICKED).
FVPLAT_API bool ClickButton(HWND button);
// A person's typing into an edit: the text changes, then EN_UPDATE is sent to the dialog.
FVPLAT_API bool TypeText(HWND edit, const std::string& text);

}  // namespace fvplat

extern "C" {
FVPLAT_API HWND GetDlgItem(HWND dialog, int id);
FVPLAT_API int GetDlgCtrlID(HWND control);
// Paints at once: here it counts as an invalidation of the window.
FVPLAT_API BOOL UpdateWindow(HWND window);
}

inline constexpr std::uint32_t RGB(int r, int g, int b) {
  return static_cast<std::uint32_t>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
