#pragma once
// The schedule of an exposure-step calibration, apart from the device: passes with the steps
// grown by 1.2 while each pass needs fewer rejected frames than the best so far, and shrunk by
// 0.8 (the pass then starts over) when a pass overshoots the band.

#include <functional>

namespace dravex {

struct CalibrationSteps {
  float s[4];
  void scale(float factor) {
    for (float& v : s) v *= factor;
  }
};

inline constexpr CalibrationSteps kCalibrationStartSteps = {{32, 16, 8, 4}};
inline constexpr float kCalibrationGrowth = 1.2f;
inline constexpr float kCalibrationShrink = 0.8f;

enum class PassEnd {
  kAccepted,  // a frame in the band after `count` rejected ones below it
  kOvershot,  // a frame above the band
  kStopped,   // no finger, no device, or out of time: calibration ends
};

struct PassOutcome {
  PassEnd end;
  int count = 0;
  int exposure = 0;  // the exposure when the pass ended
};

struct CalibrationResult {
  bool tuned = false;  // at least one pass was accepted
  CalibrationSteps steps{};
  int startExposure = 0;
};

// Runs passes with `runPass` (given the steps to use) until a pass needs no fewer rejected
// frames than the best one, a pass stops, or `maxPasses` passes have run. The result holds the
// steps as grown after the best pass and the exposure that pass ended at.
CalibrationResult scheduleCalibration(const std::function<PassOutcome(const CalibrationSteps&)>& runPass,
                                      int maxPasses);

}  // namespace dravex
