// Calibration of the exposure steps: passes from exposure 0 up to the first accepted frame, with
// the steps grown while passes get shorter and shrunk when a pass overshoots the band. The
// worker is stopped throughout; calibration polls the finger itself and gives up without one.

#include <cmath>

#include "acquire/acquire_frame.h"
#include "common/log.h"
#include "context/context_internal.h"
#include "context/device_ops.h"
#include "fvplatform/clock.h"
#include "params/param_store.h"

namespace dravex {
namespace {

constexpr float kStartSteps[4] = {32, 16, 8, 4};
constexpr int kNoCount = 16777215;
// Bounds that a finger on a working device never reaches; they end a calibration that cannot
// converge (a finger lifted halfway, a device that no longer answers as it did).
constexpr int kMaxStepsPerPass = 200;
constexpr int kMaxPasses = 32;

enum class PassEnd { Accepted, Overshot, NoFinger, TooLong };

struct PassResult {
  PassEnd end;
  int count = 0;  // rejected steps below the band before the accepted one
};

struct Steps {
  float s[4];
  void scale(float factor) {
    for (float& v : s) v *= factor;
  }
};

void storeSteps(FvDevContext& context, const Steps& steps) {
  std::lock_guard<std::recursive_mutex> lock(context.deviceLock);
  for (int i = 0; i < 4; ++i) context.params.steps[i] = steps.s[i];
}

bool fingerStillThere(FvDevContext& context) {
  pollFingerStep(context);
  return context.openFlag && context.fingerState == kFingerPresent;
}

// One pass: from exposure 0, acquisition steps into the scratch frame until one accepts.
PassResult runPass(FvDevContext& context) {
  setExposure(&context, 0);
  Sleep(35);
  int bytes = 0;
  grabRawFrame(context, context.raw, &bytes);  // the first frame after the change is not used
  PassResult result{PassEnd::TooLong};
  for (int step = 0; step < kMaxStepsPerPass; ++step) {
    if (!fingerStillThere(context)) return {PassEnd::NoFinger};
    int accepted, lastLevel, bandHigh;
    {
      std::lock_guard<std::mutex> frame(context.frameLock);
      accepted = acquireFrame(&context, context.scratch.data());
      std::lock_guard<std::recursive_mutex> device(context.deviceLock);
      lastLevel = context.params.lastLevel;
      bandHigh = context.params.bandHigh;
    }
    if (accepted) return {PassEnd::Accepted, result.count};
    if (lastLevel > bandHigh) return {PassEnd::Overshot};
    ++result.count;
  }
  return result;
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

}  // namespace

int calibrateExposureSteps(FvDevContext* context) {
  if (context == nullptr) return 0;
  std::lock_guard<std::mutex> life(lifecycleLock());
  stopWorker(*context);
  WorkerRestart restart{*context};
  if (!fingerStillThere(*context)) return 0;

  FvParamBlock saved;
  {
    std::lock_guard<std::recursive_mutex> lock(context->deviceLock);
    saved = context->params;
  }
  Steps steps{{kStartSteps[0], kStartSteps[1], kStartSteps[2], kStartSteps[3]}};
  Steps bestSteps = steps;
  int bestExposure = saved.exposure;
  int bestCount = kNoCount;
  storeSteps(*context, steps);

  for (int pass = 0; pass < kMaxPasses; ++pass) {
    PassResult result = runPass(*context);
    if (result.end == PassEnd::Overshot) {
      steps.scale(0.8f);
      storeSteps(*context, steps);
      continue;
    }
    if (result.end != PassEnd::Accepted) break;
    logMessage(0, "tiaozheng %f %f %f %f  curCount %d\n", steps.s[0], steps.s[1], steps.s[2], steps.s[3],
               result.count);
    if (result.count >= bestCount) break;
    steps.scale(1.2f);
    storeSteps(*context, steps);
    bestCount = result.count;
    bestSteps = steps;
    std::lock_guard<std::recursive_mutex> lock(context->deviceLock);
    bestExposure = context->params.exposure;
  }

  if (bestCount == kNoCount) {  // no pass ever finished: leave the device as it was
    {
      std::lock_guard<std::recursive_mutex> lock(context->deviceLock);
      context->params = saved;
    }
    setExposure(context, saved.exposure);
    return 0;
  }
  logMessage(0, "default sessor %d\n", bestExposure);
  std::lock_guard<std::recursive_mutex> lock(context->deviceLock);
  storeSteps(*context, bestSteps);
  context->params.startExposure = bestExposure;
  ContextMemory memory(*context);
  saveParamBlock(memory, context->params);
  return 0;
}

}  // namespace dravex
