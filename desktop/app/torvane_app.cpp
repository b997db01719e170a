#include "app/torvane_app.h"

#include <memory>

#include "cloud/http_post.h"
#include "dialog/bitmaps.h"
#include "dialog/torvane_dlg.h"
#include "number_dialog/set_device_id_dlg.h"
#include "photo/member_photo.h"
#include "server/user_action.h"
#include "update/update_check.h"

namespace torvane {

CTorvaneApp& theApp() {
  static CTorvaneApp app;
  return app;
}

int CTorvaneApp::InitInstance(DeviceAccess& device, CloudAccess& cloud, const std::string& workFolder,
                              const std::string& picturePath) {
  CSetDeviceIdDlg numberDialog(device, cloud);
  numberDialog.Create();
  MemberPhoto photo(workFolder);
  auto server = std::make_unique<HttpServer>(programServerSettings());
  std::unique_ptr<Updater> updater;

  DialogHooks hooks;
  hooks.showPhoto = [&photo](HWND target, const std::string& url, int x, int y, int w, int h, int id) {
    photo.show(target, url, x, y, w, h, id);
  };
  hooks.deviceNumberDialogVisible = [&numberDialog] { return numberDialog.visible(); };
  hooks.showDeviceNumberDialog = [&numberDialog] { numberDialog.show(); };
  hooks.startLocalServer = [&server] { runLocalApiServer(*server); };
  hooks.checkForUpdate = [&updater] { updater->checkInBackground(); };
  hooks.outcomeShown = [&picturePath](const CTorvaneDlg& dialog) {
    if (!picturePath.empty()) writeDialogPicture(dialog, picturePath);
  };
  CTorvaneDlg dialog(device, cloud, hooks);
  updater = std::make_unique<Updater>(dialog, programUpdateHooks());
  dialog.DoModal(workFolder);
  // What reaches into the dialog from other threads ends before the dialog does, and none of
  // it waits on the network meanwhile.
  endCloudRequests();
  server.reset();
  updater.reset();
  photo.stopDownloads();
  if (!picturePath.empty()) writeDialogPicture(dialog, picturePath);
  return 0;
}

}  // namespace torvane
