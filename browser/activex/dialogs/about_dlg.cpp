#include "dialogs/about_dlg.h"

#include <cmath>
#include <cstdint>
#include <vector>

#include "fvplatform/dialog.h"
#include "fvplatform/message_box.h"
#include "fvplatform/modal_dialog.h"
#include "fvplatform/window.h"

namespace {

constexpr int kWidthUnits = 234, kHeightUnits = 55;

LRESULT AboutProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED &&
      (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    EndDialog(window, LOWORD(wParam));
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND AddControl(HWND dialog, int id, fvplat::ControlKind kind, const std::string& text, int x,
                int y, int width, int height) {
  fvplat::ControlSpec spec;
  spec.id = id;
  spec.kind = kind;
  spec.text = text;
  spec.x = fvplat::DialogUnitsX(x);
  spec.y = fvplat::DialogUnitsY(y);
  spec.width = width;
  spec.height = height;
  spec.centred = kind == fvplat::ControlKind::Button;
  HWND control = fvplat::CreateControl(dialog, spec);
  fvplat::SetControlFont(control, fvplat::Font{"MS Shell Dlg", 8});
  return control;
}

// The control's icon: a finger lying on the sensor's blue window, its veins in red.
std::vector<std::uint8_t> IconPixels() {
  const int n = CAboutDlg::kIconSize;
  std::vector<std::uint8_t> bgra(static_cast<std::size_t>(n) * n * 4);
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) {
      std::uint8_t* p = &bgra[(static_cast<std::size_t>(y) * n + x) * 4];
      const double fx = (x - 15.5) / 6.0, fy = (y - 17.0) / 14.0;
      const bool finger = fx * fx + fy * fy <= 1.0;
      const bool vein =
          finger && (x == 15 + std::lround(2 * std::sin(y / 4.0)) || y == 12 + (x - 12) / 2);
      const bool border = x == 0 || y == 0 || x == n - 1 || y == n - 1;
      std::uint8_t b = 180, g = 110, r = 40;
      if (border) b = 120, g = 70, r = 20;
      if (finger) b = 225, g = 235, r = 245;
      if (vein) b = 60, g = 60, r = 200;
      p[0] = b;
      p[1] = g;
      p[2] = r;
      p[3] = 255;
    }
  }
  return bgra;
}

}  // namespace

std::string CAboutDlg::AboutText(const std::string& version) {
  return "Pellacor Control，版本 " + version;
}

int CAboutDlg::DoModal(const std::string& version) {
  fvplat::WindowSpec spec;
  spec.caption = kCaption;
  spec.width = fvplat::DialogUnitsX(kWidthUnits);
  spec.height = fvplat::DialogUnitsY(kHeightUnits);
  spec.proc = &AboutProc;
  HWND dialog = fvplat::CreatePlatformWindow(spec);
  if (dialog == nullptr) return -1;
  HWND icon =
      AddControl(dialog, kIconId, fvplat::ControlKind::Picture, "", 10, 10, kIconSize, kIconSize);
  const std::vector<std::uint8_t> pixels = IconPixels();
  HDC dc = GetDC(icon);
  fvplat::CopyToSurface(dc, 0, 0, kIconSize, kIconSize, pixels.data());
  ReleaseDC(icon, dc);
  AddControl(dialog, kTextId, fvplat::ControlKind::Static, AboutText(version), 40, 10,
             fvplat::DialogUnitsX(119), fvplat::DialogUnitsY(8));
  AddControl(dialog, IDOK, fvplat::ControlKind::Button, "确定", 177, 7, fvplat::DialogUnitsX(50),
             fvplat::DialogUnitsY(14));
  const int result = fvplat::RunModalDialog(dialog);
  DestroyWindow(dialog);
  return result;
}
