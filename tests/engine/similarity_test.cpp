#include <gtest/gtest.h>

#include "core/similarity.h"

namespace {

// Exact: worked in double, each breakpoint lands on the float nearest its decimal value, while
// single-precision arithmetic misses by a bit (555 would fall below the 0.6 threshold).
TEST(ScoreToSimilarity, Breakpoints) {
  struct Case {
    int raw;
    float expected;
  };
  const Case cases[] = {
      {0, 0.0f},       {-3, 0.0f},      {500, 0.0f},     {501, 0.0109f}, {554, 0.5886f},
      {555, 0.6f},     {600, 0.726f},   {697, 0.9976f},  {698, 1.0004f}, {699, 1.0032f},
      {700, 1.0f},     {999, 1.0f},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(veltrum::ScoreToSimilarity(c.raw), c.expected) << c.raw;
  }
}

TEST(ScoreToSimilarity, JumpsAtThresholdAndIsNotClippedBelow700) {
  EXPECT_LT(veltrum::ScoreToSimilarity(554), 0.6f);
  EXPECT_GE(veltrum::ScoreToSimilarity(555), 0.6f);
  EXPECT_GT(veltrum::ScoreToSimilarity(699), 1.0f);
  EXPECT_EQ(veltrum::ScoreToSimilarity(700), 1.0f);
}

}  // namespace
