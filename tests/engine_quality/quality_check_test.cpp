#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/alloc.h"
#include "edges/finger_edges.h"
#include "quality/quality_check.h"
#include "quality_fixtures.h"
#include "sim_finger/finger_generator.h"
#include "sim_finger/random.h"
#include "veltrum.h"

namespace {

using simfinger::Flaw;
using Image = std::vector<std::uint8_t>;

// The two parameter blocks the capture-device library passes.
struct Params {
  std::array<float, 6> p;
};
const Params kPlain{{0.05f, 0.1f, 0.0f, 0, 0, 0}};
const Params kExtended{{0.05f, 0.1f, 0.01f, 0, 0, 0}};

int Quality(const Image& image, std::array<float, 6>& params) {
  return VLT_FV_Quality(image.data(), 240, 320, params.data());
}

int Quality(const Image& image, const Params& params) {
  auto p = params.p;
  return Quality(image, p);
}

class QualityCheck : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(VLT_FV_Init(0), 0); }
  void TearDown() override { veltrum::FailNthAllocation(0); }
};

TEST_F(QualityCheck, VerdictsOfSyntheticImagesPerModeAndParameters) {
  struct Case {
    const char* what;
    Image image;
    std::array<int, 6> expected;  // modes 0, 1, 2, each with the plain then the extended block
  };
  const auto flawed = [](Flaw f) { return simfinger::FlawedFingerImage(1, f); };
  std::vector<Case> cases = {
      {"over-exposed", flawed(Flaw::kSaturated), {2004, 2004, 2004, 2004, 2004, 2004}},
      {"thin", flawed(Flaw::kNarrow), {2003, 2003, 2003, 2003, 2003, 2003}},
      // The strip search of modes 1 and 2 keeps the upper edge above row 111: there a low
      // finger is judged by its band alone.
      {"low in the frame", flawed(Flaw::kOffCentre), {2002, 2002, 2001, 0, 2001, 0}},
      {"only the tip", flawed(Flaw::kShort), {2005, 2005, 2005, 2005, 2005, 2005}},
      {"under-exposed", flawed(Flaw::kDark), {2006, 2006, 2006, 2006, 2006, 2006}},
      {"without veins", flawed(Flaw::kNoVeins), {2001, 0, 2001, 2001, 2001, 2001}},
  };
  for (std::uint64_t seed = 1; seed <= 5; ++seed) {
    for (int capture = 0; capture < 3; ++capture) {
      cases.push_back({"a good finger", simfinger::FingerImage(seed, capture), {0, 0, 0, 0, 0, 0}});
    }
  }
  for (int mode = 0; mode < 3; ++mode) {
    ASSERT_EQ(VLT_FV_Init(mode), 0);
    for (const Case& c : cases) {
      EXPECT_EQ(Quality(c.image, kPlain), c.expected[2 * mode]) << c.what << ", mode " << mode;
      EXPECT_EQ(Quality(c.image, kExtended), c.expected[2 * mode + 1])
          << c.what << ", mode " << mode << ", extended";
    }
  }
}

TEST_F(QualityCheck, ZeroLimitsAreReplacedByTheModesDefaultsAndWrittenBack) {
  const Image white = fvq::Flat(255);  // ends right after the limits: 2004
  struct Case {
    int mode;
    std::array<float, 3> in, out;
  };
  const Case cases[] = {
      {0, {0, 0, 0}, {0.07f, 0.57f, 0.081f}},
      {1, {0, 0, 0}, {0.07f, 0.57f, 0.095f}},
      {2, {0, 0, 0}, {0.07f, 0.57f, 0.082f}},
      {1, {0.5f, 0.2f, 0.01f}, {0.5f, 0.2f, 0.01f}},
      {2, {0.05f, 0, 0.3f}, {0.05f, 0.57f, 0.3f}},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(VLT_FV_Init(c.mode), 0);
    std::array<float, 6> p = {c.in[0], c.in[1], c.in[2], 0, 0, 0};
    EXPECT_EQ(Quality(white, p), 2004);
    EXPECT_EQ(p[0], c.out[0]) << "mode " << c.mode;
    EXPECT_EQ(p[1], c.out[1]) << "mode " << c.mode;
    EXPECT_EQ(p[2], c.out[2]) << "mode " << c.mode;
    EXPECT_EQ(p[3], 1.0f);
  }
  // A mode without defaults leaves a zero band limit as it is.
  std::array<float, 6> p{};
  veltrum::FillQualityLimits(p.data(), 5);
  EXPECT_EQ(p[2], 0.0f);
  EXPECT_EQ(p[0], 0.07f);
}

