// The evaluation's rates, worked by hand from the score-to-similarity map: raw 546 maps to
// 0.5014 and 547 to 0.5123 (0.0109 r - 5.45); 554 to 0.5886, 556 to 0.6028, 565 to 0.628 and
// 566 to 0.6308 (0.0028 r - 0.954); 555 to 0.6 itself (0.6f exactly), which a caller accepts.

#include <gtest/gtest.h>

#include "evaluation.h"

namespace {

using evaluation::RatesAt;
using evaluation::Scores;

TEST(EvaluationRates, CountsAtEachFrontEndThreshold) {
  Scores s;
  s.genuine = {546, 547, 556, 700};
  s.impostor = {500, 546, 547, 554, 555, 556, 565, 566};
  struct Case {
    float threshold;
    long falseRejects, falseAccepts;
  };
  for (const Case c : {Case{0.51f, 1, 6}, Case{0.6f, 2, 4}, Case{0.63f, 3, 1}}) {
    const evaluation::Rates r = RatesAt(s, c.threshold);
    EXPECT_EQ(r.falseRejects, c.falseRejects) << c.threshold;
    EXPECT_EQ(r.falseAccepts, c.falseAccepts) << c.threshold;
    EXPECT_EQ(r.genuine, 4);
    EXPECT_EQ(r.impostor, 8);
  }
}

TEST(EvaluationRates, EqualErrorRate) {
  Scores apart;
  apart.genuine = {700, 720};
  apart.impostor = {480, 500};
  EXPECT_EQ(evaluation::EqualErrorRate(apart), 0.0);
  // Accepting from 601 to 650 refuses one genuine of two and accepts one impostor of two.
  Scores crossed;
  crossed.genuine = {600, 700};
  crossed.impostor = {400, 650};
  EXPECT_EQ(evaluation::EqualErrorRate(crossed), 0.5);
  EXPECT_EQ(evaluation::EqualErrorRate(Scores{}), 0.0);
}

}  // namespace
