#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

#include <hwy/targets.h>

#include "api/operations.h"
#include "core/alloc.h"
#include "match_fixtures.h"
#include "search/search_stages.h"
#include "veltrum.h"

namespace {

using veltrum::VeinModel;

std::vector<unsigned char> ModelList(const std::vector<const VeinModel*>& models) {
  std::vector<unsigned char> bytes(models.size() * sizeof(VeinModel));
  for (std::size_t i = 0; i < models.size(); ++i) {
    std::memcpy(bytes.data() + i * sizeof(VeinModel), models[i], sizeof(VeinModel));
  }
  return bytes;
}

TEST(CoarseScreen, DotProductIsMovedIntoFifteenBits) {
  struct Case {
    std::vector<std::int8_t> probe, model;
    int value;
  };
  const Case cases[] = {
      {{}, {}, 16384},
      {{127, 127, 127, 127, 127}, {127, 127, 127, 127, 8}, 32767},             // 65532
      {{127, 127, 127, 127, 127}, {127, 127, 127, 127, 7}, 32735},             // 65405
      {{127, 127, 127, 127, 127, 1}, {-127, -127, -127, -127, -8, -1}, 0},     // -65533
      {{127, 127, 127, 127, 127}, {-127, -127, -127, -127, -8}, 1},            // -65532
      {std::vector<std::int8_t>(240, 127), std::vector<std::int8_t>(240, 127), 32767},
      {std::vector<std::int8_t>(240, 127), std::vector<std::int8_t>(240, -128), 0},
  };
  for (const auto& c : cases) {
    std::int8_t probe[240] = {}, model[240] = {};
    std::copy(c.probe.begin(), c.probe.end(), probe);
    std::copy(c.model.begin(), c.model.end(), model);
    EXPECT_EQ(veltrum::CoarseScreenValue(probe, model), c.value);
  }
}

// The vector form of the coarse screen against the plain one, in every vector width this
// processor can run: random vectors over the whole byte range, the extremes, and single terms
// at every place (also those that two vectors overlap).
TEST(CoarseScreen, VectorsGiveThePlainValue) {
  std::vector<std::pair<std::vector<std::int8_t>, std::vector<std::int8_t>>> cases;
  std::mt19937 random(5);
  for (int trial = 0; trial < 200; ++trial) {
    std::vector<std::int8_t> a(240), b(240);
    for (auto& v : a) v = static_cast<std::int8_t>(random());
    for (auto& v : b) v = static_cast<std::int8_t>(random() % (1 + trial));
    cases.emplace_back(a, b);
  }
  cases.emplace_back(std::vector<std::int8_t>(240, -128), std::vector<std::int8_t>(240, -128));
  cases.emplace_back(std::vector<std::int8_t>(240, 127), std::vector<std::int8_t>(240, -128));
  for (int k = 0; k < 240; ++k) {
    std::vector<std::int8_t> a(240, 0), b(240, 0);
    a[k] = 100;
    b[k] = static_cast<std::int8_t>(k % 2 ? 90 : -90);
    cases.emplace_back(a, b);
  }
  for (const std::int64_t target : hwy::SupportedAndGeneratedTargets()) {
    hwy::SetSupportedTargetsForTest(target);
    for (std::size_t i = 0; i < cases.size(); ++i) {
      const auto& [a, b] = cases[i];
      ASSERT_EQ(veltrum::CoarseScreenValueSimd(a.data(), b.data()),
                veltrum::CoarseScreenValue(a.data(), b.data()))
          << "case " << i << " on " << hwy::TargetName(target);
    }
  }
  hwy::SetSupportedTargetsForTest(0);
}

TEST(KeepThreshold, AdmitsTheKeepCountAndEveryTie) {
  struct Case {
    const char* what;
    std::vector<int> values;
    std::size_t keep;
    int threshold;
  };
  std::vector<int> distinct(500);
  for (int i = 0; i < 500; ++i) distinct[i] = 1000 + 7 * i;
  const Case cases[] = {
      {"500 distinct: the 101st highest", distinct, 100, 1000 + 7 * 399},
      {"fewer than keep + 1: everything", std::vector<int>(30, 5000), 30, 0},
      {"all equal above keep: all of them", std::vector<int>(200, 5000), 100, 5000},
      {"exactly keep + 1", std::vector<int>(101, 9), 100, 9},
      {"no values", {}, 100, 0},
  };
  for (const auto& c : cases) {
    std::vector<std::int32_t> histogram(veltrum::kCoarseLevels);
    for (int v : c.values) ++histogram[v];
    EXPECT_EQ(veltrum::KeepThreshold(histogram.data(), veltrum::kCoarseLevels, c.keep), c.threshold)
        << c.what;
  }
  EXPECT_EQ(veltrum::KeepCount(30, 100), 30u);
  EXPECT_EQ(veltrum::KeepCount(10000, 100), 100u);
}

class Search : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(VLT_FV_Init(0), 0); }
  const std::vector<unsigned char> probeImage = matchtest::FingerCapture(700, 3);
  const unsigned char* probeFeature =
      reinterpret_cast<const unsigned char*>(&matchtest::FingerFeature(700, 3));
};

