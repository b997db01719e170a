#include "dialog/torvane_dlg.h"

namespace torvane {

void placeWindow(HWND window, int showCommand) {
  WINDOWPLACEMENT placement{};
  placement.length = sizeof placement;
  GetWindowPlacement(window, &placement);
  placement.showCmd = static_cast<UINT>(showCommand);
  SetWindowPlacement(window, &placement);
}

void CTorvaneDlg::OnTimer(UINT_PTR id) {
  if (id == kTimerLed) {
    m_device.setLed(1, 0);
    KillTimer(m_hWnd, kTimerLed);
    return;
  }
  resetUi();
  placeWindow(FindWindowA(nullptr, kDialogCaption), SW_SHOWMINIMIZED);
  update([](DialogFields& f) { f.m_resultHighlight = 0; });
  KillTimer(m_hWnd, id);
}

void CTorvaneDlg::OnButton(int id) {
  switch (id) {
    case kIdBack:
      resetUi();
      break;
    case kIdRestart:
      clearCaptureBuffers();
      update([](DialogFields& f) { f.m_promptError = 0; });
      showStatusLines("请放置手指", "采集中...");
      break;
    case kIdChangeDeviceId:
      if (m_hooks.showDeviceNumberDialog) m_hooks.showDeviceNumberDialog();
      ShowWindow(m_hWnd, SW_HIDE);
      break;
    case kIdRevealChange:
      show(kIdChangeDeviceId, !IsWindowVisible(item(kIdChangeDeviceId)));
      break;
    default:
      break;
  }
}

std::uint32_t CTorvaneDlg::OnCtlColor(HWND control) const {
  DialogFields f = fields();
  const int id = GetDlgCtrlID(control);
  if (id == kIdPrompt && f.m_promptError == 1) return RGB(255, 0, 0);
  if (id == kIdResult && f.m_resultHighlight == 1) return RGB(255, 0, 0);
  return RGB(0, 0, 0);
}

}  // namespace torvane
