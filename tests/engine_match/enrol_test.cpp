#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "api/operations.h"
#include "core/alloc.h"
#include "core/status.h"
#include "enrol/enrol_order.h"
#include "enrol/match_enroll_pair.h"
#include "enrol/merge_enroll_features.h"
#include "feature/filter_bank.h"
#include "feature/grid_origin.h"
#include "match/match_block_to_model.h"
#include "model/cell_vector.h"
#include "match_fixtures.h"
#include "veltrum.h"

namespace {

using veltrum::FeatureBlock;
using veltrum::VeinModel;

TEST(EnrolOrder, LeaderHasTheHighestTotalAndOthersFollowByScore) {
  struct Case {
    const char* what;
    int images;
    veltrum::PairScores score;
    std::array<int, 3> order;
  };
  const Case cases[] = {
      {"two: the higher total leads", 2, {{{0, 400, 0}, {500, 0, 0}, {0, 0, 0}}}, {1, 0, 2}},
      {"two equal: the lower index leads", 2, {{{0, 450, 0}, {450, 0, 0}, {0, 0, 0}}}, {0, 1, 2}},
      {"three by score", 3, {{{0, 300, 600}, {300, 0, 350}, {650, 200, 0}}}, {0, 2, 1}},
      {"three, a tie for second place", 3, {{{0, 100, 100}, {0, 0, 0}, {0, 0, 0}}}, {0, 1, 2}},
      {"all scores 0: index order", 3, {{{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}}, {0, 1, 2}},
      {"one score only", 3, {{{0, 0, 0}, {700, 0, 0}, {0, 0, 0}}}, {1, 0, 2}},
      {"the last scores 0 against both", 3, {{{0, 0, 0}, {0, 0, 0}, {500, 500, 0}}}, {2, 0, 1}},
      // Totals 300, 300, 500; then S[2][1] = 500 beats S[2][0] = 0, though S[0][2] > S[1][2].
      {"a later place reads placed against candidate", 3, {{{0, 100, 200}, {300, 0, 0}, {0, 500, 0}}},
       {2, 1, 0}},
  };
  for (const auto& c : cases) EXPECT_EQ(veltrum::EnrolOrder(c.score, c.images), c.order) << c.what;
}

TEST(EnrolOrder, ThirdCaptureWeightFollowsItsScore) {
  const int cases[][2] = {{0, 0}, {34, 0}, {35, 1}, {300, 4}, {594, 8}, {595, 9}, {600, 9}, {999, 9}};
  for (const auto& c : cases) EXPECT_EQ(veltrum::ThirdImageWeight(c[0]), c[1]) << c[0];
}

TEST(MatchEnrollPair, FindsAShiftedCopyAndRefusesBlocksWithoutCoverage) {
  const FeatureBlock reference = matchtest::RandomBlock(31);
  struct Case {
    int rs, cs;
  };
  const Case cases[] = {{0, 0}, {2, 0}, {-4, 0}, {6, 0}, {-4, 6}, {6, -8}, {-2, 8}};
  for (const auto& c : cases) {
    FeatureBlock other{};  // cell (r, c) of the reference lands on (r + rs, c + cs)
    for (int r = 0; r < veltrum::kGridRows; ++r) {
      for (int col = 0; col < veltrum::kGridCols; ++col) {
        const int tr = r + c.rs, tc = col + c.cs;
        if (tr < 0 || tr >= veltrum::kGridRows || tc < 0 || tc >= veltrum::kGridCols) continue;
        const int from = r * veltrum::kGridCols + col, to = tr * veltrum::kGridCols + tc;
        std::memcpy(other.cellVectors[to], reference.cellVectors[from], 8);
        std::memcpy(other.codeRows[to], reference.codeRows[from], 16);
        other.coverage15[to] = other.coverage27[to] = 255;
      }
    }
    // From a centre one row off, the fine passes land on the copy.
    std::int8_t row = static_cast<std::int8_t>(c.rs + (c.rs < 6 ? 1 : -1)), col = static_cast<std::int8_t>(c.cs);
    EXPECT_GT(veltrum::MatchEnrollPair(row, col, reference, other), 800);
    EXPECT_EQ(row, c.rs);
    EXPECT_EQ(col, c.cs);
    // The full search finds a row shift in its first pass, but its fine row pass (steps of 2)
    // tries only the rows one above and below.
    if (c.cs != 0) continue;
    row = veltrum::kShiftSearchFull;
    col = 0;
    veltrum::MatchEnrollPair(row, col, reference, other);
    EXPECT_EQ(std::abs(row - c.rs), 1) << c.rs << "," << c.cs;
    EXPECT_LE(std::abs(col - c.cs), 1) << c.rs << "," << c.cs;
  }
  FeatureBlock bare = reference;
  std::memset(bare.coverage27, 0, sizeof bare.coverage27);
  std::int8_t row = veltrum::kShiftSearchFull, col = 0;
  EXPECT_FALSE(veltrum::ScoreEnrollShift(reference, bare, 0, 0).defined);
  EXPECT_EQ(veltrum::MatchEnrollPair(row, col, reference, bare), 0);
  EXPECT_EQ(row, 0);
  EXPECT_EQ(col, 0);
}

TEST(MatchEnrollPair, BestBlockKeepsTheLowestOnATie) {
  const FeatureBlock reference = matchtest::RandomBlock(41);
  FeatureBlock bare = reference;
  std::memset(bare.coverage15, 0, sizeof bare.coverage15);
  std::memset(bare.coverage27, 0, sizeof bare.coverage27);
  struct Case {
    bool good[3];
    int block;
  };
  const Case cases[] = {{{true, true, true}, 0}, {{false, true, true}, 1}, {{false, false, true}, 2},
                        {{false, false, false}, 0}};
  for (const auto& c : cases) {
    FeatureBlock blocks[3];
    for (int g = 0; g < 3; ++g) blocks[g] = c.good[g] ? reference : bare;
    EXPECT_EQ(veltrum::BestEnrolBlock(reference, blocks).block, c.block);
  }
}

TEST(MergeEnrollFeatures, CellsOffTheGridAreLeftOut) {
  const FeatureBlock reference = matchtest::RandomBlock(51), other = matchtest::RandomBlock(52);
  std::vector<std::int32_t> refTable(veltrum::kResponseEntries), otherTable(veltrum::kResponseEntries),
      result(veltrum::kResponseEntries, -1);
  for (int i = 0; i < veltrum::kResponseEntries; ++i) {
    refTable[i] = 1000 + i % 977;
    otherTable[i] = 5000 + i % 1013;
  }
  auto running = std::make_unique<veltrum::MergeRunning>();
  veltrum::StartMerge(*running, reference);
  FeatureBlock merged;
  // Shift (6, 8): output (r, c) reads reference (r - 2, c - 3) and other (r + 4, c + 5).
  veltrum::MergeEnrollFeatures(merged, reference, other, refTable.data(), otherTable.data(),
                               *running, 6, 8, 10, result.data());
  struct Case {
    const char* what;
    int row, col;
    int refCell, otherCell;  // -1: off the grid
  };
  const Case cases[] = {
      {"only the other", 0, 0, -1, 4 * 22 + 5},
      {"only the reference", 14, 21, 12 * 22 + 18, -1},
      {"neither", 0, 21, -1, -1},
      {"both", 5, 5, 3 * 22 + 2, 9 * 22 + 10},
  };
  for (const auto& c : cases) {
    const int cell = c.row * 22 + c.col;
    const std::int32_t* out = result.data() + cell * veltrum::kCellResponses;
    for (int k = 0; k < veltrum::kCellResponses; ++k) {
      if (c.otherCell < 0 && c.refCell < 0) {
        ASSERT_EQ(out[k], 0) << c.what;
      } else if (c.otherCell < 0) {
        ASSERT_EQ(out[k], refTable[c.refCell * 112 + k]) << c.what;
      } else if (c.refCell < 0) {
        ASSERT_EQ(out[k], otherTable[c.otherCell * 112 + k]) << c.what;
      } else {  // equal weights: the rounded mean
        ASSERT_EQ(out[k], (refTable[c.refCell * 112 + k] + otherTable[c.otherCell * 112 + k] + 1) / 2)
            << c.what;
      }
    }
    EXPECT_EQ(merged.coverage27[cell], c.refCell < 0 && c.otherCell < 0 ? 0 : 255) << c.what;
    EXPECT_EQ(running->weight27[cell],
              c.refCell < 0 && c.otherCell < 0 ? 1 : (c.refCell >= 0) * 255 + (c.otherCell >= 0) * 255)
        << c.what;
  }
}

TEST(MergeEnrollFeatures, WeightedMeansAreExactAtAnyWeight) {
  std::mt19937_64 rng(53);
  FeatureBlock reference = matchtest::RandomBlock(53), other = matchtest::RandomBlock(54);
  for (int c = 0; c < veltrum::kGridCells; ++c) {
    reference.coverage15[c] = static_cast<std::uint8_t>(rng());
    reference.coverage27[c] = static_cast<std::uint8_t>(rng());
    other.coverage15[c] = static_cast<std::uint8_t>(rng());
    other.coverage27[c] = static_cast<std::uint8_t>(rng());
  }
  // Values over the whole 32-bit range, where products leave 32 bits and quotients sit close to
  // whole numbers.
  std::vector<std::int32_t> refTable(veltrum::kResponseEntries), otherTable(veltrum::kResponseEntries),
      result(veltrum::kResponseEntries);
  for (auto* table : {&refTable, &otherTable}) {
    for (auto& v : *table) v = static_cast<std::int32_t>(static_cast<std::uint32_t>(rng()));
  }
  // Weight 10 as enrolment merges; 90000 tenths puts the summed weights past 2^21, 8000000 the
  // products past 2^53; a negative weight leaves the weighted mean range.
  for (int weight : {10, 90000, 8000000, -10}) {
    auto running = std::make_unique<veltrum::MergeRunning>();
    veltrum::StartMerge(*running, reference);
    FeatureBlock merged;
    // Shift (0, 0): every output cell merges the same cell of both blocks.
    veltrum::MergeEnrollFeatures(merged, reference, other, refTable.data(), otherTable.data(),
                                 *running, 0, 0, weight, result.data());
    for (int cell = 0; cell < veltrum::kGridCells; ++cell) {
      const std::int64_t wr = reference.coverage27[cell], wo = other.coverage27[cell] * weight / 10;
      const std::int64_t w = std::max<std::int64_t>(1, wr + wo);
      for (int k = 0; k < veltrum::kCellResponses; ++k) {
        const int i = cell * veltrum::kCellResponses + k;
        ASSERT_EQ(result[i], static_cast<std::int32_t>((refTable[i] * wr + otherTable[i] * wo + w / 2) / w))
            << "weight " << weight << " entry " << i;
      }
      const std::int64_t vr = reference.coverage15[cell], vo = other.coverage15[cell] * weight / 10;
      const std::int64_t v = std::max<std::int64_t>(1, vr + vo);
      for (int t = 0; t < 16; ++t) {
        const std::int64_t a = veltrum::CellNibble(reference.cellVectors[cell], t);
        const std::int64_t b = veltrum::CellNibble(other.cellVectors[cell], t);
        ASSERT_EQ(running->values[cell][t], (a * vr + b * vo + v / 2) / v)
            << "weight " << weight << " cell " << cell << " value " << t;
      }
    }
  }
}

class Enrol : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(VLT_FV_Init(0), 0); }
  std::vector<std::uint8_t> capture[5] = {matchtest::FingerCapture(800, 0), matchtest::FingerCapture(800, 1),
                                          matchtest::FingerCapture(800, 2), matchtest::FingerCapture(800, 3),
                                          matchtest::FingerCapture(800, 4)};
  const std::vector<std::uint8_t> flat = std::vector<std::uint8_t>(320 * 240, 90);

