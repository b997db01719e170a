#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <hwy/targets.h>
#include <opencv2/imgcodecs.hpp>

#include "feature/cell_nibbles.h"
#include "feature/filter_bank.h"
#include "match_fixtures.h"
#include "model/possible_content_simd.h"
#include "model/possible_content.h"
#include "test_paths.h"
#include "veltrum.h"

namespace {

using veltrum::VeinFeature;
using veltrum::VeinModel;

const unsigned char* Bytes(const VeinModel& m) { return reinterpret_cast<const unsigned char*>(&m); }
const unsigned char* Bytes(const VeinFeature& f) { return reinterpret_cast<const unsigned char*>(&f); }

// Sixteen values, given as 16 nibbles, packed high nibble first.
void SetVector(std::uint8_t* vector, const std::vector<int>& values) {
  for (int j = 0; j < 8; ++j) vector[j] = static_cast<std::uint8_t>(values[2 * j] * 16 + values[2 * j + 1]);
}

// Square sum 800 is the most the nibble scale gives: eight inputs of 1 have norm 2 and values 10.
TEST(PossibleContent, CellVectorsUpToTheNibbleScale) {
  std::int32_t responses[veltrum::kCellResponses] = {};
  for (int n = 0; n < 8; ++n) responses[2 * n + 1] = 32;  // scale 0, odd orientations: 32 >> 5 = 1
  std::uint8_t made[8];
  veltrum::CellNibbles(responses, made);
  const std::uint8_t eightTens[8] = {0xAA, 0xAA, 0xAA, 0xAA, 0, 0, 0, 0};
  EXPECT_EQ(0, std::memcmp(made, eightTens, 8));
  EXPECT_TRUE(veltrum::CellVectorPossible(made));

  struct Case {
    std::vector<int> values;
    bool possible;
  } cases[] = {
      {{10, 10, 10, 10, 10, 10, 10, 10, 0, 0, 0, 0, 0, 0, 0, 0}, true},   // 800
      {{10, 10, 10, 10, 10, 10, 10, 10, 1, 0, 0, 0, 0, 0, 0, 0}, false},  // 801
      {{15, 15, 15, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, true},        // 700
      {{15, 15, 15, 12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, false},      // 819
      {std::vector<int>(16, 15), false},                                  // 3600
      {std::vector<int>(16, 0), true},
  };
  for (const Case& c : cases) {
    std::uint8_t vector[8];
    SetVector(vector, c.values);
    EXPECT_EQ(veltrum::CellVectorPossible(vector), c.possible) << int(vector[0]) << " " << int(vector[4]);
  }
}

// The vector path checks whole templates at once; it must refuse exactly the vectors the plain
// check refuses, wherever in the list the one bad vector lies (also past the last whole vector).
TEST(PossibleContent, VectorCheckAgreesWithThePlainOne) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> nibble(0, 15);
  for (const int cells : {144, 145, 147, 1, 3}) {
    for (int trial = 0; trial < 200; ++trial) {
      std::vector<std::uint8_t> vectors(8 * cells, 0);
      // One vector near the 800 border, the rest well inside it.
      for (int c = 0; c < cells; ++c) {
        for (int j = 0; j < 8; ++j) vectors[8 * c + j] = static_cast<std::uint8_t>(0x33 + (c + j) % 2);
      }
      const int odd = trial % cells;
      std::vector<int> values(16);
      for (int& v : values) v = nibble(random) % 8 + 3;  // sums either side of 800
      SetVector(&vectors[8 * odd], values);
      bool plain = true;
      for (int c = 0; c < cells; ++c) plain = plain && veltrum::CellVectorPossible(&vectors[8 * c]);
      EXPECT_EQ(veltrum::CellVectorsPossibleSimd(vectors.data(), cells), plain)
          << cells << " cells, vector " << odd;
    }
  }
  std::uint8_t eightTens[2 * 8] = {0xAA, 0xAA, 0xAA, 0xAA, 0, 0, 0, 0, 0xAA, 0xAA, 0xAA, 0xAA, 0x10, 0, 0, 0};
  EXPECT_TRUE(veltrum::CellVectorsPossibleSimd(eightTens, 1));   // 800
  EXPECT_FALSE(veltrum::CellVectorsPossibleSimd(eightTens, 2));  // 800, 801
}

TEST(PossibleContent, CodeRows) {
  struct Case {
    std::uint32_t row[4];
    bool possible;
  } cases[] = {
      {{0xFFFEFFFEu, 0x7FFFFFFEu, 0xFFFFFFFFu, 0xFFu}, true},
      {{0, 0, 0, 0x100u}, false},           // a bit above word 3's low byte
      {{0xFFFF0000u, 0, 0, 0}, false},      // scale 2: every orientation below the next
      {{0x0000FFFFu, 0, 0, 0}, false},      // scale 3
      {{0, 0xFFFF0000u, 0, 0}, false},      // scale 5
      {{0, 0x0000FFFFu, 0, 0}, false},      // scale 6
      {{0, 0, 0xFFFFFFFFu, 0xFFu}, true},   // pair bits take any pattern
  };
  for (const Case& c : cases) {
    EXPECT_EQ(veltrum::CodeRowPossible(c.row), c.possible) << std::hex << c.row[0] << " " << c.row[1]
                                                           << " " << c.row[3];
  }
}

TEST(PossibleContent, EdgePairs) {
  struct Case {
    int upper, lower;
    bool possible;
  } cases[] = {
      {120, 0, true},     // no finger in either column
      {0, 0, true},       // finger only in row 0
      {5, 0, false},      // an upper edge without a lower one below row 0
      {40, 40, true},
      {41, 40, false},    // the upper edge below the lower one
      {119, 119, true},
      {0, 120, false},
      {120, 119, false},
      {121, 0, false},
  };
  for (const Case& c : cases) {
    std::uint8_t pairs[140];
    for (int p = 0; p < 70; ++p) {
      pairs[2 * p] = 30;
      pairs[2 * p + 1] = 90;
    }
    pairs[2 * 37] = static_cast<std::uint8_t>(c.upper);
    pairs[2 * 37 + 1] = static_cast<std::uint8_t>(c.lower);
    EXPECT_EQ(veltrum::EdgePairsPossible(pairs), c.possible) << c.upper << ", " << c.lower;
  }
}

// Each 60-value vector has unit length times 126, rounded: squares up to (126 + sqrt(60) / 2)^2.
TEST(PossibleContent, CoarseVectors) {
  std::int8_t coarse[240] = {};
  EXPECT_TRUE(veltrum::CoarseVectorPossible(coarse));
  // 126^2 + 31^2 + 5^2 + 2^2 + 1^2 = 16867 in the last vector.
  const int values[] = {126, 31, 5, 2, 1};
  for (int i = 0; i < 5; ++i) coarse[180 + i] = static_cast<std::int8_t>(-values[i]);
  EXPECT_TRUE(veltrum::CoarseVectorPossible(coarse));
  coarse[239] = 1;
  EXPECT_FALSE(veltrum::CoarseVectorPossible(coarse));
  coarse[239] = 0;
  coarse[180] = -127;
  coarse[181] = 0;
  EXPECT_FALSE(veltrum::CoarseVectorPossible(coarse));
  coarse[180] = 127;  // 127^2 + 5^2 + 2^2 + 1^2 is within the squares; the value alone is not
  EXPECT_FALSE(veltrum::CoarseVectorPossible(coarse));
  coarse[180] = 126;
  EXPECT_TRUE(veltrum::CoarseVectorPossible(coarse));
  std::int8_t spread[240];
  std::fill(std::begin(spread), std::end(spread), static_cast<std::int8_t>(16));  // 60 x 256
  EXPECT_TRUE(veltrum::CoarseVectorPossible(spread));
  spread[0] = 17;
  EXPECT_TRUE(veltrum::CoarseVectorPossible(spread));
  std::fill(spread, spread + 60, static_cast<std::int8_t>(17));  // 60 x 289 = 17340
  EXPECT_FALSE(veltrum::CoarseVectorPossible(spread));
}

// The grid words follow the edge pairs: the value as enrolment writes it, or its low byte
// repeated as decoding gives it back.
TEST(PossibleContent, ModelGridWords) {
  VeinModel m = matchtest::FingerModel(11);
  ASSERT_TRUE(veltrum::ModelPossible(m));
  const std::int32_t origin = m.gridOrigin;
  const std::uint32_t low = static_cast<std::uint32_t>(origin) & 0xFF;
  struct Case {
    std::int32_t origin, step;
    bool possible;
  } cases[] = {
      {origin, 6, true},
      {static_cast<std::int32_t>(low * 0x01010101u), 0x06060606, true},
      {origin + 1, 6, false},
      {origin - 1, 6, false},
      {origin, 7, false},
      {origin, 0x06000006, false},
      {static_cast<std::int32_t>(low | 0x100), 6, false},
  };
  for (const Case& c : cases) {
    m.gridOrigin = c.origin;
    m.gridStep = c.step;
    EXPECT_EQ(veltrum::ModelPossible(m), c.possible) << std::hex << c.origin << " " << c.step;
  }
}

TEST(PossibleContent, FeatureBlocksOneAndTwoCarryNoGridOrCoarse) {
  const VeinFeature& genuine = matchtest::FingerFeature(11, 3);
  ASSERT_TRUE(veltrum::FeaturePossible(genuine));
  VeinFeature f = genuine;
  f.blocks[1].coarse[7] = 1;
  EXPECT_FALSE(veltrum::FeaturePossible(f));
  f = genuine;
  f.blocks[2].gridFirstCol = 6;
  EXPECT_FALSE(veltrum::FeaturePossible(f));
  f = genuine;
  f.blocks[0].gridFirstCol = 0;
  EXPECT_FALSE(veltrum::FeaturePossible(f));
  f = genuine;
  SetVector(f.blocks[2].cellVectors[300], std::vector<int>(16, 15));
  EXPECT_FALSE(veltrum::FeaturePossible(f));
}

// The whole-template check in vectors against the field-by-field one, in every vector width this
// processor can run: one field of a genuine template changed at a time, at the first, last and
// vector-border places of each field, to just inside and just outside its rule; then random
// changes of one to four bytes anywhere.
TEST(PossibleContent, VectorTemplateCheckAgreesWithThePlainOne) {
  const VeinModel genuine = matchtest::FingerModel(11);
  std::vector<std::pair<std::string, VeinModel>> cases = {{"genuine", genuine}};
  auto change = [&](const std::string& what, auto&& edit) {
    VeinModel m = genuine;
    edit(m);
    cases.emplace_back(what, m);
  };
  for (int k : {0, 7, 8, 63, 64, 143}) {
    change("cell " + std::to_string(k) + " at 800", [&](VeinModel& m) {
      SetVector(m.cellVectors[k], {10, 10, 10, 10, 10, 10, 10, 10, 0, 0, 0, 0, 0, 0, 0, 0});
    });
    change("cell " + std::to_string(k) + " at 801", [&](VeinModel& m) {
      SetVector(m.cellVectors[k], {10, 10, 10, 10, 10, 10, 10, 10, 1, 0, 0, 0, 0, 0, 0, 0});
    });
  }
  const std::uint32_t rowEdits[][2] = {{0, 0xFFFF0000u}, {0, 0x0000FFFFu}, {1, 0xFFFF0000u},
                                       {1, 0x0000FFFFu}, {0, 0xFFFEFFFEu}, {2, 0xFFFFFFFFu},
                                       {3, 0x100u},      {3, 0x80000000u}, {3, 0xFFu}};
  for (int k : {0, 1, 3, 4, 47, 93, 94, 95, 97}) {
    for (const auto& e : rowEdits) {
      change("row " + std::to_string(k) + " word " + std::to_string(e[0]),
             [&](VeinModel& m) { m.codeRows[k][e[0]] = e[1]; });
    }
  }
  const int pairEdits[][2] = {{120, 0}, {0, 0}, {5, 0}, {41, 40}, {119, 119}, {0, 120},
                              {120, 119}, {121, 0}, {200, 250}, {30, 90}};
  for (int p : {0, 7, 8, 15, 16, 31, 32, 38, 59, 60, 63, 64, 69}) {
    for (const auto& e : pairEdits) {
      change("pair " + std::to_string(p) + " = " + std::to_string(e[0]) + "," + std::to_string(e[1]),
             [&](VeinModel& m) {
               m.edgePairs[p][0] = static_cast<std::uint8_t>(e[0]);
               m.edgePairs[p][1] = static_cast<std::uint8_t>(e[1]);
             });
    }
  }
  change("no pair counts for the origin", [&](VeinModel& m) {
    for (auto& pair : m.edgePairs) pair[0] = 120, pair[1] = 0;
  });
  change("origin one row lower", [&](VeinModel& m) { ++m.gridOrigin; });
  change("grid step 7", [&](VeinModel& m) { m.gridStep = 7; });
  for (int v = 0; v < 4; ++v) {
    for (int j : {0, 3, 4, 7, 8, 15, 16, 27, 28, 31, 32, 43, 44, 47, 48, 59}) {
      const int at = 60 * v + j;
      for (int value : {-128, -127, -126, 126, 127}) {
        change("coarse " + std::to_string(at) + " = " + std::to_string(value),
               [&](VeinModel& m) { m.coarse[at] = static_cast<std::int8_t>(value); });
      }
    }
    // 60 x 17^2 = 17340 is over the bound, 16867 is on it.
    change("coarse vector " + std::to_string(v) + " of 17s",
           [&](VeinModel& m) { std::fill(m.coarse + 60 * v, m.coarse + 60 * v + 60, 17); });
    change("coarse vector " + std::to_string(v) + " on the bound", [&](VeinModel& m) {
      std::fill(m.coarse + 60 * v, m.coarse + 60 * v + 60, 0);
      const int values[] = {126, 31, 5, 2, 1};
      for (int i = 0; i < 5; ++i) m.coarse[60 * v + 59 - 13 * i] = static_cast<std::int8_t>(-values[i]);
    });
  }
  std::mt19937 random(11);
  for (int trial = 0; trial < 2000; ++trial) {
    change("random " + std::to_string(trial), [&](VeinModel& m) {
      auto* bytes = reinterpret_cast<std::uint8_t*>(&m);
      for (int n = 0; n <= trial % 4; ++n) bytes[random() % 3350] = static_cast<std::uint8_t>(random());
    });
  }
  int refused = 0;
  for (const std::int64_t target : hwy::SupportedAndGeneratedTargets()) {
    hwy::SetSupportedTargetsForTest(target);
    for (const auto& [what, m] : cases) {
      const bool plain = veltrum::ModelBytesPossiblePlain(Bytes(m));
      ASSERT_EQ(veltrum::ModelBytesPossible(Bytes(m)), plain) << what << " on " << hwy::TargetName(target);
      refused += plain ? 0 : 1;
    }
  }
  hwy::SetSupportedTargetsForTest(0);  // back to what the processor offers
  EXPECT_GT(refused, 0);
}

class ForgedTemplates : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(VLT_FV_Init(0), 0); }
  static std::vector<unsigned char> AllOnes() { return std::vector<unsigned char>(kVltModelBytes, 0xFF); }
};

