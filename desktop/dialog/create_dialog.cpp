#include <filesystem>
#include <vector>

#include "dialog/torvane_dlg.h"
#include "worker/capture_worker.h"

namespace torvane {

CTorvaneDlg* mainDialog = nullptr;

CTorvaneDlg::CTorvaneDlg(DeviceAccess& device, CloudAccess& cloud, DialogHooks hooks)
    : m_device(device), m_cloud(cloud), m_hooks(std::move(hooks)) {}

CTorvaneDlg::~CTorvaneDlg() {
  // The worker runs for the process life; a dialog that goes away takes it along first.
  update([](DialogFields& f) { f.m_bStop = true; });
  if (m_workerThread.joinable()) m_workerThread.join();
  if (m_hWnd != nullptr) {
    SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, 0);
    DestroyWindow(m_hWnd);
  }
  if (mainDialog == this) mainDialog = nullptr;
}

bool CTorvaneDlg::Create(const std::string& workFolder, bool startWorker) {
  m_workFolder = workFolder;
  m_startWorker = startWorker;
  fvplat::WindowSpec spec;
  spec.caption = kDialogCaption;
  spec.width = fvplat::DialogUnitsX(419);
  spec.height = fvplat::DialogUnitsY(218);
  spec.proc = &CTorvaneDlg::windowProc;
  m_hWnd = fvplat::CreatePlatformWindow(spec);
  if (m_hWnd == nullptr) return false;
  SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  OnInitDialog();
  return true;
}

int CTorvaneDlg::DoModal(const std::string& workFolder) {
  if (!Create(workFolder, true)) return -1;
  MSG msg;
  while (IsWindow(m_hWnd) && GetMessageA(&msg, nullptr, 0, 0)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}

std::string CTorvaneDlg::workPath(const std::string& relative) const {
  return (std::filesystem::path(m_workFolder) / relative).string();
}

DialogFields CTorvaneDlg::fields() const {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_fields;
}

LRESULT CTorvaneDlg::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<CTorvaneDlg*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (self != nullptr) {
    switch (message) {
      case WM_TIMER: self->OnTimer(wParam); return 0;
      case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) self->OnButton(static_cast<int>(LOWORD(wParam)));
        return 0;
      case WM_CLOSE: return 0;  // the close item is greyed: the dialog stays
      default: break;
    }
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void CTorvaneDlg::show(int id, bool visible) { ShowWindow(item(id), visible ? SW_SHOW : SW_HIDE); }

void CTorvaneDlg::setText(int id, const std::string& text) { SetWindowTextA(item(id), text.c_str()); }

void CTorvaneDlg::repaint() {
  UpdateWindow(m_hWnd);
  // Painting fills the client area white: a photo drawn before is gone until drawn again.
  static const std::vector<std::uint8_t> blank(kPhotoSize * kPhotoSize * 4, 0);
  HDC dc = GetDC(m_hWnd);
  fvplat::CopyToSurface(dc, kPhotoX, kPhotoY, kPhotoSize, kPhotoSize, blank.data());
  ReleaseDC(m_hWnd, dc);
}

void CTorvaneDlg::outcomeShown() const {
  if (m_hooks.outcomeShown) m_hooks.outcomeShown(*this);
}

void CTorvaneDlg::showPhoto(const std::string& url, int id) {
  if (m_hooks.showPhoto) m_hooks.showPhoto(m_hWnd, url, kPhotoX, kPhotoY, kPhotoSize, kPhotoSize, id);
}

}  // namespace torvane
