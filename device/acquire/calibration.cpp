// Calibration of the exposure steps on the device: each pass runs from exposure 0 up to the
// first accepted frame. The worker is stopped throughout; calibration polls the finger itself
// and gives up without one, and it is bounded by passes, by steps and by time.

#include <cstring>

#include "acquire/acquire_frame.h"
#include "acquire/calibration_schedule.h"
#include "common/log.h"
#include "context/context_internal.h"
#include "context/device_ops.h"
#include "fvplatform/clock.h"
#include "params/param_store.h"

namespace dravex {
namespace {

// Bounds that a finger on a working device never reaches; they end a calibration that cannot
// converge (a finger lifted halfway, a device that no longer answers as it did). Every open
// and close in the process waits for calibration, so its time is bounded too.
constexpr int kMaxStepsPerPass = 200;
constexpr int kMaxPasses = 32;
constexpr std::uint64_t kMaxCalibrationMs = 30000;
constexpr DWORD kSettleMs = 35;

void storeSteps(FvDevContext& context, const CalibrationSteps& steps) {
  std::lock_guard<std::recursive_mutex> lock(context.deviceLock);
  for (int i = 0; i < 4; ++i) context.params.steps[i] = steps.s[i];
}

bool fingerStillThere(FvDevContext& context) {
  pollFingerStep(context);
  return context.openFlag && context.fingerState == kFingerPresent;
}

// One pass with `steps`: from exposure 0, acquisition steps into the scratch frame until one
// accepts, overshoots, or the pass has to stop.
PassOutcome runPass(FvDevContext& context, const CalibrationSteps& steps, std::uint64_t deadline) {
  storeSteps(context, steps);
  setExposure(&context, 0);
  Sleep(kSettleMs);
  int bytes = 0;
  grabRawFrame(context, context.raw, &bytes);  // the first frame after the change is not used
  PassOutcome outcome{PassEnd::kStopped};
  for (int step = 0; step < kMaxStepsPerPass; ++step) {
    if (fvplat::ClockMs() >= deadline || !fingerStillThere(context)) return {PassEnd::kStopped};
    int accepted, lastLevel, bandHigh;
    {
      std::lock_guard<std::mutex> frame(context.frameLock);
      accepted = acquireFrame(&context, context.scratch.data());
      std::lock_guard<std::recursive_mutex> device(context.deviceLock);
      lastLevel = context.params.lastLevel;
      bandHigh = context.params.bandHigh;
      outcome.exposure = context.params.exposure;
    }
    if (accepted) return {PassEnd::kAccepted, outcome.count, outcome.exposure};
    if (lastLevel > bandHigh) return {PassEnd::kOvershot};
    ++outcome.count;
  }
  return {PassEnd::kStopped};
}

// Restarts the worker however calibration ends.
struct WorkerRestart {
  FvDevContext& context;
  ~WorkerRestart() {
    try {
      startWorker(context);
    } catch (const std::exception&) {  // no thread: the context stays without its worker
    }
  }
};

int calibrateLocked(FvDevContext& context) {
  stopWorker(context);
  WorkerRestart restart{context};
  if (!fingerStillThere(context)) return 0;

  int savedExposure;
  float savedSteps[4];
  {
    std::lock_guard<std::recursive_mutex> lock(context.deviceLock);
    savedExposure = context.params.exposure;
    std::memcpy(savedSteps, context.params.steps, sizeof savedSteps);  // packed: bytewise
  }
  const std::uint64_t deadline = fvplat::ClockMs() + kMaxCalibrationMs;
  const CalibrationResult result = scheduleCalibration(
      [&](const CalibrationSteps& steps) { return runPass(context, steps, deadline); }, kMaxPasses);

  std::lock_guard<std::recursive_mutex> lock(context.deviceLock);
  if (!result.tuned) {
    // Only what calibration changed goes back; a device number set meanwhile stays.
    std::memcpy(context.params.steps, savedSteps, sizeof savedSteps);
    setExposure(&context, savedExposure);
    return 0;
  }
  logMessage(0, "default sessor %d\n", result.startExposure);
  storeSteps(context, result.steps);
  context.params.startExposure = result.startExposure;
  ContextMemory memory(context);
  saveParamBlock(memory, context.params);
  return 0;
}

}  // namespace

int calibrateExposureSteps(FvDevContext* context) {
  if (context == nullptr) return 0;
  std::lock_guard<std::mutex> life(lifecycleLock());
  // A context closed before the lock was ours gets no worker again.
  if (!isListed(context)) return 0;
  return calibrateLocked(*context);
}

int calibrateCurrentDevice() {
  std::lock_guard<std::mutex> life(lifecycleLock());
  ContextRef context = currentContext();
  return context ? calibrateLocked(*context) : 0;
}

}  // namespace dravex