// The forged template matched every finger with similarity 1.0; now no export scores it.
TEST_F(ForgedTemplates, EveryMatchAndSearchExportRefusesIt) {
  const auto forged = AllOnes();
  const VeinFeature& probe = matchtest::FingerFeature(12, 3);
  const auto image = matchtest::FingerCapture(12, 3);
  float similarity = -5.0f;
  EXPECT_EQ(VLT_FV_MatchFeature(forged.data(), Bytes(probe), &similarity), 4002);
  EXPECT_EQ(VLT_FV_Match(image.data(), 240, 320, forged.data(), &similarity), 4002);

  // One forged template among genuine ones refuses the whole list.
  std::vector<unsigned char> list;
  for (std::uint64_t seed : {21, 22, 23, 24}) {
    const VeinModel& m = matchtest::FingerModel(seed);
    list.insert(list.end(), Bytes(m), Bytes(m) + kVltModelBytes);
  }
  list.insert(list.begin() + 2 * kVltModelBytes, forged.begin(), forged.end());
  int count = 5, position = -5;
  EXPECT_EQ(VLT_FV_IndexFeature(list.data(), &count, Bytes(probe), &position, &similarity), 4002);
  EXPECT_EQ(VLT_FV_Index(list.data(), &count, image.data(), &position, &similarity), 4002);
  EXPECT_EQ(position, -5);
  EXPECT_EQ(similarity, -5.0f);
  // Without it the list is searched.
  list.erase(list.begin() + 2 * kVltModelBytes, list.begin() + 3 * kVltModelBytes);
  count = 4;
  EXPECT_EQ(VLT_FV_IndexFeature(list.data(), &count, Bytes(probe), &position, &similarity), 0);

  unsigned char stored[kVltSerialisedBytes];
  int length = -5;
  EXPECT_EQ(VLT_FV_Encode(forged.data(), stored, &length), 4002);
  EXPECT_EQ(length, -5);
}

