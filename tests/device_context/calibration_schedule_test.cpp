#include <gtest/gtest.h>

#include <vector>

#include "acquire/calibration_schedule.h"

namespace {

using dravex::CalibrationSteps;
using dravex::PassEnd;
using dravex::PassOutcome;

// Answers the scripted passes in turn and keeps the steps each one was given.
struct ScriptedPasses {
  std::vector<PassOutcome> script;
  std::vector<CalibrationSteps> given{};
  PassOutcome operator()(const CalibrationSteps& steps) {
    given.push_back(steps);
    return given.size() <= script.size() ? script[given.size() - 1] : PassOutcome{PassEnd::kStopped};
  }
};

void expectSteps(const CalibrationSteps& steps, float s1, float s2, float s3, float s4) {
  EXPECT_FLOAT_EQ(steps.s[0], s1);
  EXPECT_FLOAT_EQ(steps.s[1], s2);
  EXPECT_FLOAT_EQ(steps.s[2], s3);
  EXPECT_FLOAT_EQ(steps.s[3], s4);
}

dravex::CalibrationResult run(ScriptedPasses& passes, int maxPasses = 32) {
  return dravex::scheduleCalibration([&](const CalibrationSteps& s) { return passes(s); }, maxPasses);
}

TEST(CalibrationSchedule, GrowsWhilePassesGetShorterAndKeepsTheBestPass) {
  ScriptedPasses passes{{{PassEnd::kAccepted, 10, 500},
                         {PassEnd::kAccepted, 8, 450},
                         {PassEnd::kAccepted, 9, 470}}};
  const auto result = run(passes);
  ASSERT_EQ(passes.given.size(), 3u);
  expectSteps(passes.given[0], 32, 16, 8, 4);
  expectSteps(passes.given[1], 38.4f, 19.2f, 9.6f, 4.8f);      // x 1.2
  expectSteps(passes.given[2], 46.08f, 23.04f, 11.52f, 5.76f);  // x 1.2 again
  EXPECT_TRUE(result.tuned);
  // The steps as grown after the best (second) pass, and that pass's exposure.
  expectSteps(result.steps, 46.08f, 23.04f, 11.52f, 5.76f);
  EXPECT_EQ(result.startExposure, 450);
}

TEST(CalibrationSchedule, AnOvershootShrinksAndStartsThePassOver) {
  ScriptedPasses passes{{{PassEnd::kOvershot},
                         {PassEnd::kOvershot},
                         {PassEnd::kAccepted, 5, 300},
                         {PassEnd::kAccepted, 5, 290}}};  // no shorter: the end
  const auto result = run(passes);
  ASSERT_EQ(passes.given.size(), 4u);
  expectSteps(passes.given[1], 25.6f, 12.8f, 6.4f, 3.2f);       // x 0.8
  expectSteps(passes.given[2], 20.48f, 10.24f, 5.12f, 2.56f);   // x 0.8 again
  expectSteps(passes.given[3], 24.576f, 12.288f, 6.144f, 3.072f);  // x 1.2
  EXPECT_TRUE(result.tuned);
  expectSteps(result.steps, 24.576f, 12.288f, 6.144f, 3.072f);
  EXPECT_EQ(result.startExposure, 300);
}

TEST(CalibrationSchedule, StopsWithTheBestSoFarOrWithNothing) {
  ScriptedPasses stopped{{{PassEnd::kStopped}}};
  EXPECT_FALSE(run(stopped).tuned);
  EXPECT_EQ(stopped.given.size(), 1u);

  ScriptedPasses later{{{PassEnd::kAccepted, 3, 610}, {PassEnd::kStopped}}};
  const auto result = run(later);
  EXPECT_TRUE(result.tuned);
  expectSteps(result.steps, 38.4f, 19.2f, 9.6f, 4.8f);
  EXPECT_EQ(result.startExposure, 610);

  ScriptedPasses overshooting{std::vector<PassOutcome>(100, {PassEnd::kOvershot})};
  EXPECT_FALSE(run(overshooting, 32).tuned);
  EXPECT_EQ(overshooting.given.size(), 32u) << "passes are bounded";
}

}  // namespace
