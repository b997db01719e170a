// The worker thread of one context: each turn reopens a lost device, polls the finger, and
// acquires while no accepted frame waits.

#include <algorithm>
#include <atomic>

#include "acquire/acquire_frame.h"
#include "api/last_error.h"
#include "common/dev_info.h"
#include "common/log.h"
#include "context/context_internal.h"
#include "context/device_ops.h"
#include "fvplatform/clock.h"
#include "fvplatform/window.h"
#include "params/param_store.h"
#include "protocol/fvdev_protocol.h"

namespace dravex {
namespace {

constexpr DWORD kReopenPauseMs = 100;
constexpr DWORD kBacklightSettleMs = 35;
constexpr DWORD kTurnPauseMs = 1;

std::atomic<int> g_runningWorkers{0};

bool deviceUsable(FvDevContext& context) {
  std::lock_guard<std::recursive_mutex> lock(context.deviceLock);
  return context.openFlag && context.device && FVDEVLib_is_open(context.device.get());
}

// A lost device is opened again by its index, with fresh information and parameters. Its
// finger, backlight and frame state start over, so a finger still lying there is seen anew.
bool reopenStep(FvDevContext& context) {
  if (deviceUsable(context)) return true;
  logMessage(0, "reopen dev\n");
  if (context.index >= FVDEVLib_get_count()) {
    Sleep(kReopenPauseMs);
    return false;
  }
  bool reopened = false;
  {
    std::lock_guard<std::recursive_mutex> lock(context.deviceLock);
    FVDEVLib_close(std::move(context.device));
    std::unique_ptr<FvDevice> device = FVDEVLib_open(context.index);
    FvDevInfo info{};
    if (device && FVDEVLib_get_info(device.get(), &info)) {
      logMessage(0, "open %d FVDEV-device ok!\n", context.index);
      context.info = info;
      noteDeviceType(devInfoType(info));
      allocateFrameBuffers(context);
      context.device = std::move(device);
      ContextMemory memory(context);
      loadParamBlock(memory, context.info, context.params);
      context.fingerState = 0;
      context.backlight = 0;
      context.newFrame = 0;
      context.openFlag = 1;
      reopened = true;
    } else {
      logMessage(0, "open %d FVDEV-device failed!\n", context.index);
    }
  }
  if (!reopened) Sleep(kReopenPauseMs);
  return reopened;
}

// Only while no accepted frame waits for a caller.
void acquisitionStep(FvDevContext& context) {
  if (context.newFrame) return;
  std::lock_guard<std::mutex> lock(context.frameLock);
  context.newFrame = acquireFrame(&context, context.frame.data()) ? 1 : 0;
}

void workerTurn(FvDevContext& context) {
  if (!reopenStep(context)) return;
  pollFingerStep(context);
  acquisitionStep(context);
  Sleep(kTurnPauseMs);
}

void deviceThreadProc(FvDevContext* context) {
  context->newFrame = 0;
  context->fingerState = 0;
  while (!context->stopFlag) {
    try {
      workerTurn(*context);
    } catch (...) {
      Sleep(kTurnPauseMs);  // a turn that could not finish is simply tried again
    }
  }
  bool hadDevice;
  {
    std::lock_guard<std::recursive_mutex> lock(context->deviceLock);
    hadDevice = context->device != nullptr;
  }
  if (hadDevice && context->preview != nullptr) InvalidateRect(context->preview, nullptr, TRUE);
  --g_runningWorkers;
}

void fingerArrived(FvDevContext& context) {
  context.backlight = 1;
  switchBacklightOn(&context);
  Sleep(kBacklightSettleMs);
  int bytes = 0;
  grabRawFrame(context, context.raw, &bytes);  // the first frame under new light is not used
}

void fingerLeft(FvDevContext& context) {
  context.newFrame = 0;
  context.backlight = 0;
  switchBacklightOff(&context);
}

}  // namespace

// A failed poll marks the device lost; a change of state switches the backlight.
void pollFingerStep(FvDevContext& context) {
  if (!context.openFlag) return;
  int state = 0;
  bool polled;
  {
    std::lock_guard<std::recursive_mutex> lock(context.deviceLock);
    polled = context.device && FVDEVLib_get_finger(context.device.get(), &state);
    if (!polled) context.openFlag = 0;
  }
  if (!polled || state == context.fingerState) return;
  if (state == kFingerPresent) {
    fingerArrived(context);
  } else {
    fingerLeft(context);
  }
  context.fingerState = state;
}

void allocateFrameBuffers(FvDevContext& context) {
  std::size_t bytes = static_cast<std::size_t>(devInfoWidth(context.info)) * devInfoHeight(context.info);
  // The 16-bit grab always delivers a whole 640 x 480 frame, whatever size the device reports.
  if (isTwoSensorType(devInfoType(context.info))) bytes = std::max<std::size_t>(bytes, 640 * 480);
  context.raw.assign(bytes, 0);
  if (context.scratch.empty()) context.scratch.assign(kFrameBytes, 0);
}

void startWorker(FvDevContext& context) {
  context.stopFlag = 0;
  ++g_runningWorkers;  // counted from its start, so a caller sees it at once
  try {
    context.worker = std::thread(deviceThreadProc, &context);
  } catch (...) {
    --g_runningWorkers;
    throw;
  }
}

void stopWorker(FvDevContext& context) {
  context.stopFlag = 1;
  if (context.worker.joinable()) context.worker.join();
}

int runningWorkerCount() { return g_runningWorkers.load(); }

}  // namespace dravex