TEST_F(QualityCheck, MeasuresAreWrittenOnlyAsFarAsTheCheckGets) {
  constexpr float kUnset = -7.0f;
  struct Case {
    const char* what;
    int mode;
    Image image;
    float clarityLimit;
    int verdict;
    std::array<bool, 3> written;  // [3], [4], [5]
  };
  const auto flawed = [](Flaw f) { return simfinger::FlawedFingerImage(1, f); };
  const Image good = simfinger::FingerImage(1, 0);
  const Case cases[] = {
      {"over-exposed", 0, fvq::Flat(255), 0.1f, 2004, {true, false, false}},
      {"no finger strip", 1, fvq::Flat(120), 0.1f, 3102, {true, false, false}},
      {"thin", 0, flawed(Flaw::kNarrow), 0.1f, 2003, {true, false, false}},
      {"only the tip", 2, flawed(Flaw::kShort), 0.1f, 2005, {true, false, false}},
      {"blurred for a strict clarity limit", 0, good, 5.0f, 2001, {true, true, false}},
      {"under-exposed", 1, flawed(Flaw::kDark), 0.1f, 2006, {true, true, false}},
      {"no veins, mode 1", 1, flawed(Flaw::kNoVeins), 0.1f, 2001, {true, true, true}},
      {"no veins, mode 0", 0, flawed(Flaw::kNoVeins), 0.1f, 2001, {true, true, false}},
      {"good, mode 0", 0, good, 0.1f, 0, {true, true, true}},
      {"good, mode 2", 2, good, 0.1f, 0, {true, true, true}},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(VLT_FV_Init(c.mode), 0);
    std::array<float, 6> p = {0.05f, c.clarityLimit, 0, kUnset, kUnset, kUnset};
    EXPECT_EQ(Quality(c.image, p), c.verdict) << c.what;
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(p[3 + k] != kUnset, c.written[k]) << c.what << ": measure " << 3 + k;
    }
    if (c.mode != 0 && c.written[1]) {
      EXPECT_EQ(p[4], 1.0f) << c.what;
    }
  }
}

// Edges given straight to the judgement: a finger between rows 60 and 180 in every column.
struct Edges {
  std::array<std::int16_t, 320> upper, lower;
  Edges() {
    upper.fill(60);
    lower.fill(180);
  }
  int Judge(int mode, std::array<float, 6>& p, const Image& image) const {
    veltrum::FillQualityLimits(p.data(), mode);
    return veltrum::JudgeFingerEdges(image.data(), p.data(), upper.data(), lower.data(), mode);
  }
  int Judge(int mode, std::array<float, 6>& p) const {
    static const Image image = fvq::Slab(60, 181, 0, 320);
    return Judge(mode, p, image);
  }
  int Judge(int mode = 0) const {
    std::array<float, 6> p{};
    return Judge(mode, p);
  }
};

TEST_F(QualityCheck, PositionWidthAndLengthBoundariesOnGivenEdges) {
  struct Case {
    const char* what;
    std::function<void(Edges&)> change;
    int verdict;  // the boundary's verdict
    bool refused;  // on this side of the boundary
  };
  const Case cases[] = {
      {"an upper edge at 121", [](Edges& e) { e.upper[200] = 121; }, 2002, true},
      {"an upper edge at 120", [](Edges& e) { e.upper[200] = 120; }, 2002, false},
      {"a lower edge at 119", [](Edges& e) { e.lower[30] = 119; }, 2002, true},
      {"a lower edge at 120", [](Edges& e) { e.lower[30] = 120; }, 2002, false},
      {"edges 95 rows apart", [](Edges& e) { e.lower.fill(155); }, 2003, true},
      {"edges 96 rows apart", [](Edges& e) { e.lower.fill(156); }, 2003, false},
      {"widest lower less highest upper decides",
       [](Edges& e) { e.lower.fill(150); e.lower[300] = 156; }, 2003, false},
      {"111 columns without edges",
       [](Edges& e) { for (int c = 0; c < 111; ++c) e.upper[c] = e.lower[c] = 0; }, 2005, true},
      {"110 columns without edges",
       [](Edges& e) { for (int c = 0; c < 110; ++c) e.upper[c] = e.lower[c] = 0; }, 2005, false},
      {"a column with one edge is not empty",
       [](Edges& e) { for (int c = 0; c < 111; ++c) e.lower[c] = 0; }, 2005, false},
  };
  for (int mode = 0; mode < 3; ++mode) {
    for (const Case& c : cases) {
      Edges e;
      c.change(e);
      const int verdict = e.Judge(mode);
      if (c.refused) {
        EXPECT_EQ(verdict, c.verdict) << c.what << ", mode " << mode;
      } else {
        EXPECT_NE(verdict, c.verdict) << c.what << ", mode " << mode;
      }
    }
  }
}

