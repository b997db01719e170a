#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "api/operations.h"
#include "match/agreement_table.h"
#include "match/match_block_to_model.h"
#include "match/shift_search.h"
#include "match_fixtures.h"
#include "veltrum.h"

namespace {

using veltrum::FeatureBlock;
using veltrum::VeinFeature;
using veltrum::VeinModel;

TEST(AgreementTable, CountsAgreeingBitsOfElevenBitCodes) {
  EXPECT_EQ(veltrum::AgreementTable[0], 11);
  EXPECT_EQ(veltrum::AgreementTable[0x7FF], 0);
  EXPECT_EQ(veltrum::AgreementTable[0x401], 9);
  const std::uint32_t row[4] = {0x12345678, 0x9ABCDEF0, 0x0F0F0F0F, 0xA5};
  const std::uint32_t inverse[4] = {~row[0], ~row[1], ~row[2], ~row[3] & 0xFF};
  EXPECT_EQ(veltrum::CodeRowAgreement(row, row), 132);
  EXPECT_EQ(veltrum::CodeRowAgreement(row, inverse), 28);  // the unused 24 bits still agree

  // The row count is the table's twelve 11-bit terms, whatever the bits (all 32 of each word).
  std::mt19937 random(3);
  for (int trial = 0; trial < 1000; ++trial) {
    std::uint32_t a[4], b[4];
    for (int w = 0; w < 4; ++w) {
      a[w] = static_cast<std::uint32_t>(random());
      b[w] = trial % 2 == 0 ? static_cast<std::uint32_t>(random()) : a[w] ^ (1u << (trial % 32));
    }
    int terms = 0;
    for (int w = 0; w < 4; ++w) {
      for (int f = 0; f < 3; ++f) terms += veltrum::AgreementTable[((a[w] ^ b[w]) >> (11 * f)) & 0x7FF];
    }
    EXPECT_EQ(veltrum::CodeRowAgreement(a, b), terms) << trial;
  }
}

TEST(BlockShiftScore, PeaksAtTheShiftTheTemplateWasCutAt) {
  const FeatureBlock block = matchtest::RandomBlock(7);
  const int shifts[][2] = {{0, 0}, {3, -2}, {-4, 5}, {1, 1}, {-1, -7}};
  for (const auto& s : shifts) {
    const VeinModel model = matchtest::ModelCutFrom(block, s[0], s[1]);
    for (int pass : {0, 3}) {
      const auto at = veltrum::ScoreBlockShift(model, block, s[0], s[1], pass);
      ASSERT_TRUE(at.defined);
      for (int rs = -6; rs <= 6; ++rs) {
        for (int cs = -8; cs <= 8; ++cs) {
          if (rs == s[0] && cs == s[1]) continue;
          const auto other = veltrum::ScoreBlockShift(model, block, rs, cs, pass);
          EXPECT_LT(other.value, at.value - 200) << s[0] << "," << s[1] << " vs " << rs << "," << cs;
        }
      }
    }
  }
}

TEST(MatchBlockToModel, FineSearchFromACentreOneRowOffFindsTheShift) {
  const FeatureBlock block = matchtest::RandomBlock(11);
  struct Case {
    int rs, cs;            // where the template was cut
    int startRow, startCol;
  };
  const Case cases[] = {
      {0, 0, 1, 0}, {0, 0, -1, 0}, {3, -2, 2, -2}, {6, 8, 5, 8}, {-6, -8, -6, -8}, {-6, -8, -5, -8},
  };
  for (const auto& c : cases) {
    const VeinModel model = matchtest::ModelCutFrom(block, c.rs, c.cs);
    std::int8_t row = static_cast<std::int8_t>(c.startRow), col = static_cast<std::int8_t>(c.startCol);
    const int raw = veltrum::MatchBlockToModel(row, col, model, block);
    EXPECT_EQ(row, c.rs);
    EXPECT_EQ(col, c.cs);
    EXPECT_EQ(raw, std::min(999, veltrum::ScoreBlockShift(model, block, c.rs, c.cs, 3).value));
    EXPECT_GT(raw, 700);
  }
}

TEST(MatchBlockToModel, AStartOtherThanTwentyMovesAtMostOneRowAndOneColumn) {
  // Against another block a full search wanders; the fine passes alone cannot.
  const FeatureBlock block = matchtest::RandomBlock(3);
  const VeinModel model = matchtest::ModelCutFrom(matchtest::RandomBlock(4), 0, 0);
  const int starts[][2] = {{0, 0}, {4, -6}, {-6, 8}, {2, 3}, {19, 0}, {21, 0}};
  for (const auto& s : starts) {
    std::int8_t row = static_cast<std::int8_t>(s[0]), col = static_cast<std::int8_t>(s[1]);
    veltrum::MatchBlockToModel(row, col, model, block);
    EXPECT_LE(std::abs(row - s[0]), 1) << s[0] << "," << s[1];
    EXPECT_LE(std::abs(col - s[1]), 1) << s[0] << "," << s[1];
  }
  // A start outside the shift limits tries only shifts that are skipped: the centre stays.
  std::int8_t row = 19, col = 0;
  EXPECT_EQ(veltrum::MatchBlockToModel(row, col, model, block), 0);
  EXPECT_EQ(row, 19);
}

TEST(MatchBlockToModel, FullSearchEndsWithinTheShiftLimits) {
  for (std::uint64_t seed : {1u, 2u, 3u}) {
    const FeatureBlock block = matchtest::RandomBlock(seed);
    for (const auto& m : {matchtest::ModelCutFrom(block, 6, 8), matchtest::ModelCutFrom(block, -6, -8),
                          matchtest::ModelCutFrom(matchtest::RandomBlock(seed + 100), 0, 0)}) {
      std::int8_t row = veltrum::kShiftSearchFull, col = 0;
      const int raw = veltrum::MatchBlockToModel(row, col, m, block);
      EXPECT_LE(std::abs(row), 6);
      EXPECT_LE(std::abs(col), 8);
      EXPECT_GE(raw, 0);
      EXPECT_LE(raw, 999);
    }
  }
}

TEST(MatchBlockToModel, ShiftsWithoutWeightAreNeverChosen) {
  const FeatureBlock block = matchtest::RandomBlock(5);
  struct Case {
    const char* what;
    bool blockCoverage, modelWeights;
  };
  const Case cases[] = {{"probe off the finger", false, true}, {"template without weights", true, false}};
  for (const auto& c : cases) {
    FeatureBlock probe = block;
    VeinModel model = matchtest::ModelCutFrom(block, 0, 0);
    if (!c.blockCoverage) {
      std::memset(probe.coverage15, 0, sizeof probe.coverage15);
      std::memset(probe.coverage27, 0, sizeof probe.coverage27);
    }
    if (!c.modelWeights) {
      std::memset(model.cellWeights, 0, sizeof model.cellWeights);
      std::memset(model.codeWeights, 0, sizeof model.codeWeights);
    }
    EXPECT_FALSE(veltrum::ScoreBlockShift(model, probe, 0, 0, 3).defined) << c.what;
    std::int8_t row = veltrum::kShiftSearchFull, col = 0;
    EXPECT_EQ(veltrum::MatchBlockToModel(row, col, model, probe), 0) << c.what;
    EXPECT_EQ(row, 0) << c.what;
    EXPECT_EQ(col, 0) << c.what;
  }
  // Only the code weights gone: the dot-product weight alone does not make a score.
  FeatureBlock probe = block;
  std::memset(probe.coverage27, 0, sizeof probe.coverage27);
  std::int8_t row = 1, col = 1;
  EXPECT_EQ(veltrum::MatchBlockToModel(row, col, matchtest::ModelCutFrom(block, 1, 1), probe), 0);
}

TEST(MatchFeatureToModel, TheLowestBlockWinsATie) {
  // A block off the finger scores nothing and leaves the centre where it was.
  const FeatureBlock good = matchtest::RandomBlock(21);
  FeatureBlock poor = good;
  std::memset(poor.coverage15, 0, sizeof poor.coverage15);
  std::memset(poor.coverage27, 0, sizeof poor.coverage27);
  const VeinModel model = matchtest::ModelCutFrom(good, 0, 0);
  struct Case {
    const char* what;
    bool good[3];
    int block;
  };
  const Case cases[] = {
      {"all equal", {true, true, true}, 0},
      {"last two equal", {false, true, true}, 1},
      {"only the last", {false, false, true}, 2},
  };
  for (const auto& c : cases) {
    VeinFeature feature;
    for (int b = 0; b < 3; ++b) feature.blocks[b] = c.good[b] ? good : poor;
    std::int8_t row = 0, col = 0;  // fine passes from the right centre for every block
    const auto match = veltrum::MatchBlocksToModel(row, col, model, feature);
    EXPECT_EQ(match.block, c.block) << c.what;
    EXPECT_GT(match.raw, 700) << c.what;
  }
}

TEST(MatchFeatureToModel, SyntheticFingersAcceptTheSameFingerAndRefuseOthers) {
  ASSERT_EQ(VLT_FV_Init(0), 0);
  const VeinModel& model = matchtest::FingerModel(900);
  struct Case {
    std::uint64_t seed;
    int capture;
    bool same;
  };
  const Case cases[] = {{900, 3, true}, {900, 4, true}, {901, 3, false}, {902, 4, false}};
  for (const auto& c : cases) {
    float similarity = -1;
    ASSERT_EQ(VLT_FV_MatchFeature(reinterpret_cast<const unsigned char*>(&model),
                                  reinterpret_cast<const unsigned char*>(&matchtest::FingerFeature(c.seed, c.capture)),
                                  &similarity),
              0);
    if (c.same) {
      EXPECT_GE(similarity, 0.7f) << c.seed;
    } else {
      EXPECT_LT(similarity, 0.5f) << c.seed;
    }
    // The image path extracts the same feature and gives the same similarity.
    float fromImage = -1;
    const auto image = matchtest::FingerCapture(c.seed, c.capture);
    ASSERT_EQ(VLT_FV_Match(image.data(), 240, 320, reinterpret_cast<const unsigned char*>(&model),
                           &fromImage),
              0);
    EXPECT_EQ(fromImage, similarity);
  }
}

TEST(MatchImageToModel, ExtractionFailuresPassThroughAndLeaveTheSimilarity) {
  ASSERT_EQ(VLT_FV_Init(0), 0);
  const std::vector<unsigned char> flat(320 * 240, 90);
  const VeinModel& model = matchtest::FingerModel(900);
  float similarity = 0.25f;
  EXPECT_EQ(VLT_FV_Match(flat.data(), 240, 320, reinterpret_cast<const unsigned char*>(&model),
                         &similarity),
            3002);
  EXPECT_EQ(similarity, 0.25f);
  int raw = 7;
  EXPECT_EQ(veltrum::MatchImageToModel(nullptr, reinterpret_cast<const unsigned char*>(&model), &raw),
            3001);
  EXPECT_EQ(raw, 7);
}

}  // namespace