TEST_F(Search, FindsTheGenuineTemplateAmongDecoys) {
  std::vector<const VeinModel*> decoys;
  for (std::uint64_t seed = 701; seed < 711; ++seed) decoys.push_back(&matchtest::FingerModel(seed));
  struct Case {
    int count, genuineAt;
  };
  // Past 101 templates the coarse screen and both keep thresholds take part.
  const Case cases[] = {{1, 0}, {10, 7}, {30, 0}, {30, 29}, {160, 123}};
  for (const auto& c : cases) {
    std::vector<const VeinModel*> list;
    for (int i = 0; i < c.count; ++i) list.push_back(decoys[i % decoys.size()]);
    list[c.genuineAt] = &matchtest::FingerModel(700);
    const auto bytes = ModelList(list);
    int count = c.count, byImage = -1, byFeature = -1;
    float simImage = -1, simFeature = -1;
    ASSERT_EQ(VLT_FV_Index(bytes.data(), &count, probeImage.data(), &byImage, &simImage), 0);
    ASSERT_EQ(VLT_FV_IndexFeature(bytes.data(), &count, probeFeature, &byFeature, &simFeature), 0);
    EXPECT_EQ(byImage, c.genuineAt) << c.count;
    EXPECT_EQ(byFeature, c.genuineAt) << c.count;
    EXPECT_GE(simFeature, 0.7f) << c.count;
    EXPECT_EQ(simImage, simFeature);
    float matched = -1;  // the search's last stage scores as the 1:1 match does
    ASSERT_EQ(VLT_FV_MatchFeature(reinterpret_cast<const unsigned char*>(&matchtest::FingerModel(700)),
                                  probeFeature, &matched), 0);
    EXPECT_EQ(simFeature, matched) << c.count;
    EXPECT_EQ(count, c.count);  // read, never written
  }
}

TEST_F(Search, EqualTemplatesGiveTheLowerIndex) {
  const VeinModel& genuine = matchtest::FingerModel(700);
  const VeinModel& decoy = matchtest::FingerModel(701);
  const auto bytes = ModelList({&decoy, &decoy, &genuine, &decoy, &genuine, &genuine});
  int count = 6, position = -1;
  float similarity = -1;
  ASSERT_EQ(VLT_FV_IndexFeature(bytes.data(), &count, probeFeature, &position, &similarity), 0);
  EXPECT_EQ(position, 2);
}

TEST_F(Search, NoTemplatesAnswerPositionZeroWithoutAllocating) {
  const auto bytes = ModelList({&matchtest::FingerModel(700)});
  for (int count : {0, -1, -100000}) {
    int position = -1, raw = -1;
    veltrum::FailNthAllocation(1);  // any allocation would fail the call
    EXPECT_EQ(veltrum::SearchModelsByFeature(bytes.data(), &count, probeFeature, &position, &raw), 0);
    EXPECT_EQ(position, 0);
    EXPECT_EQ(raw, 0);
    position = raw = -1;
    EXPECT_EQ(veltrum::SearchModelsByImage(bytes.data(), &count, probeImage.data(), &position, &raw), 0);
    EXPECT_EQ(position, 0);
    EXPECT_EQ(raw, 0);
    veltrum::FailNthAllocation(0);
    float similarity = -1;
    EXPECT_EQ(VLT_FV_IndexFeature(bytes.data(), &count, probeFeature, &position, &similarity), 0);
    EXPECT_EQ(similarity, 0.0f);
  }
}