TEST_F(QualityCheck, DarknessAndBandLimitBoundaries) {
  const Edges e;
  for (int mode = 0; mode < 3; ++mode) {
    // The finger pixels are exactly the slab's: their mean is its grey level.
    std::array<float, 6> p{};
    EXPECT_EQ(e.Judge(mode, p, fvq::Slab(60, 181, 0, 320, 14)), 2006) << "mode " << mode;
    p = {};
    EXPECT_NE(e.Judge(mode, p, fvq::Slab(60, 181, 0, 320, 15)), 2006) << "mode " << mode;
  }
  // Modes 1 and 2 accept a band measure equal to the limit.
  const Image finger = simfinger::FingerImage(4, 0);
  Edges found;
  for (int mode = 1; mode < 3; ++mode) {
    ASSERT_EQ(VLT_FV_Init(mode), 0);
    ASSERT_EQ(veltrum::FindFingerEdgesMode12(finger.data(), found.upper.data(),
                                             found.lower.data()), 0);
    std::array<float, 6> p{};
    ASSERT_EQ(found.Judge(mode, p, finger), 0);
    const float m = p[5];
    p = {0, 0, m, 0, 0, 0};
    EXPECT_EQ(found.Judge(mode, p, finger), 0) << "mode " << mode;
    p = {0, 0, std::nextafter(m, 1.0f), 0, 0, 0};
    EXPECT_EQ(found.Judge(mode, p, finger), 2001) << "mode " << mode;
    EXPECT_EQ(p[5], m);
  }
}

TEST_F(QualityCheck, AnEmptyCropIsRefusedBeforeAnythingIsAllocated) {
  struct Case {
    const char* what;
    std::function<void(Edges&)> change;
    int verdict;
  };
  const Case cases[] = {
      // Right of column 160 no column holds both edges: no width.
      {"no finger right of the middle",
       [](Edges& e) { for (int c = 161; c < 320; ++c) e.lower[c] = 0; }, 2005},
      {"no finger left of column 33 or right of 32", 
       [](Edges& e) { for (int c = 33; c < 320; ++c) e.upper[c] = 0; }, 2005},
      // The lowest upper edge meets the highest lower edge: no height.
      {"edges meet at row 120", [](Edges& e) { e.upper[10] = 120; e.lower[300] = 120; }, 2003},
  };
  for (const Case& c : cases) {
    Edges e;
    c.change(e);
    veltrum::FailNthAllocation(1);
    EXPECT_EQ(e.Judge(), c.verdict) << c.what;
    EXPECT_FALSE(veltrum::AllocationAllowed()) << c.what << ": something was allocated";
    veltrum::FailNthAllocation(0);
  }
}

TEST_F(QualityCheck, EveryAllocationFailureEndsTheCheckWithAFailureStatus) {
  const Image good = simfinger::FingerImage(2, 0);
  for (int mode = 0; mode < 3; ++mode) {
    ASSERT_EQ(VLT_FV_Init(mode), 0);
    std::vector<int> statuses;
    for (int n = 1; n < 60; ++n) {
      veltrum::FailNthAllocation(n);
      const int status = Quality(good, kPlain);
      veltrum::FailNthAllocation(0);
      if (status == 0) break;  // every allocation of the check has been failed once
      statuses.push_back(status);
    }
    ASSERT_GT(statuses.size(), 12u) << "mode " << mode;
    EXPECT_EQ(statuses.front(), 3012) << "mode " << mode << ": the edge search";
    int median = 0;
    for (int status : statuses) {
      // The masked median reports its own -1, both times it runs; nothing else gives a verdict.
      if (status == -1) {
        ++median;
      } else {
        EXPECT_EQ(status, 3012) << "mode " << mode;
      }
    }
    EXPECT_EQ(median, 2) << "mode " << mode;
  }
}

