#pragma once
// The application: it only runs the main dialog, modally, until the process ends.

#include <atomic>
#include <string>

#include "ports/cloud_access.h"
#include "ports/device_access.h"

namespace torvane {

class CTorvaneApp {
 public:
  // Club and branch as the management page last gave them ("getMemberSignIn"), for the device
  // number dialog; written by the local HTTP thread, read on the user-interface thread.
  std::atomic<int> m_clubId{0};
  std::atomic<int> m_branchId{0};

  // Runs the dialog, with the device number dialog, the member photo, the local HTTP interface
  // and the update check, on this thread until its window is gone or the thread's queue is
  // told to quit. `picturePath`, when not empty, names the PNG the dialog is drawn into after
  // each outcome it shows and when it ends.
  int InitInstance(DeviceAccess& device, CloudAccess& cloud, const std::string& workFolder,
                   const std::string& picturePath);
};

// The one application object of the process.
CTorvaneApp& theApp();

}  // namespace torvane
