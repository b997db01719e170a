// What an open and a worker's reopen share: the USB device opened by index, then brought up
// from its information and its parameter block.

#include <algorithm>

#include "api/last_error.h"
#include "common/dev_info.h"
#include "common/log.h"
#include "context/context_internal.h"
#include "params/param_store.h"
#include "protocol/fvdev_protocol.h"

namespace dravex {

bool contextHealthy(FvDevContext& context) {
  std::lock_guard<std::recursive_mutex> lock(context.deviceLock);
  return context.openFlag && context.device && FVDEVLib_is_open(context.device.get());
}

std::unique_ptr<FvDevice> openUsbDevice(int index) {
  std::unique_ptr<FvDevice> device = FVDEVLib_open(index);
  logMessage(0, device ? "open %d FVDEV-device ok!\n" : "open %d FVDEV-device failed!\n", index);
  return device;
}

void allocateFrameBuffers(FvDevContext& context) {
  std::size_t bytes = static_cast<std::size_t>(devInfoWidth(context.info)) * devInfoHeight(context.info);
  // The 16-bit grab always delivers a whole 640 x 480 frame, whatever size the device reports.
  if (isTwoSensorType(devInfoType(context.info))) bytes = std::max<std::size_t>(bytes, 640 * 480);
  context.raw.assign(bytes, 0);
  if (context.scratch.empty()) context.scratch.assign(kFrameBytes, 0);
}

bool bringUpDevice(FvDevContext& context, std::unique_ptr<FvDevice> device, BringUp kind) {
  std::lock_guard<std::recursive_mutex> lock(context.deviceLock);
  FvDevInfo info{};
  // Without its information the device's frame size and type are unknown.
  if (!FVDEVLib_get_info(device.get(), &info)) {
    FVDEVLib_close(std::move(device));
    return false;
  }
  logMessage(0, "FVDEVLib_get_info, devtype=%d\n", devInfoType(info));
  context.info = info;
  noteDeviceType(devInfoType(info));
  allocateFrameBuffers(context);
  context.device = std::move(device);
  if (kind == BringUp::kOpen) FVDEVLib_set_backlight(context.device.get(), kBacklightDark);
  ContextMemory memory(context);
  loadParamBlock(memory, context.info, context.params);
  if (kind == BringUp::kReopen) {
    // A finger still lying there is seen anew.
    context.fingerState = 0;
    context.backlight = 0;
    context.newFrame = 0;
  }
  context.openFlag = 1;
  return true;
}

}  // namespace dravex
