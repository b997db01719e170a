// Opening a device: the steps in order, each refusing with the error its failure names.

#include "api/last_error.h"
#include "common/log.h"
#include "context/context_internal.h"
#include "context/device_ops.h"
#include "protocol/fvdev_protocol.h"
#include "store/settings.h"

namespace dravex {
namespace {

// The index names a present device.
bool findDeviceStep(int index) {
  int count = FVDEVLib_get_count();
  if (index < 0 || index >= count) {
    logMessage(0, "can't find devince.\n");
    setLastError(kErrNoSuchDevice);
    return false;
  }
  logMessage(0, "find %d devince.\n", count);
  return true;
}

// A healthy context named by the handle stays; a stale one is closed first.
bool keepHealthyStep(FvDevHandle* handle) {
  if (handle == nullptr || *handle == nullptr) return false;
  ContextRef named = lookupContext(*handle);
  if (named && contextHealthy(*named)) return true;
  if (named) closeDeviceContextLocked(*named);
  *handle = nullptr;
  return false;
}

// The USB device itself.
std::unique_ptr<FvDevice> openUsbStep(int index) {
  logMessage(0, "FVDEVLibusb_init\n");
  std::unique_ptr<FvDevice> device = openUsbDevice(index);
  if (!device) setLastError(kErrOpenFailed);
  return device;
}

// A new context for the USB device, brought up and at its start exposure; null (error 8) when
// the device's information cannot be read.
ContextRef createContextStep(int index, HWND preview, std::unique_ptr<FvDevice> device) {
  auto context = std::make_shared<FvDevContext>();
  context->index = index;
  context->preview = preview;
  if (!bringUpDevice(*context, std::move(device), BringUp::kOpen)) {
    logMessage(0, "open %d FVDEV-device failed!\n", index);
    setLastError(kErrOpenFailed);
    return nullptr;
  }
  setExposure(context.get(), context->params.startExposure);
  return context;
}

// Listed first, then started: whichever fails, no worker runs without the list owning it,
// and the caller's close takes a listed context off again.
void publishAndStartStep(const ContextRef& context, FvDevHandle* handle) {
  const FvDevHandle opened = publishOpened(context);
  startWorker(*context);
  if (handle != nullptr) *handle = opened;
}

}  // namespace

int openDeviceContext(int index, HWND preview, FvDevHandle* handle) {
  std::lock_guard<std::mutex> life(lifecycleLock());
  ContextRef context;
  try {
    if (!findDeviceStep(index)) return 0;
    if (keepHealthyStep(handle)) return 1;
    std::unique_ptr<FvDevice> device = openUsbStep(index);
    if (!device) return 0;
    loadSettings(settingsFilePath(), processSettings());
    context = createContextStep(index, preview, std::move(device));
    if (!context) return 0;
    publishAndStartStep(context, handle);
    return 1;
  } catch (const std::exception&) {  // no memory or no thread to be had: the device stays closed
    if (context) closeDeviceContextLocked(*context);
    setLastError(kErrOpenFailed);
    return 0;
  }
}

}  // namespace dravex
