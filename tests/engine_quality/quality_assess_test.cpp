#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "core/alloc.h"
#include "quality/quality_check.h"
#include "quality_fixtures.h"
#include "sim_finger/finger_generator.h"
#include "veltrum.h"

namespace {

using Image = std::vector<std::uint8_t>;
constexpr float kUnset = -7.0f;

struct Assessed {
  int status;
  float measure1 = kUnset, measure2 = kUnset;
};

Assessed Assess(const Image& image, float limit) {
  Assessed a{};
  a.measure1 = a.measure2 = kUnset;
  a.status = VLT_FV_QualityAssess(a.measure1, a.measure2, image.data(), 240, 320, limit, 123.0f);
  return a;
}

class QualityAssess : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(VLT_FV_Init(0), 0); }
};

TEST_F(QualityAssess, VerdictsAndTheMeasuresEachExitWrites) {
  Image bright = simfinger::FingerImage(1, 0);
  for (int i = 0; i < 3841; ++i) bright[i] = 230;  // 3841 of 76800 above 220: just over 0.05
  struct Case {
    const char* what;
    Image image;
    float limit;
    int status;
    bool measure2Written;
  };
  const Case cases[] = {
      {"bright share above half the limit", bright, 0.1f, 2004, false},
      {"no edge near the middle: lower row 120", fvq::Flat(90), 0.1f, 2002, false},
      {"a finger lying high", fvq::Slab(20, 150, 0, 320), 0.1f, 2002, false},
      // Between straight edges a flat finger has no line anywhere: every block weighs 0.
      {"a flat finger", fvq::Slab(60, 180, 0, 320), 0.1f, 2001, true},
      {"a good finger", simfinger::FingerImage(1, 0), 0.1f, 0, true},
      {"another good finger", simfinger::FingerImage(2, 1), 0.1f, 0, true},
  };
  for (const Case& c : cases) {
    const Assessed a = Assess(c.image, c.limit);
    EXPECT_EQ(a.status, c.status) << c.what;
    EXPECT_NE(a.measure1, kUnset) << c.what;
    EXPECT_EQ(a.measure2 != kUnset, c.measure2Written) << c.what;
    if (c.status == 0) {
      EXPECT_GT(a.measure2, 3.3f) << c.what;
    }
  }
  EXPECT_FLOAT_EQ(Assess(bright, 0.1f).measure1, 3841.0f / 76800.0f);
  EXPECT_EQ(Assess(fvq::Slab(60, 180, 0, 320), 0.1f).measure2, 0.0f);
}

TEST_F(QualityAssess, CentreEdgeRowsFindTheEdgesOnBothSidesOfTheMiddle) {
  struct Case {
    const char* what;
    Image image;
    int upper, lower;
  };
  const Case cases[] = {
      {"a flat image: both at row 120", fvq::Flat(90), 120, 120},
      {"a slab over the middle columns", fvq::Slab(70, 190, 100, 220), 69, 189},
      // An edge on one side of column 160 only gives a product of 0.
      {"a slab left of the middle only", fvq::Slab(70, 190, 0, 158), 120, 120},
  };
  for (const Case& c : cases) {
    int lower = -1, upper = -1;
    veltrum::CentreEdgeRows(c.image.data(), lower, upper);
    EXPECT_NEAR(upper, c.upper, 1) << c.what;
    EXPECT_NEAR(lower, c.lower, 1) << c.what;
  }
}

TEST_F(QualityAssess, FlatCropsHaveNoLineStrengthAtAnyGreyLevel) {
  // The spread of a flat block is exactly 0, never a tiny negative under the root.
  for (int grey : {0, 1, 77, 128, 137, 143, 145, 201, 255}) {
    const std::vector<std::uint8_t> crop(288 * 96, static_cast<std::uint8_t>(grey));
    EXPECT_EQ(veltrum::MeanLineStrength(crop.data()), 0.0f) << grey;
  }
}

TEST_F(QualityAssess, AllocationFailureKeepsTheLineMeasure) {
  veltrum::FailNthAllocation(1);
  const Assessed a = Assess(simfinger::FingerImage(1, 0), 0.1f);
  veltrum::FailNthAllocation(0);
  EXPECT_EQ(a.status, 3012);
  EXPECT_NE(a.measure1, kUnset);
  EXPECT_EQ(a.measure2, kUnset);
}

}  // namespace