TEST_F(Search, FailuresLeaveThePositionAndSimilarity) {
  const auto bytes = ModelList({&matchtest::FingerModel(700)});
  const std::vector<unsigned char> flat(320 * 240, 90);
  int count = 1, position = -7;
  float similarity = 0.5f;
  EXPECT_EQ(VLT_FV_Index(bytes.data(), &count, flat.data(), &position, &similarity), 3002);
  for (int n = 1; n <= 3; ++n) {  // the score arrays
    veltrum::FailNthAllocation(n);
    EXPECT_EQ(VLT_FV_IndexFeature(bytes.data(), &count, probeFeature, &position, &similarity), -1);
  }
  veltrum::FailNthAllocation(0);
  EXPECT_EQ(position, -7);
  EXPECT_EQ(similarity, 0.5f);
}

// The search checks every template and the feature as it reads the list; the codes keep the
// order of the checks: an impossible template (wherever it lies) before an impossible feature,
// both before an allocation failure, and nothing is written on any of them.
TEST_F(Search, ChecksAnswerInTheirOrderWhateverElseFails) {
  const VeinModel& genuine = matchtest::FingerModel(700);
  VeinModel forged = matchtest::FingerModel(701);
  forged.codeRows[40][3] = 0x100;
  veltrum::VeinFeature badFeature = matchtest::FingerFeature(700, 3);
  badFeature.blocks[1].coarse[0] = 1;
  const auto* bad = reinterpret_cast<const unsigned char*>(&badFeature);
  struct Case {
    const char* what;
    std::vector<const VeinModel*> list;
    bool featureBad;
    int failAllocation;
    int status;
  };
  const std::vector<const VeinModel*> fine(150, &genuine);
  auto forgedAt = [&](std::size_t at) {
    auto list = fine;
    list[at] = &forged;
    return list;
  };
  const Case cases[] = {
      {"first template", forgedAt(0), false, 0, 4002},
      {"last template", forgedAt(149), false, 0, 4002},
      {"template and feature", forgedAt(149), true, 0, 4002},
      {"template, memory short", forgedAt(75), false, 1, 4002},
      {"template and feature, memory short", forgedAt(75), true, 4, 4002},
      {"feature", fine, true, 0, 4003},
      {"feature, memory short", fine, true, 2, 4003},
      {"feature without templates", {}, true, 0, 4003},
      {"memory short", fine, false, 3, -1},
      {"none", fine, false, 0, 0},
  };
  for (const Case& c : cases) {
    const auto bytes = ModelList(c.list.empty() ? fine : c.list);
    int count = static_cast<int>(c.list.size()), position = -7;
    float similarity = 0.5f;
    veltrum::FailNthAllocation(c.failAllocation);
    const int status = VLT_FV_IndexFeature(bytes.data(), &count, c.featureBad ? bad : probeFeature,
                                           &position, &similarity);
    veltrum::FailNthAllocation(0);
    EXPECT_EQ(status, c.status) << c.what;
    if (c.status == 0) continue;
    EXPECT_EQ(position, -7) << c.what;
    EXPECT_EQ(similarity, 0.5f) << c.what;
  }
}

// Stage 3 goes on from where each model's stage-2 match ended; a model that stage 1 kept out
// has no such match and gets the whole three-block match. Here the genuine template's coarse
// vector points away from the probe, 149 decoys with the probe's coarse vector fill stage 2 and
// score 0 there (no weights), so every model reaches stage 3 and the genuine one must score as
// the 1:1 match scores it; the probe's blocks 1 and 2 are spoilt, so block 0 decides. A search
// just before, whose models all reached stage 2, leaves its working memory to this one; none of
// it may count.
TEST_F(Search, AModelThatOnlyTheLastStageSeesGetsTheWholeMatch) {
  veltrum::VeinFeature probe = matchtest::FingerFeature(700, 3);
  for (int b = 1; b < 3; ++b) {
    for (auto& row : probe.blocks[b].codeRows) row[0] = ~row[0], row[1] = ~row[1];
  }
  const auto* probeBytes = reinterpret_cast<const unsigned char*>(&probe);
  const auto earlier = ModelList(std::vector<const VeinModel*>(150, &matchtest::FingerModel(701)));
  int count = 150, position = -1;
  float searched = -1, matched = -2;
  ASSERT_EQ(VLT_FV_IndexFeature(earlier.data(), &count, probeBytes, &position, &searched), 0);

  VeinModel genuine = matchtest::FingerModel(700);
  const VeinModel original = genuine;
  for (auto& v : genuine.coarse) v = static_cast<std::int8_t>(-v);
  VeinModel decoy = matchtest::FingerModel(701);
  std::memcpy(decoy.coarse, original.coarse, sizeof decoy.coarse);
  std::memset(decoy.cellWeights, 0, sizeof decoy.cellWeights);
  std::memset(decoy.codeWeights, 0, sizeof decoy.codeWeights);
  std::vector<const VeinModel*> list(150, &decoy);
  list[97] = &genuine;
  const auto bytes = ModelList(list);
  ASSERT_EQ(VLT_FV_IndexFeature(bytes.data(), &count, probeBytes, &position, &searched), 0);
  ASSERT_EQ(VLT_FV_MatchFeature(reinterpret_cast<const unsigned char*>(&genuine), probeBytes, &matched), 0);
  EXPECT_EQ(position, 97);
  EXPECT_EQ(searched, matched);
  EXPECT_GT(matched, 0.7f);
}

