// Closing a device: the worker stopped first, then light and exposure off, then the device.

#include "api/last_error.h"
#include "context/context_internal.h"
#include "protocol/fvdev_protocol.h"

namespace dravex {
namespace {

// Exposure 0 with gain words 0 goes out in the single-sensor form on every type.
void darkenAndCloseStep(FvDevContext& context) {
  std::lock_guard<std::recursive_mutex> lock(context.deviceLock);
  if (!context.device) return;
  FVDEVLib_set_backlight(context.device.get(), kBacklightDark);
  FVDEVLib_set_exposure(context.device.get(), 0, 0, 0, 0, 0);
  FVDEVLib_close(std::move(context.device));
}

// Grabs find no frame buffer from now on.
void releaseBuffersStep(FvDevContext& context) {
  std::lock_guard<std::mutex> frame(context.frameLock);
  std::lock_guard<std::recursive_mutex> device(context.deviceLock);
  context.raw = {};
  context.scratch = {};
  context.openFlag = 0;
}

}  // namespace

void closeDeviceContextLocked(FvDevContext& context) {
  stopWorker(context);
  darkenAndCloseStep(context);
  releaseBuffersStep(context);
  withdrawClosed(&context);
}

int closeDeviceContext(FvDevHandle handle) {
  std::lock_guard<std::mutex> life(lifecycleLock());
  ContextRef context = lookupContext(handle);
  if (!context) {
    setLastError(kErrNoDevice);
    return 0;
  }
  closeDeviceContextLocked(*context);
  return 1;
}

void closeAllDeviceContexts() {
  std::lock_guard<std::mutex> life(lifecycleLock());
  for (const ContextRef& context : openContexts()) closeDeviceContextLocked(*context);
  releaseOpenList();  // the list is never destroyed: its memory goes back with the library
}

}  // namespace dravex
