#pragma once
// The application: it only runs the main dialog, modally, until the process ends.

#include <string>

#include "ports/cloud_access.h"
#include "ports/device_access.h"

namespace torvane {

class CTorvaneApp {
 public:
  // Club and branch as the management page last gave them, for the device number dialog.
  int m_clubId = 0;
  int m_branchId = 0;

  // Runs the dialog on this thread until its window is gone or the thread's queue is told to
  // quit; writes the dialog as a PNG to `picturePath` at the end when it is not empty.
  int InitInstance(DeviceAccess& device, CloudAccess& cloud, const std::string& workFolder,
                   const std::string& picturePath);
};

}  // namespace torvane