// With fewer than 50 templates every one reaches the last stage, so the search must give the
// best 1:1 score (the lowest index on a tie). The probes are made so that blocks 1 and 2 decide:
// their search goes on from where block 0 ended, so any slip in that alignment shows.
TEST_F(Search, TheLastStageScoresEveryTemplateAsTheOneToOneMatch) {
  std::vector<const VeinModel*> list;
  for (std::uint64_t seed = 700; seed < 711; ++seed) list.push_back(&matchtest::FingerModel(seed));
  list.push_back(&matchtest::FingerModel(700));
  const auto bytes = ModelList(list);
  const veltrum::VeinFeature& own = matchtest::FingerFeature(700, 3);
  // The probe's cells moved by (dr, dc) on the grid; cells moved in from outside have no weight.
  auto moved = [](const veltrum::FeatureBlock& b, int dr, int dc) {
    veltrum::FeatureBlock out = b;
    for (int r = 0; r < veltrum::kGridRows; ++r) {
      for (int c = 0; c < veltrum::kGridCols; ++c) {
        const int to = r * veltrum::kGridCols + c, fr = r - dr, fc = c - dc;
        const bool inside = fr >= 0 && fr < veltrum::kGridRows && fc >= 0 && fc < veltrum::kGridCols;
        const int from = inside ? fr * veltrum::kGridCols + fc : 0;
        std::memcpy(out.cellVectors[to], b.cellVectors[from], 8);
        std::memcpy(out.codeRows[to], b.codeRows[from], 16);
        out.coverage15[to] = inside ? b.coverage15[from] : 0;
        out.coverage27[to] = inside ? b.coverage27[from] : 0;
      }
    }
    return out;
  };
  // All blocks moved, block 0 with a third of its code bits spoilt: it still finds the
  // alignment, and blocks 1 and 2, searched only around it, score higher.
  std::vector<veltrum::VeinFeature> probes(4, own);
  for (int b = 0; b < 3; ++b) {
    probes[1].blocks[b] = moved(own.blocks[b], 3, -4);
    probes[2].blocks[b] = moved(own.blocks[b], -2, 5);
  }
  for (int p : {1, 2}) {
    for (auto& row : probes[p].blocks[0].codeRows) row[0] = ~row[0];
  }
  probes[3].blocks[0] = own.blocks[2];
  probes[3].blocks[2] = own.blocks[0];
  for (std::size_t p = 0; p < probes.size(); ++p) {
    const auto* feature = reinterpret_cast<const unsigned char*>(&probes[p]);
    int wantRaw = 0, wantPosition = 0;
    for (std::size_t i = 0; i < list.size(); ++i) {
      std::int8_t shiftRow = 20, shiftCol = 0;
      int r = 0;
      veltrum::MatchFeatureToModel(shiftRow, shiftCol, bytes.data() + i * sizeof(VeinModel), feature, &r);
      if (r > wantRaw) wantRaw = r, wantPosition = static_cast<int>(i);
    }
    int count = static_cast<int>(list.size()), position = -1, raw = -1;
    ASSERT_EQ(veltrum::SearchModelsByFeature(bytes.data(), &count, feature, &position, &raw), 0);
    EXPECT_EQ(raw, wantRaw) << "probe " << p;
    EXPECT_EQ(position, wantPosition) << "probe " << p;
  }
}

}  // namespace
