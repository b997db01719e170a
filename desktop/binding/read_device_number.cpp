#include "binding/device_calls.h"
#include "binding/device_library.h"
#include "binding/entry_points.h"

namespace torvane {

int readDeviceNumber() {
  int number = -1;
  if (getDeviceLibrary() == nullptr) return number;
  if (const auto getno = entry::fvdev_getno.get()) getno(&number);
  return number;
}

}  // namespace torvane