TEST_F(ForgedTemplates, ForgedFeaturesAreRefused) {
  VeinFeature forged = matchtest::FingerFeature(12, 3);
  for (auto& block : forged.blocks) std::memset(block.cellVectors, 0xFF, sizeof block.cellVectors);
  const VeinModel& model = matchtest::FingerModel(21);
  float similarity = -5.0f;
  EXPECT_EQ(VLT_FV_MatchFeature(Bytes(model), Bytes(forged), &similarity), 4003);
  int count = 1, position = -5;
  EXPECT_EQ(VLT_FV_IndexFeature(Bytes(model), &count, Bytes(forged), &position, &similarity), 4003);
  EXPECT_EQ(similarity, -5.0f);
  EXPECT_EQ(position, -5);
}

// What enrolment and extraction write passes every check, stored or not.
void ExpectAccepted(const VeinModel& model, const VeinFeature& probe, const std::string& what) {
  float similarity = -5.0f;
  EXPECT_EQ(VLT_FV_MatchFeature(Bytes(model), Bytes(probe), &similarity), 0) << what;
  unsigned char stored[kVltSerialisedBytes];
  int length = 0;
  ASSERT_EQ(VLT_FV_Encode(Bytes(model), stored, &length), 0) << what;
  std::vector<unsigned char> decoded(kVltModelBytes);
  EXPECT_EQ(VLT_FV_Decode(stored, length, decoded.data()), 0) << what;
  EXPECT_EQ(VLT_FV_MatchFeature(decoded.data(), Bytes(probe), &similarity), 0) << what;
}

