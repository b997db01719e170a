#include <gtest/gtest.h>

#include "acquire/exposure_step.h"

namespace {

using dravex::ExposureBand;

TEST(NextExposure, StepTableAroundTheDefaultBand) {
  const ExposureBand band{70, 90, 1000};
  const float steps[4] = {128, 64, 32, 16};
  struct Case {
    int level, current, next;
  };
  const Case cases[] = {
      {0, 500, 628},    // below L >> 2 = 17: s1
      {16, 500, 628},
      {17, 500, 564},   // from L >> 2 up to L >> 1 = 35: s2
      {34, 500, 564},
      {35, 500, 532},   // from L >> 1 up to L - 10 = 60: s3
      {59, 500, 532},
      {60, 500, 516},   // from L - 10 up to L: s4
      {69, 500, 516},
      {0, 950, 1000},   // up, at most E
      {91, 500, 484},   // above H, below H + 10: s4
      {95, 500, 484},
      {99, 500, 484},
      {100, 500, 468},  // from H + 10 up to 1.5 H = 135: s3
      {134, 500, 468},
      {135, 500, 436},  // from 1.5 H up to 2 H: s2
      {150, 500, 436},
      {179, 500, 436},
      {180, 500, 372},  // 2 H and above: s1
      {255, 500, 372},
      {255, 100, 1},    // a step below 1 gives 1
      {95, 1, 1},       // never 0
      {95, 16, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(dravex::nextExposure(c.level, c.current, band, steps), c.next)
        << "level " << c.level << " from " << c.current;
  }
}

TEST(NextExposure, FractionalStepsTruncateAndOddBandsShift) {
  const float steps[4] = {20, 10, 5, 2.5f};
  // L = 71: L >> 2 = 17, L >> 1 = 35; H = 91: 1.5 H = 136.5 -> 136.
  const ExposureBand band{71, 91, 60};
  EXPECT_EQ(dravex::nextExposure(65, 40, band, steps), 42);   // 42.5 truncated
  EXPECT_EQ(dravex::nextExposure(95, 40, band, steps), 37);   // 37.5 truncated
  EXPECT_EQ(dravex::nextExposure(135, 40, band, steps), 35);  // still below 136: s3
  EXPECT_EQ(dravex::nextExposure(136, 40, band, steps), 30);  // s2
  EXPECT_EQ(dravex::nextExposure(0, 50, band, steps), 60);    // clamped to E
  // A device that reports a maximum of 0 still gets 1.
  EXPECT_EQ(dravex::nextExposure(0, 50, ExposureBand{70, 90, 0}, steps), 1);
}

TEST(LevelInBand, BothEndsAccept) {
  const ExposureBand band{70, 90, 1000};
  EXPECT_FALSE(dravex::levelInBand(69, band));
  EXPECT_TRUE(dravex::levelInBand(70, band));
  EXPECT_TRUE(dravex::levelInBand(90, band));
  EXPECT_FALSE(dravex::levelInBand(91, band));
}

}  // namespace
