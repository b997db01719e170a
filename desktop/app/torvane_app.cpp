#include "app/torvane_app.h"

#include "dialog/bitmaps.h"
#include "dialog/torvane_dlg.h"

namespace torvane {

int CTorvaneApp::InitInstance(DeviceAccess& device, CloudAccess& cloud, const std::string& workFolder,
                              const std::string& picturePath) {
  CTorvaneDlg dialog(device, cloud);
  dialog.DoModal(workFolder);
  if (!picturePath.empty()) writeDialogPicture(dialog, picturePath);
  return 0;
}

}  // namespace torvane