TEST_F(ForgedTemplates, SyntheticEnrolmentsAreAccepted) {
  for (std::uint64_t seed = 30; seed < 38; ++seed) {
    const VeinFeature& probe = matchtest::FingerFeature(seed, 3);
    ExpectAccepted(matchtest::FingerModel(seed), probe, "three captures of " + std::to_string(seed));
    const auto image = matchtest::FingerCapture(seed, 4);
    VeinModel single;
    ASSERT_EQ(VLT_FV_Enroll(image.data(), nullptr, nullptr, 240, 320, nullptr,
                            reinterpret_cast<unsigned char*>(&single)),
              0);
    ExpectAccepted(single, probe, "one capture of " + std::to_string(seed));
  }
}

// Every tenth real image enrolled alone and extracted; some with the next two images (mostly
// captures of the same finger) enrolled together.
TEST_F(ForgedTemplates, RealEnrolmentsAreAccepted) {
  if (fvtest::DataDir().empty()) GTEST_SKIP() << "no shared data folder";
  const std::vector<std::string> paths = fvtest::RealImagePaths();
  ASSERT_FALSE(paths.empty());
  int enrolled = 0;
  for (std::size_t i = 0; i + 2 < paths.size(); i += 10) {
    cv::Mat images[3];
    for (int k = 0; k < 3; ++k) {
      images[k] = cv::imread(paths[i + k], cv::IMREAD_GRAYSCALE);
      ASSERT_TRUE(images[k].isContinuous() && images[k].cols == 320 && images[k].rows == 240);
    }
    VeinFeature probe;
    if (VLT_FV_ExtractFeature(images[1].data, 240, 320, reinterpret_cast<unsigned char*>(&probe)) != 0) {
      continue;
    }
    EXPECT_TRUE(veltrum::FeaturePossible(probe)) << paths[i + 1];
    VeinModel model;
    auto* out = reinterpret_cast<unsigned char*>(&model);
    if (VLT_FV_Enroll(images[0].data, nullptr, nullptr, 240, 320, nullptr, out) == 0) {
      ExpectAccepted(model, probe, paths[i]);
      ++enrolled;
    }
    if (i % 40 == 0 &&
        VLT_FV_Enroll(images[0].data, images[1].data, images[2].data, 240, 320, nullptr, out) == 0) {
      ExpectAccepted(model, probe, paths[i] + " and the next two");
      ++enrolled;
    }
  }
  EXPECT_GT(enrolled, 45);
}

}  // namespace
