// The worker thread of one context: each turn reopens a lost device, polls the finger, and
// acquires while no accepted frame waits.

#include <atomic>

#include "acquire/acquire_frame.h"
#include "common/log.h"
#include "context/context_internal.h"
#include "context/device_ops.h"
#include "fvplatform/clock.h"
#include "fvplatform/window.h"
#include "protocol/fvdev_protocol.h"

namespace dravex {
namespace {

constexpr DWORD kReopenPauseMs = 100;
constexpr DWORD kBacklightSettleMs = 35;
constexpr DWORD kTurnPauseMs = 1;

std::atomic<int> g_runningWorkers{0};

// A lost device is opened again by its index, with fresh information and parameters.
bool reopenStep(FvDevContext& context) {
  if (contextHealthy(context)) return true;
  logMessage(0, "reopen dev\n");
  if (context.index >= FVDEVLib_get_count()) {
    Sleep(kReopenPauseMs);
    return false;
  }
  bool reopened = false;
  {
    std::lock_guard<std::recursive_mutex> lock(context.deviceLock);
    FVDEVLib_close(std::move(context.device));
    std::unique_ptr<FvDevice> device = openUsbDevice(context.index);
    reopened = device && bringUpDevice(context, std::move(device), BringUp::kReopen);
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
  // Also after a reopen that failed: the preview shows a frame no longer coming.
  if (context->preview != nullptr) InvalidateRect(context->preview, nullptr, TRUE);
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
