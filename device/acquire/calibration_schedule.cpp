#include "acquire/calibration_schedule.h"

#include "common/log.h"

namespace dravex {

CalibrationResult scheduleCalibration(const std::function<PassOutcome(const CalibrationSteps&)>& runPass,
                                      int maxPasses) {
  constexpr int kNoCount = 16777215;
  CalibrationSteps steps = kCalibrationStartSteps;
  CalibrationResult best{false, steps, 0};
  int bestCount = kNoCount;
  for (int pass = 0; pass < maxPasses; ++pass) {
    const PassOutcome outcome = runPass(steps);
    if (outcome.end == PassEnd::kOvershot) {
      steps.scale(kCalibrationShrink);
      continue;
    }
    if (outcome.end != PassEnd::kAccepted) break;
    logMessage(0, "tiaozheng %f %f %f %f  curCount %d\n", steps.s[0], steps.s[1], steps.s[2],
               steps.s[3], outcome.count);
    if (outcome.count >= bestCount) break;
    steps.scale(kCalibrationGrowth);
    bestCount = outcome.count;
    best = {true, steps, outcome.exposure};
  }
  return best;
}

}  // namespace dravex
