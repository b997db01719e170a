// Opening a device: the steps in order, each refusing with the error its failure names.

#include "api/last_error.h"
#include "common/dev_info.h"
#include "common/log.h"
#include "context/context_internal.h"
#include "context/device_ops.h"
#include "params/param_store.h"
#include "protocol/fvdev_protocol.h"
#include "store/settings.h"

namespace dravex {
namespace {

bool isHealthy(FvDevContext& context) {
  std::lock_guard<std::recursive_mutex> lock(context.deviceLock);
  return context.openFlag && context.device && FVDEVLib_is_open(context.device.get());
}

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
  if (named && isHealthy(*named)) return true;
  if (named) closeDeviceContextLocked(*named);
  *handle = nullptr;
  return false;
}

// The USB device itself.
std::unique_ptr<FvDevice> openUsbStep(int index) {
  logMessage(0, "FVDEVLibusb_init\n");
  std::unique_ptr<FvDevice> device = FVDEVLib_open(index);
  if (!device) {
    logMessage(0, "open %d FVDEV-device failed!\n", index);
    setLastError(kErrOpenFailed);
    return nullptr;
  }
  logMessage(0, "open %d FVDEV-device ok!\n", index);
  return device;
}

// Without its information the device's frame size and type are unknown: the open fails.
bool readInfoStep(FvDevContext& context) {
  if (!FVDEVLib_get_info(context.device.get(), &context.info)) {
    logMessage(0, "open %d FVDEV-device failed!\n", context.index);
    setLastError(kErrOpenFailed);
    return false;
  }
  logMessage(0, "FVDEVLib_get_info, devtype=%d\n", devInfoType(context.info));
  noteDeviceType(devInfoType(context.info));
  return true;
}

// Light off, the on-board parameters in, then open at the start exposure.
void prepareDeviceStep(FvDevContext& context) {
  std::lock_guard<std::recursive_mutex> lock(context.deviceLock);
  FVDEVLib_set_backlight(context.device.get(), kBacklightDark);
  ContextMemory memory(context);
  loadParamBlock(memory, context.info, context.params);
  context.openFlag = 1;
  setExposure(&context, context.params.startExposure);
}

// A new context for the USB device, opened and prepared; null (error 8) when its information
// cannot be read.
ContextRef createContextStep(int index, HWND preview, std::unique_ptr<FvDevice> device) {
  auto context = std::make_shared<FvDevContext>();
  context->index = index;
  context->preview = preview;
  context->device = std::move(device);
  if (!readInfoStep(*context)) return nullptr;
  allocateFrameBuffers(*context);
  prepareDeviceStep(*context);
  return context;
}

}  // namespace

int openDeviceContext(int index, HWND preview, FvDevHandle* handle) {
  std::lock_guard<std::mutex> life(lifecycleLock());
  if (!findDeviceStep(index)) return 0;
  if (keepHealthyStep(handle)) return 1;
  try {
    std::unique_ptr<FvDevice> device = openUsbStep(index);
    if (!device) return 0;
    loadSettings(settingsFilePath(), processSettings());
    ContextRef context = createContextStep(index, preview, std::move(device));
    if (!context) return 0;
    startWorker(*context);
    const FvDevHandle opened = publishOpened(context);
    if (handle != nullptr) *handle = opened;
    return 1;
  } catch (const std::exception&) {  // no memory or no thread to be had: the device stays closed
    setLastError(kErrOpenFailed);
    return 0;
  }
}

}  // namespace dravex
