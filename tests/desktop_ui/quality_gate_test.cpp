#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "fake_device.h"
#include "worker/quality_gate.h"

namespace torvane::testing {
namespace {

float below(float v) { return std::nextafter(v, -1.0f); }
float above(float v) { return std::nextafter(v, 2.0f); }

struct GateCase {
  const char* what;
  GateLimits limits;
  float saturated;
  float band;
  bool accepted;
};

TEST(QualityGate, ThresholdsOfEnrolmentAndSignInAtTheirBoundaries) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const GateCase cases[] = {
      {"enrol: both inside", kEnrolGate, below(0.001f), above(0.072f), true},
      {"enrol: saturation at its limit", kEnrolGate, 0.001f, above(0.072f), false},
      {"enrol: band at its limit", kEnrolGate, below(0.001f), 0.072f, false},
      {"enrol: sign-in values refused", kEnrolGate, 0.02f, 0.06f, false},
      {"sign-in: both inside", kSignInGate, below(0.025f), above(0.053f), true},
      {"sign-in: saturation at its limit", kSignInGate, 0.025f, above(0.053f), false},
      {"sign-in: band at its limit", kSignInGate, below(0.025f), 0.053f, false},
      {"sign-in: enrolment limits not needed", kSignInGate, 0.02f, 0.06f, true},
      {"NaN saturation refuses", kSignInGate, nan, 0.5f, false},
      {"NaN band refuses", kSignInGate, 0.0f, nan, false},
  };
  for (const GateCase& c : cases) {
    FakeDevice device;
    device.measures["blob"] = QualityMeasures{2001, c.saturated, 0.3f, c.band};
    EXPECT_EQ(passesQualityGate(device, blobNamed("blob"), c.limits), c.accepted) << c.what;
  }
}

TEST(QualityGate, AFailedCallIsARefusalWhateverItLeftInTheMeasures) {
  FakeDevice device;
  device.qualityFails["blob"] = true;  // the fake writes good measures and then fails
  EXPECT_FALSE(passesQualityGate(device, blobNamed("blob"), kSignInGate));
  EXPECT_TRUE(passesQualityGate(device, blobNamed("other"), kSignInGate));
}

TEST(SameFinger, ScoreAboveFourTenthsAfterWideningToDouble) {
  struct Case {
    float score;
    bool same;
  };
  // 0.4f widened to double is 0.4000000059604645, just above 0.4: it passes; the float below it
  // does not.
  const Case cases[] = {{0.4f, true}, {below(0.4f), false}, {0.9f, true}, {0.0f, false}};
  for (const Case& c : cases) {
    FakeDevice device;
    device.scores["blob"] = c.score;
    EXPECT_EQ(isSameFinger(device, blobNamed("blob"), Bytes(3352, 1)), c.same) << c.score;
  }
  FakeDevice failing;  // no score: the match call fails
  EXPECT_FALSE(isSameFinger(failing, blobNamed("blob"), Bytes(3352, 1)));
}

}  // namespace
}  // namespace torvane::testing