  int Enroll(int images, std::vector<unsigned char>& model) {
    return VLT_FV_Enroll(capture[0].data(), images > 1 ? capture[1].data() : nullptr,
                         images > 2 ? capture[2].data() : nullptr, 240, 320, nullptr, model.data());
  }
  float Similarity(const std::vector<unsigned char>& model, int c) {
    float similarity = -1;
    EXPECT_EQ(VLT_FV_Match(capture[c].data(), 240, 320, model.data(), &similarity), 0);
    return similarity;
  }
};

TEST_F(Enrol, TemplatesFromOneToThreeCapturesAcceptLaterCaptures) {
  for (int images = 1; images <= 3; ++images) {
    std::vector<unsigned char> model(kVltModelBytes, 0xA5);
    ASSERT_EQ(Enroll(images, model), 0) << images;
    const VeinModel m = veltrum::LoadModel(model.data());
    EXPECT_EQ(m.gridStep, 6);
    EXPECT_EQ(m.spare[0], 0xA5);
    EXPECT_EQ(m.spare[1], 0xA5);
    for (const auto& row : m.codeRows) EXPECT_EQ(row[3] & 0xFFFFFF00u, 0u);
    EXPECT_GE(Similarity(model, 3), 0.7f) << images;
    EXPECT_GE(Similarity(model, 4), 0.7f) << images;
  }
}