// Every column with both edges has its lower edge above its upper one, so no finger pixel is
// counted: the mean grey level is undefined and the capture is refused as too dark.
TEST_F(QualityCheck, NoFingerPixelIsTooDark) {
  Edges e;
  e.upper.fill(50);
  e.lower.fill(-5);
  e.upper[0] = 0;
  e.lower[0] = 200;
  for (int mode = 0; mode < 3; ++mode) {
    std::array<float, 6> p = {0.05f, 0.0001f, 0, 0, 0, 0};
    EXPECT_EQ(e.Judge(mode, p), 2006) << mode;
    EXPECT_EQ(p[5], 0.0f) << mode;
  }
}

TEST_F(QualityCheck, RandomEdgeRecordsEndInAVerdict) {
  const Image finger = simfinger::FingerImage(3, 0);
  const std::set<int> verdicts = {0, 2001, 2002, 2003, 2005, 2006};
  simfinger::Random rng(20260);
  std::map<int, int> seen;
  for (int i = 0; i < 500; ++i) {
    std::array<std::int16_t, 320> upper, lower;
    // Any 16-bit value, or rows around a finger whose edges may leave the frame or cross.
    const bool wild = i % 5 == 0;
    const int highestUpper = rng.UniformInt(-10, 120), lowestLower = rng.UniformInt(120, 250);
    const int gaps = rng.UniformInt(0, 3);  // in tenths of the columns
    for (int c = 0; c < 320; ++c) {
      if (wild) {
        upper[c] = static_cast<std::int16_t>(rng.UniformInt(-32768, 32767));
        lower[c] = static_cast<std::int16_t>(rng.UniformInt(-32768, 32767));
        continue;
      }
      upper[c] = static_cast<std::int16_t>(rng.UniformInt(highestUpper - 60, highestUpper));
      lower[c] = static_cast<std::int16_t>(rng.UniformInt(lowestLower, lowestLower + 60));
      if (rng.UniformInt(0, 9) < gaps) upper[c] = 0;
      if (rng.UniformInt(0, 9) < gaps) lower[c] = 0;
    }
    const int mode = i % 3;
    std::array<float, 6> p = {0.05f, 0.1f, 0, 0, 0, 0};
    veltrum::FillQualityLimits(p.data(), mode);
    const int verdict =
        veltrum::JudgeFingerEdges(finger.data(), p.data(), upper.data(), lower.data(), mode);
    ASSERT_TRUE(verdicts.count(verdict)) << "record " << i << " gave " << verdict;
    ++seen[verdict];
  }
  // The records reach every test, the band's included.
  EXPECT_GT(seen[0] + seen[2001] + seen[2006], 100);
}

TEST_F(QualityCheck, ModeZeroAcceptanceRules) {
  struct Case {
    float r1, m, s;
    bool accepted;
  };
  constexpr float kLimit = 0.081f;
  const Case cases[] = {
      {0.09f, 0.06f, 0.5f, true},    // above the limit, contrasty, some structure
      {0.09f, 0.05f, 0.5f, false},
      {0.101f, 0.0f, 0.0f, true},    // plenty of bright pixels alone
      {0.085f, 0.09f, 0.4f, true},   // above the limit, flat, more structure
      {0.085f, 0.07f, 0.4f, false},
      {0.095f, 0.06f, 0.4f, true},   // well above, flat, some structure
      {0.07f, 0.09f, 0.5f, true},    // below the limit with much structure
      {0.06f, 0.09f, 0.5f, false},
      {0.09f, 0.06f, 0.415f, false}, // a contrast of exactly 0.415 satisfies neither side
      {0.095f, 0.07f, 0.415f, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(veltrum::AcceptsBand(c.r1, c.m, c.s, kLimit), c.accepted)
        << c.r1 << " " << c.m << " " << c.s;
  }
}

}  // namespace
