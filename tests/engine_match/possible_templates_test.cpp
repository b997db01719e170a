#include <gtest/gtest.h>
#include <hwy/targets.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "feature/cell_nibbles.h"
#include "feature/filter_bank.h"
#include "match_fixtures.h"
#include "model/possible_content.h"
#include "model/possible_content_simd.h"
#include "test_paths.h"
#include "training_corpus.h"
#include "veltrum.h"

namespace {

using veltrum::VeinFeature;
using veltrum::VeinModel;

const unsigned char* Bytes(const VeinModel& m) {
  return reinterpret_cast<const unsigned char*>(&m);
}
const unsigned char* Bytes(const VeinFeature& f) {
  return reinterpret_cast<const unsigned char*>(&f);
}

// Sixteen values, given as 16 nibbles, packed high nibble first.
void SetVector(std::uint8_t* vector, const std::vector<int>& values) {
  for (int j = 0; j < 8; ++j)
    vector[j] = static_cast<std::uint8_t>(values[2 * j] * 16 + values[2 * j + 1]);
}

// A template enrolled from one capture of synthetic finger `seed`.
VeinModel OneCaptureModel(std::uint64_t seed, int capture) {
  EXPECT_EQ(VLT_FV_Init(0), 0);
  const auto image = matchtest::FingerCapture(seed, capture);
  VeinModel m{};
  EXPECT_EQ(VLT_FV_Enroll(image.data(), nullptr, nullptr, 240, 320, nullptr,
                          reinterpret_cast<unsigned char*>(&m)),
            0);
  return m;
}

using veltrum::kCaptureCells;
using veltrum::kMergedCells;

// Extraction scales a cell's 16 inputs x (0, or at least 20: a response is 0 or at least 640) by
// 64 / 3 / n, n the table root of their square sum >> 10; a merge scales averages 0..15 by
// 65536 / 3 / n, n the table root. Worked by hand: inputs 39, 33, 30, 27 square-sum to 4239, whose
// root is SqrtTable1024[4239 >> 4 = 264] << 2 = 16638 << 2 = 66552, >> 10 = 64; the values
// 64 x / 3 / 64 are 13, 11, 10, 9, squares 471, the most a capture gives. A merge gives at most
// 456 (14, 14, 8: 196 + 196 + 64). Without a 15, (value + 1)^2 sums above (64/3)^2 = 455.1:
// 14, 12, 6 and thirteen 0s give 225 + 169 + 49 + 13 = 456, 14, 10, 8, 3 and twelve 0s 455.
TEST(PossibleContent, CellVectorsHaveTheLengthOfTheScale) {
  std::int32_t responses[veltrum::kCellResponses] = {};
  const int inputs[] = {39, 33, 30, 27};
  for (int n = 0; n < 4; ++n) responses[2 * n + 1] = 32 * inputs[n];  // scale 0, odd orientations
  std::uint8_t made[8];
  veltrum::CellNibbles(responses, made);
  const std::uint8_t most[8] = {0xDB, 0xA9, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(0, std::memcmp(made, most, 8));

  struct Case {
    std::vector<int> values;
    bool capture, merged;
  } cases[] = {
      {{13, 11, 10, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, true, false},   // 471
      {{13, 11, 10, 9, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, false, false},  // 472
      {{14, 14, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, true, true},     // 456
      {{14, 14, 8, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, true, false},    // 457
      {{14, 12, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, true, true},     // length 456
      {{14, 10, 8, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, false, false},   // length 455
      {{0, 0, 0, 0, 0, 0, 0, 3, 8, 10, 14, 0, 0, 0, 0, 0}, false, false},   // the same spread
      {{15, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, true, true},      // a 15 hides length
      {{15, 15, 15, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, false, false},  // 700
      {{10, 10, 10, 10, 10, 10, 10, 10, 0, 0, 0, 0, 0, 0, 0, 0}, false, false},  // 800
      {std::vector<int>(16, 15), false, false},                                  // 3600
      {std::vector<int>(16, 4), false, false},                                   // 256, length 400
      {std::vector<int>(16, 0), true, true},                                     // an empty cell
  };
  for (const Case& c : cases) {
    std::uint8_t vector[8];
    SetVector(vector, c.values);
    EXPECT_EQ(veltrum::CellVectorPossible(vector, kCaptureCells), c.capture)
        << int(vector[0]) << " " << int(vector[1]) << " " << int(vector[4]);
    EXPECT_EQ(veltrum::CellVectorPossible(vector, kMergedCells), c.merged)
        << int(vector[0]) << " " << int(vector[1]) << " " << int(vector[4]);
  }
}

// Values of a random direction scaled to about the length of the scale, so that the square sum
// and the length fall either side of their bounds; sometimes a 15 or an empty cell.
std::vector<int> NearTheBounds(std::mt19937& random) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::vector<double> u(16);
  double length = 0;
  const int spread = 2 + static_cast<int>(random() % 15);
  for (int t = 0; t < 16; ++t) {
    u[t] = t < spread ? unit(random) : 0.0;
    length += u[t] * u[t];
  }
  const double scale = 64.0 / 3.0 * (0.93 + 0.14 * unit(random)) / std::sqrt(length);
  std::vector<int> values(16);
  for (int t = 0; t < 16; ++t)
    values[t] = std::min(15, static_cast<int>(u[t] * scale + unit(random)));
  if (random() % 10 == 0) values.assign(16, 0);
  std::shuffle(values.begin(), values.end(), random);
  return values;
}

// The vector path checks whole templates at once; it must refuse exactly the vectors the plain
// check refuses, wherever in the list the one bad vector lies (also past the last whole vector).
TEST(PossibleContent, VectorCheckAgreesWithThePlainOne) {
  std::mt19937 random(7);
  int refused = 0, passed = 0;
  for (const veltrum::CellBounds& bounds : {kCaptureCells, kMergedCells}) {
    for (const int cells : {144, 145, 147, 1, 3}) {
      for (int trial = 0; trial < 400; ++trial) {
        // One vector near the borders, the rest within them (14, 12, 6 and 14, 14, 8).
        std::vector<std::uint8_t> vectors(8 * cells, 0);
        for (int c = 0; c < cells; ++c) {
          vectors[8 * c + c % 8] = c % 2 ? 0xEC : 0xEE;
          vectors[8 * c + (c + 3) % 8] = c % 2 ? 0x60 : 0x80;
        }
        const int odd = trial % cells;
        SetVector(&vectors[8 * odd], NearTheBounds(random));
        bool plain = true;
        for (int c = 0; c < cells; ++c)
          plain = plain && veltrum::CellVectorPossible(&vectors[8 * c], bounds);
        EXPECT_EQ(veltrum::CellVectorsPossibleSimd(vectors.data(), cells, bounds), plain)
            << cells << " cells, vector " << odd;
        (plain ? passed : refused) += 1;
      }
    }
  }
  EXPECT_GT(refused, 500);
  EXPECT_GT(passed, 500);
  // 456 and 457 squares, then length 456 and 455.
  const std::uint8_t pairs[4 * 8] = {0xEE, 0x80, 0, 0, 0, 0, 0, 0, 0xEE, 0x81, 0, 0, 0, 0, 0, 0,
                                     0xEC, 0x60, 0, 0, 0, 0, 0, 0, 0xEA, 0x83, 0, 0, 0, 0, 0, 0};
  EXPECT_TRUE(veltrum::CellVectorsPossibleSimd(pairs, 1, kMergedCells));
  EXPECT_FALSE(veltrum::CellVectorsPossibleSimd(pairs, 2, kMergedCells));
  EXPECT_TRUE(veltrum::CellVectorsPossibleSimd(pairs + 8, 2, kCaptureCells));
  EXPECT_FALSE(veltrum::CellVectorsPossibleSimd(pairs + 8, 3, kCaptureCells));
}

TEST(PossibleContent, CodeRows) {
  struct Case {
    std::uint32_t row[4];
    bool possible;
  } cases[] = {
      {{0xFFFEFFFEu, 0x7FFFFFFEu, 0xFFFFFFFFu, 0xFFu}, true},
      {{0, 0, 0, 0x100u}, false},          // a bit above word 3's low byte
      {{0xFFFF0000u, 0, 0, 0}, false},     // scale 2: every orientation below the next
      {{0x0000FFFFu, 0, 0, 0}, false},     // scale 3
      {{0, 0xFFFF0000u, 0, 0}, false},     // scale 5
      {{0, 0x0000FFFFu, 0, 0}, false},     // scale 6
      {{0, 0, 0xFFFFFFFFu, 0xFFu}, true},  // pair bits take any pattern
  };
  for (const Case& c : cases) {
    EXPECT_EQ(veltrum::CodeRowPossible(c.row), c.possible)
        << std::hex << c.row[0] << " " << c.row[1] << " " << c.row[3];
  }
}

TEST(PossibleContent, EdgePairs) {
  struct Case {
    int upper, lower;
    bool possible;
  } cases[] = {
      {120, 0, true},                     // no finger in either column
      {0, 0, true},                       // finger only in row 0
      {5, 0, false},                      // an upper edge without a lower one below row 0
      {40, 40, true},   {41, 40, false},  // the upper edge below the lower one
      {119, 119, true}, {0, 120, false}, {120, 119, false}, {121, 0, false},
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

// Every block's coverage maps are those its edge pairs give; maps any fuller lower the overlap
// penalty of every shift, and the fuller the better.
TEST(PossibleContent, FeatureCoverageMapsFollowTheEdgePairs) {
  const VeinFeature& genuine = matchtest::FingerFeature(11, 3);
  ASSERT_TRUE(veltrum::FeaturePossible(genuine));
  VeinFeature f = genuine;
  for (auto& block : f.blocks) {
    std::memset(block.coverage15, 255, sizeof block.coverage15);
    std::memset(block.coverage27, 255, sizeof block.coverage27);
  }
  EXPECT_FALSE(veltrum::FeaturePossible(f));
  for (int b = 0; b < 3; ++b) {
    for (int cell : {0, 165, 329}) {
      f = genuine;
      f.blocks[b].coverage15[cell] ^= 1;
      EXPECT_FALSE(veltrum::FeaturePossible(f)) << "block " << b << " cell " << cell;
      f = genuine;
      f.blocks[b].coverage27[cell] ^= 1;
      EXPECT_FALSE(veltrum::FeaturePossible(f)) << "block " << b << " cell " << cell;
    }
  }
  // Cells are a capture's: 471 squares pass, 472 do not.
  f = genuine;
  SetVector(f.blocks[1].cellVectors[200], {13, 11, 10, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  EXPECT_TRUE(veltrum::FeaturePossible(f));
  SetVector(f.blocks[1].cellVectors[200], {13, 11, 10, 9, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  EXPECT_FALSE(veltrum::FeaturePossible(f));
}

// A template whose maps are those of its edge pairs is taken for one capture; any other maps are
// a merge's, whose cells a merge must be able to write: 471 squares only a capture reaches.
TEST(PossibleContent, TemplateCoverageTellsOneCaptureFromAMerge) {
  const std::vector<int> captureOnly = {13, 11, 10, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  const std::vector<int> eitherKind = {14, 14, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  VeinModel one = OneCaptureModel(11, 0);
  ASSERT_TRUE(veltrum::ModelPossible(one));
  EXPECT_EQ(veltrum::TemplateCellBounds(Bytes(one)).maxSquares, kCaptureCells.maxSquares);
  SetVector(one.cellVectors[40], captureOnly);
  EXPECT_TRUE(veltrum::ModelPossible(one));
  struct Edit {
    const char* what;
    void (*apply)(VeinModel&);
  } edits[] = {
      {"full maps",
       [](VeinModel& m) {
         std::memset(m.cellWeights, 255, sizeof m.cellWeights);
         std::memset(m.codeWeights, 255, sizeof m.codeWeights);
       }},
      {"first cell weight one more", [](VeinModel& m) { ++m.cellWeights[0]; }},
      {"last code weight one less", [](VeinModel& m) { --m.codeWeights[97]; }},
      {"edge pair 30 a row lower", [](VeinModel& m) { ++m.edgePairs[30][1]; }},
  };
  for (const Edit& e : edits) {
    VeinModel m = one;
    e.apply(m);
    EXPECT_EQ(veltrum::TemplateCellBounds(Bytes(m)).maxSquares, kMergedCells.maxSquares) << e.what;
    EXPECT_FALSE(veltrum::ModelPossible(m)) << e.what;
    SetVector(m.cellVectors[40], eitherKind);
    EXPECT_TRUE(veltrum::ModelPossible(m)) << e.what;
  }
  // Three captures: the merged maps are not those of the first capture's edge pairs.
  VeinModel merged = matchtest::FingerModel(11);
  EXPECT_EQ(veltrum::TemplateCellBounds(Bytes(merged)).maxSquares, kMergedCells.maxSquares);
  SetVector(merged.cellVectors[40], eitherKind);
  EXPECT_TRUE(veltrum::ModelPossible(merged));
  SetVector(merged.cellVectors[40], captureOnly);
  EXPECT_FALSE(veltrum::ModelPossible(merged));
}

// The whole-template check in vectors against the field-by-field one, in every vector width this
// processor can run: one field of a genuine template changed at a time, at the first, last and
// vector-border places of each field, to just inside and just outside its rule; then random
// changes of one to four bytes anywhere.
TEST(PossibleContent, VectorTemplateCheckAgreesWithThePlainOne) {
  std::vector<std::pair<std::string, VeinModel>> cases;
  for (const auto& [kind, genuine] : {std::pair{"three captures", matchtest::FingerModel(11)},
                                      std::pair{"one capture", OneCaptureModel(11, 0)}}) {
    cases.emplace_back(std::string("genuine of ") + kind, genuine);
    auto change = [&](const std::string& what, auto&& edit) {
      VeinModel m = genuine;
      edit(m);
      cases.emplace_back(what + " of " + kind, m);
    };
    const std::vector<int> cellEdits[] = {
        {13, 11, 10, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},  // 471
        {13, 11, 10, 9, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},  // 472
        {14, 14, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},   // 456
        {14, 14, 8, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},   // 457
        {14, 12, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},   // length 456
        {14, 10, 8, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},   // length 455
    };
    for (int k : {0, 7, 8, 63, 64, 143}) {
      for (const auto& values : cellEdits) {
        change("cell " + std::to_string(k) + " from " + std::to_string(values[0]) + ", " +
                   std::to_string(values[3]) + ", " + std::to_string(values[4]),
               [&](VeinModel& m) { SetVector(m.cellVectors[k], values); });
      }
    }
    for (int k : {0, 17, 143}) {
      change("cell weight " + std::to_string(k) + " one more",
             [&](VeinModel& m) { ++m.cellWeights[k]; });
    }
    for (int k : {0, 50, 97}) {
      change("code weight " + std::to_string(k) + " one less",
             [&](VeinModel& m) { --m.codeWeights[k]; });
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
    const int pairEdits[][2] = {{120, 0}, {0, 0},     {5, 0},   {41, 40},   {119, 119},
                                {0, 120}, {120, 119}, {121, 0}, {200, 250}, {30, 90}};
    for (int p : {0, 7, 8, 15, 16, 31, 32, 38, 59, 60, 63, 64, 69}) {
      for (const auto& e : pairEdits) {
        change(
            "pair " + std::to_string(p) + " = " + std::to_string(e[0]) + "," + std::to_string(e[1]),
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
        for (int i = 0; i < 5; ++i)
          m.coarse[60 * v + 59 - 13 * i] = static_cast<std::int8_t>(-values[i]);
      });
    }
    std::mt19937 random(11);
    for (int trial = 0; trial < 2000; ++trial) {
      change("random " + std::to_string(trial), [&](VeinModel& m) {
        auto* bytes = reinterpret_cast<std::uint8_t*>(&m);
        for (int n = 0; n <= trial % 4; ++n)
          bytes[random() % 3350] = static_cast<std::uint8_t>(random());
      });
    }
  }
  int refused = 0;
  for (const std::int64_t target : hwy::SupportedAndGeneratedTargets()) {
    hwy::SetSupportedTargetsForTest(target);
    for (const auto& [what, m] : cases) {
      const bool plain = veltrum::ModelBytesPossiblePlain(Bytes(m));
      ASSERT_EQ(veltrum::ModelBytesPossible(Bytes(m)), plain)
          << what << " on " << hwy::TargetName(target);
      refused += plain ? 0 : 1;
    }
  }
  hwy::SetSupportedTargetsForTest(0);  // back to what the processor offers
  EXPECT_GT(refused, 0);
}

class ForgedTemplates : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(VLT_FV_Init(0), 0); }
  static std::vector<unsigned char> AllOnes() {
    return std::vector<unsigned char>(kVltModelBytes, 0xFF);
  }
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
    ExpectAccepted(matchtest::FingerModel(seed), probe,
                   "three captures of " + std::to_string(seed));
    const auto image = matchtest::FingerCapture(seed, 4);
    VeinModel single;
    ASSERT_EQ(VLT_FV_Enroll(image.data(), nullptr, nullptr, 240, 320, nullptr,
                            reinterpret_cast<unsigned char*>(&single)),
              0);
    ExpectAccepted(single, probe, "one capture of " + std::to_string(seed));
  }
}

// Every value raised by a fifth, to the nearest whole value, at most 15.
template <std::size_t N>
void RaiseByAFifth(std::uint8_t (&vectors)[N][8]) {
  for (auto& vector : vectors) {
    for (auto& byte : vector) {
      const int high = std::min(15, ((byte >> 4) * 6 + 2) / 5),
                low = std::min(15, ((byte & 15) * 6 + 2) / 5);
      byte = static_cast<std::uint8_t>(high * 16 + low);
    }
  }
}

// Every real image extracted and enrolled alone, and each finger enrolled from its first three
// captures: all pass every check. The same templates and features with every value raised by a
// fifth are too long for the scale, and a template of the mean values of 40 fingers too short.
TEST_F(ForgedTemplates, EveryRealCaptureAndEnrolmentIsAcceptedAndRaisedOnesRefused) {
  if (fvtest::DataDir().empty()) GTEST_SKIP() << "no shared data folder";
  // A finger on one device is one identity.
  training::CorpusPlan plan;
  plan.syntheticFingers = 0;
  plan.dataDir = fvtest::DataDir();
  std::map<std::string, std::vector<training::CorpusImage>> identities;
  std::vector<VeinModel> merged;
  int features = 0, singles = 0;
  for (const training::ImageSpec& spec : training::ListImages(plan)) {
    const std::string& where = spec.path;
    auto& captures = identities[spec.finger + " " + spec.note];
    captures.emplace_back();
    ASSERT_TRUE(training::LoadImage(spec, captures.back())) << where;
    const std::uint8_t* image = captures.back().pixels.data();
    VeinFeature probe;
    const bool extracted =
        VLT_FV_ExtractFeature(image, 240, 320, reinterpret_cast<unsigned char*>(&probe)) == 0;
    if (extracted) {
      EXPECT_TRUE(veltrum::FeaturePossible(probe)) << where;
      VeinFeature raised = probe;
      for (auto& block : raised.blocks) RaiseByAFifth(block.cellVectors);
      EXPECT_FALSE(veltrum::FeaturePossible(raised)) << where << ", raised";
      ++features;
    }
    // Accepted also stored and read back, and matched with the capture's own feature.
    auto accepted = [&](const VeinModel& model, const std::string& what) {
      if (extracted) {
        ExpectAccepted(model, probe, what);
      } else {
        EXPECT_TRUE(veltrum::ModelPossible(model)) << what;
      }
    };
    VeinModel model;
    if (captures.size() == 3 &&
        VLT_FV_Enroll(captures[0].pixels.data(), captures[1].pixels.data(), image, 240, 320,
                      nullptr, reinterpret_cast<unsigned char*>(&model)) == 0) {
      accepted(model, where + ", three captures");
      merged.push_back(model);
    }
    if (VLT_FV_Enroll(image, nullptr, nullptr, 240, 320, nullptr,
                      reinterpret_cast<unsigned char*>(&model)) == 0) {
      accepted(model, where);
      RaiseByAFifth(model.cellVectors);
      EXPECT_FALSE(veltrum::ModelPossible(model)) << where << ", raised";
      ++singles;
    }
  }
  EXPECT_GT(features, 380);
  EXPECT_GT(singles, 380);
  ASSERT_GT(merged.size(), 70u);
  for (VeinModel m : merged) {
    RaiseByAFifth(m.cellVectors);
    EXPECT_FALSE(veltrum::ModelPossible(m));
  }
  VeinModel mean = merged[0];
  for (int k = 0; k < veltrum::kASamples; ++k) {
    int sums[16] = {};
    for (int f = 0; f < 40; ++f) {
      for (int t = 0; t < 16; ++t)
        sums[t] += (merged[f].cellVectors[k][t / 2] >> (t % 2 ? 0 : 4)) & 15;
    }
    std::vector<int> values(16);
    for (int t = 0; t < 16; ++t) values[t] = (sums[t] + 20) / 40;
    SetVector(mean.cellVectors[k], values);
  }
  EXPECT_FALSE(veltrum::ModelPossible(mean));
}

}  // namespace