TEST_F(Enrol, EveryByteOfAMergedTemplateIsDeterministic) {
  std::vector<unsigned char> a(kVltModelBytes, 0x00), b(kVltModelBytes, 0xFF);
  for (int images : {2, 3}) {
    ASSERT_EQ(Enroll(images, a), 0);
    ASSERT_EQ(Enroll(images, b), 0);
    EXPECT_TRUE(std::equal(a.begin(), a.begin() + 3350, b.begin())) << images;
    // Edge pairs and grid values come from the leading capture's tilt-0 block.
    const VeinModel m = veltrum::LoadModel(a.data());
    EXPECT_EQ(m.gridOrigin, veltrum::ComputeGridOrigin(&m.edgePairs[0][0]).origin);
    EXPECT_GT(m.edgePairs[30][1], m.edgePairs[30][0]);
  }
}

TEST_F(Enrol, FailuresReturnTheirStatusAndLeaveTheBufferAlone) {
  std::vector<unsigned char> model(kVltModelBytes, 0x3C);
  const std::vector<unsigned char> untouched = model;
  EXPECT_EQ(VLT_FV_Enroll(capture[0].data(), capture[1].data(), flat.data(), 240, 320, nullptr,
                          model.data()),
            veltrum::kFingerTooSmall);
  EXPECT_EQ(model, untouched);
  EXPECT_EQ(veltrum::EnrollModel(capture[0].data(), nullptr, capture[2].data(), model.data()),
            veltrum::kNoImage);
  for (int n = 1;; ++n) {
    veltrum::FailNthAllocation(n);
    const int status = veltrum::EnrollModel(capture[0].data(), nullptr, nullptr, model.data());
    veltrum::FailNthAllocation(0);
    if (status == 0) break;
    EXPECT_TRUE(status == veltrum::kOutOfMemory || status == -1) << n << ": " << status;
    ASSERT_EQ(model, untouched) << n;
    ASSERT_LT(n, 500);
  }
}

}  // namespace
