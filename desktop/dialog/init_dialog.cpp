#include <filesystem>
#include <system_error>

#include "dialog/torvane_dlg.h"
#include "fvplatform/module.h"
#include "worker/capture_worker.h"

namespace torvane {

void CTorvaneDlg::OnInitDialog() {
  // 1. The close item is greyed.
  fvplat::SetCloseGreyed(m_hWnd, true);
  // 2.
  mainDialog = this;
  // 3. Controls, bitmaps and fonts.
  createControls();
  fvplat::SetControlBitmap(item(kIdBack), 132);
  fvplat::SetControlBitmap(item(kIdRestart), 134);
  fvplat::SetControlBitmap(item(kIdChangeDeviceId), 140);
  show(kIdChangeDeviceId, false);
  fvplat::SetControlBitmap(item(kIdRevealChange), 139);
  const fvplat::Font font12{"微软雅黑", 12}, font13{"微软雅黑", 13}, font10{"微软雅黑", 10};
  fvplat::SetControlFont(item(kIdName), font12);
  fvplat::SetControlFont(item(kIdStatus), font13);
  fvplat::SetControlFont(item(kIdResult), font13);
  fvplat::SetControlFont(item(kIdPrompt), font10);
  fvplat::SetControlFont(item(kIdDeviceLine), font10);
  SendMessageA(item(kIdProgress), PBM_SETPOS, 0, 0);
  show(kIdProgress, false);
  show(kIdDeviceLine, false);
  show(kIdChangeDeviceId, false);
  show(kIdRevealChange, false);
  // 4.
  resetUi();
  // 5. and 6. (the HTTP client library and the device number dialog) belong to their own parts.
  // 7.
  update([](DialogFields& f) { f.m_bStop = false; });
  // 8. Folders beside the work folder.
  std::string programFolder = fvplat::ProgramDirectory();
  update([&](DialogFields& f) {
    f.m_programFolder = programFolder;
    f.m_captureFolder = "model";
  });
  for (const char* folder : {"image", "auth", "model"}) {
    std::error_code ignored;
    std::filesystem::create_directories(workPath(folder), ignored);
  }
  // 9. and 10. The member photo and the local HTTP server.
  if (m_hooks.startLocalServer) m_hooks.startLocalServer();
  // 12. Binding the library happens in the device access, before the worker reads it.
  m_device.load();
  // 13. The worker, running before the update check so that nothing the check waits for holds
  // it up.
  m_worker = std::make_unique<CaptureWorker>(*this);
  if (m_startWorker) m_workerThread = std::thread([this] { m_worker->run(); });
  // 14.
  if (m_hooks.checkForUpdate) m_hooks.checkForUpdate();
}

}  // namespace torvane
