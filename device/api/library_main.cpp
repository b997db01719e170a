// Start and stop of the library with its module: the engine comes up at load and goes down at
// unload, after every open device has been closed and its worker joined.

#include <mutex>

#include "common/log.h"
#include "context/device_context.h"
#include "veltrum.h"

namespace dravex {
namespace {

std::mutex g_startLock;
bool g_started = false;  // guarded by g_startLock

__attribute__((constructor)) void onLibraryLoad() {
  std::lock_guard<std::mutex> lock(g_startLock);
  if (g_started) return;
  logMessage(0, "lib usb init.\n");
  VLT_FV_Init(0);
  g_started = true;
}

__attribute__((destructor)) void onLibraryUnload() {
  std::lock_guard<std::mutex> lock(g_startLock);
  if (!g_started) return;
  logMessage(0, "lib usb exit.\n");
  closeAllDeviceContexts();
  VLT_FV_Release();
  g_started = false;
}

}  // namespace
}  // namespace dravex
