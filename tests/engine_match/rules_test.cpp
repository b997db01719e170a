// The scoring and search rules of matching and enrolment against values a second
// implementation (tools/rule_oracles/match_oracle.py) worked out from the written rules for
// random blocks and templates: every shift score, the centre after each pass, merged cells.

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "api/operations.h"
#include "core/stage_observer.h"
#include "enrol/enrol_order.h"
#include "enrol/match_enroll_pair.h"
#include "enrol/merge_enroll_features.h"
#include "feature/filter_bank.h"
#include "feature/unpack_feature_block.h"
#include "match/match_block_to_model.h"
#include "tables/lookup_tables.h"
#include "match_fixtures.h"
#include "test_paths.h"
#include "veltrum.h"

namespace {

using veltrum::FeatureBlock;
using veltrum::VeinFeature;
using veltrum::VeinModel;

struct Fixtures {
  std::vector<FeatureBlock> blocks;
  std::vector<VeinModel> models;
  std::vector<std::vector<std::int32_t>> tables;
};

std::string DataPath(const char* name) {
  return fvtest::SourceDir() + "/tests/engine_match/data/" + name;
}

const Fixtures& Load() {
  static const Fixtures f = [] {
    Fixtures f;
    std::ifstream in(DataPath("match_fixtures.bin"), std::ios::binary);
    std::uint32_t counts[3] = {};
    in.read(reinterpret_cast<char*>(counts), sizeof counts);
    f.blocks.resize(counts[0]);
    f.models.resize(counts[1]);
    in.read(reinterpret_cast<char*>(f.blocks.data()), counts[0] * sizeof(FeatureBlock));
    in.read(reinterpret_cast<char*>(f.models.data()), counts[1] * sizeof(VeinModel));
    for (std::uint32_t t = 0; t < counts[2]; ++t) {
      f.tables.emplace_back(veltrum::kResponseEntries);
      in.read(reinterpret_cast<char*>(f.tables.back().data()),
              veltrum::kResponseEntries * sizeof(std::int32_t));
    }
    if (!in) f.blocks.clear();
    return f;
  }();
  return f;
}

// Expected lines of one kind, split into words after the kind.
std::vector<std::vector<std::string>> Expected(const std::string& kind) {
  std::ifstream in(DataPath("match_expected.txt"));
  std::vector<std::vector<std::string>> rows;
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    std::string first;
    words >> first;
    if (first != kind) continue;
    rows.emplace_back();
    for (std::string w; words >> w;) rows.back().push_back(w);
  }
  return rows;
}

// The centre after each pass of the shift searches run while it lives.
class PassCentres final : public veltrum::StageObserver {
 public:
  void Stage(const char* stage, const char*, const void* data, std::size_t) override {
    if (std::strcmp(stage, "shiftSearch") != 0) return;
    const auto* c = static_cast<const std::int8_t*>(data);
    if (!text_.empty()) text_ += " ";
    text_ += std::to_string(c[0]) + "," + std::to_string(c[1]);
  }
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

std::string Joined(const std::vector<std::string>& words, std::size_t from) {
  std::string s;
  for (std::size_t i = from; i < words.size(); ++i) s += (i > from ? " " : "") + words[i];
  return s;
}

class MatchRules : public ::testing::Test {
 protected:
  void SetUp() override {
    veltrum::BuildLookupTables();
    ASSERT_FALSE(Load().blocks.empty()) << "fixture file missing: " << DataPath("match_fixtures.bin");
  }
  const Fixtures& f = Load();
};

TEST_F(MatchRules, EveryShiftScoreOfEveryPass) {
  const auto rows = Expected("shift");
  ASSERT_EQ(rows.size(), 3u * 5 * 13 * 17);
  int wrong = 0;
  for (const auto& w : rows) {
    const auto s = veltrum::ScoreBlockShift(f.models[std::stoi(w[0])], f.blocks[std::stoi(w[1])],
                                            std::stoi(w[3]), std::stoi(w[4]), std::stoi(w[2]));
    const std::string got = s.defined ? std::to_string(s.value) : "-";
    if (got != w[5] && ++wrong <= 10) {
      ADD_FAILURE() << "model " << w[0] << " block " << w[1] << " pass " << w[2] << " shift "
                    << w[3] << "," << w[4] << ": " << got << ", expected " << w[5];
    }
  }
  EXPECT_EQ(wrong, 0);
}

TEST_F(MatchRules, SearchCentreAfterEachPassAndRawScore) {
  const auto rows = Expected("search");
  ASSERT_EQ(rows.size(), 6u * 7 * 6);
  for (const auto& w : rows) {
    std::int8_t row = static_cast<std::int8_t>(std::stoi(w[2]));
    std::int8_t col = static_cast<std::int8_t>(std::stoi(w[3]));
    PassCentres centres;
    int raw;
    {
      veltrum::ListenToStages listen(centres);
      raw = veltrum::MatchBlockToModel(row, col, f.models[std::stoi(w[0])], f.blocks[std::stoi(w[1])]);
    }
    const std::string what = "model " + w[0] + " block " + w[1] + " from " + w[2] + "," + w[3];
    EXPECT_EQ(centres.text(), Joined(w, 7)) << what;
    EXPECT_EQ(raw, std::stoi(w[4])) << what;
    EXPECT_EQ(row, std::stoi(w[5])) << what;
    EXPECT_EQ(col, std::stoi(w[6])) << what;
  }
}

TEST_F(MatchRules, ThreeBlocksCarryTheShiftAndKeepTheFirstBest) {
  const auto rows = Expected("feature");
  ASSERT_EQ(rows.size(), 25u);
  for (const auto& w : rows) {
    VeinFeature feature;
    for (int b = 0; b < 3; ++b) feature.blocks[b] = f.blocks[std::stoi(w[1 + b])];
    std::int8_t row = 20, col = 0;
    const auto match = veltrum::MatchBlocksToModel(row, col, f.models[std::stoi(w[0])], feature);
    const std::string what = "model " + w[0] + " blocks " + w[1] + w[2] + w[3];
    EXPECT_EQ(match.raw, std::stoi(w[4])) << what;
    EXPECT_EQ(match.block, std::stoi(w[5])) << what;
    EXPECT_EQ(row, std::stoi(w[6])) << what;
    EXPECT_EQ(col, std::stoi(w[7])) << what;
  }
}

TEST_F(MatchRules, EveryEnrolmentPairShiftScoreAndPenalty) {
  const auto rows = Expected("pairshift");
  ASSERT_EQ(rows.size(), 2u * 13 * 17);
  int wrong = 0;
  for (const auto& w : rows) {
    const auto s = veltrum::ScoreEnrollShift(f.blocks[std::stoi(w[0])], f.blocks[std::stoi(w[1])],
                                             std::stoi(w[2]), std::stoi(w[3]));
    const std::string got = s.defined ? std::to_string(s.value) + " " + std::to_string(s.extra) : "-";
    if (got != Joined(w, 4) && ++wrong <= 10) {
      ADD_FAILURE() << "blocks " << w[0] << "," << w[1] << " shift " << w[2] << "," << w[3] << ": "
                    << got << ", expected " << Joined(w, 4);
    }
  }
  EXPECT_EQ(wrong, 0);
}

TEST_F(MatchRules, EnrolmentPairSearchGivesHalfThePenaltyBack) {
  const auto rows = Expected("pair");
  ASSERT_EQ(rows.size(), 7u * 4);
  for (const auto& w : rows) {
    std::int8_t row = static_cast<std::int8_t>(std::stoi(w[2]));
    std::int8_t col = static_cast<std::int8_t>(std::stoi(w[3]));
    PassCentres centres;
    int raw;
    {
      veltrum::ListenToStages listen(centres);
      raw = veltrum::MatchEnrollPair(row, col, f.blocks[std::stoi(w[0])], f.blocks[std::stoi(w[1])]);
    }
    const std::string what = "blocks " + w[0] + "," + w[1] + " from " + w[2] + "," + w[3];
    EXPECT_EQ(centres.text(), Joined(w, 7)) << what;
    EXPECT_EQ(raw, std::stoi(w[4])) << what;
    EXPECT_EQ(row, std::stoi(w[5])) << what;
    EXPECT_EQ(col, std::stoi(w[6])) << what;
  }
}

std::uint64_t Checksum(const std::int32_t* v, std::size_t n) {
  std::uint64_t s = 0;
  for (std::size_t i = 0; i < n; ++i) s += (i + 1) * static_cast<std::uint32_t>(v[i]);
  return s;
}

TEST_F(MatchRules, MergedCellsWeightsAndResponses) {
  std::map<std::string, std::string> expected;
  for (const char* tag : {"merge1", "merge2", "merge3"}) {
    for (const auto& w : Expected(tag)) expected[std::string(tag) + " " + w[0]] = Joined(w, 1);
  }
  ASSERT_EQ(expected.size(), 15u);
  auto running = std::make_unique<veltrum::MergeRunning>();
  auto check = [&](const char* tag, const FeatureBlock& out, const std::vector<std::int32_t>& table) {
    std::string vectors, cov15, cov27, head;
    char hex[20];
    for (int c = 0; c < veltrum::kGridCells; ++c) {
      std::uint64_t v = 0;
      for (int i = 0; i < 8; ++i) v = v << 8 | out.cellVectors[c][i];
      std::snprintf(hex, sizeof hex, "%llx", static_cast<unsigned long long>(v));
      vectors += (c ? " " : "") + std::string(hex);
      cov15 += (c ? " " : "") + std::to_string(out.coverage15[c]);
      cov27 += (c ? " " : "") + std::to_string(out.coverage27[c]);
    }
    for (int k = 0; k < veltrum::kCellResponses; ++k) head += " " + std::to_string(table[k]);
    const std::string t = tag;
    EXPECT_EQ(vectors, expected[t + " vectors"]) << tag;
    EXPECT_EQ(cov15, expected[t + " cov15"]) << tag;
    EXPECT_EQ(cov27, expected[t + " cov27"]) << tag;
    EXPECT_EQ(std::to_string(Checksum(table.data(), table.size())) + head, expected[t + " table"])
        << tag;
    std::vector<std::int32_t> values(&running->values[0][0], &running->values[0][0] + 16 * veltrum::kGridCells);
    EXPECT_EQ(std::to_string(Checksum(values.data(), values.size())) + " " +
                  std::to_string(Checksum(running->weight15, veltrum::kGridCells)) + " " +
                  std::to_string(Checksum(running->weight27, veltrum::kGridCells)),
              expected[t + " running"])
        << tag;
  };
  FeatureBlock out1, out2, out3;
  std::vector<std::int32_t> table1(veltrum::kResponseEntries), table2(table1.size()), table3(table1.size());
  veltrum::StartMerge(*running, f.blocks[1]);
  veltrum::MergeEnrollFeatures(out1, f.blocks[1], f.blocks[7], f.tables[0].data(), f.tables[1].data(),
                               *running, 3, -4, 10, table1.data());
  check("merge1", out1, table1);
  veltrum::MergeEnrollFeatures(out2, out1, f.blocks[4], table1.data(), f.tables[2].data(), *running,
                               -2, 1, 7, table2.data());
  check("merge2", out2, table2);
  veltrum::StartMerge(*running, f.blocks[0]);
  veltrum::MergeEnrollFeatures(out3, f.blocks[0], f.blocks[8], f.tables[0].data(), f.tables[2].data(),
                               *running, -5, 6, 3, table3.data());
  check("merge3", out3, table3);
}

}  // namespace

namespace {

// The one-to-N search over lists built by tools/rule_oracles/search_oracle.py so that each keep
// count decides the result: a template one place beyond a keep count is never reached, one
// within it wins.
TEST(SearchRules, EachKeepCountDecidesTheResult) {
  std::ifstream in(DataPath("search_fixtures.bin"), std::ios::binary);
  VeinFeature probe;
  VeinModel kinds[3];
  in.read(reinterpret_cast<char*>(&probe), sizeof probe);
  in.read(reinterpret_cast<char*>(kinds), sizeof kinds);
  ASSERT_TRUE(in) << "fixture file missing";
  const std::map<std::string, int> kindIndex = {{"winner", 0}, {"rival", 1}, {"impostor", 2}};
  std::ifstream text(DataPath("search_expected.txt"));
  int cases = 0;
  for (std::string line; std::getline(text, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    std::string name;
    words >> name;
    std::vector<std::string> w;
    for (std::string s; words >> s;) w.push_back(s);
    ASSERT_GE(w.size(), 3u);
    std::vector<VeinModel> models;
    for (std::size_t i = 0; i + 2 < w.size(); ++i) {
      const auto colon = w[i].find(':');
      models.push_back(kinds[kindIndex.at(w[i].substr(0, colon))]);
      models.back().coarse[0] = static_cast<std::int8_t>(std::stoi(w[i].substr(colon + 1)));
    }
    const int count = static_cast<int>(models.size());
    int position = -1, raw = -1;
    ASSERT_EQ(veltrum::SearchModelsByFeature(reinterpret_cast<const unsigned char*>(models.data()),
                                             &count, reinterpret_cast<const unsigned char*>(&probe),
                                             &position, &raw),
              0);
    EXPECT_EQ(position, std::stoi(w[w.size() - 2])) << name;
    EXPECT_EQ(raw, std::stoi(w.back())) << name;
    ++cases;
  }
  EXPECT_EQ(cases, 5);
}

}  // namespace

namespace {

// Every output an enrolment hands to a listener, in order.
class Recorded final : public veltrum::StageObserver {
 public:
  void Stage(const char* stage, const char* part, const void* data, std::size_t bytes) override {
    const auto* p = static_cast<const std::uint8_t*>(data);
    items.push_back({std::string(stage) + "." + part, std::vector<std::uint8_t>(p, p + bytes)});
  }
  std::vector<const std::vector<std::uint8_t>*> All(const std::string& key) const {
    std::vector<const std::vector<std::uint8_t>*> out;
    for (const auto& [k, bytes] : items) {
      if (k == key) out.push_back(&bytes);
    }
    return out;
  }
  std::vector<std::pair<std::string, std::vector<std::uint8_t>>> items;
};

template <class T>
T As(const std::vector<std::uint8_t>& bytes) {
  T v;
  std::memcpy(&v, bytes.data(), sizeof v);
  return v;
}

// How enrolment wires its steps: the pair scores order the captures, the leader is the merge's
// reference at weight 10 against the second capture's best block and shifts, and the third
// capture joins at the weight its score against the merge gives. The steps themselves are
// pinned above; here the merged blocks an enrolment makes must be those steps run in that order.
TEST(EnrolRules, MergeOrderBlocksShiftsAndWeights) {
  ASSERT_EQ(VLT_FV_Init(0), 0);
  for (const std::uint64_t seed : {801u}) {
    for (int images : {2, 3}) {
      std::vector<std::uint8_t> captures[3];
      for (int i = 0; i < images; ++i) captures[i] = matchtest::FingerCapture(seed, i);
      Recorded seen;
      VeinModel model;
      {
        veltrum::ListenToStages listen(seen);
        ASSERT_EQ(veltrum::EnrollModel(captures[0].data(), captures[1].data(),
                                       images > 2 ? captures[2].data() : nullptr,
                                       reinterpret_cast<unsigned char*>(&model)),
                  0);
      }
      const auto blocks = seen.All("enrolBlock.block");
      const auto tables = seen.All("enrolBlock.responses");
      ASSERT_EQ(blocks.size(), 3u * images);
      std::vector<FeatureBlock> b;
      for (const auto* bytes : blocks) b.push_back(As<FeatureBlock>(*bytes));
      auto table = [&](int k) { return reinterpret_cast<const std::int32_t*>(tables[k]->data()); };

      veltrum::PairScores scores{};
      veltrum::EnrolPairMatch pairs[3][3];
      for (int i = 0; i < images; ++i) {
        for (int j = 0; j < images; ++j) {
          if (i == j) continue;
          pairs[i][j] = veltrum::BestEnrolBlock(b[3 * i], &b[3 * j]);
          scores[i][j] = pairs[i][j].score;
        }
      }
      const auto order = veltrum::EnrolOrder(scores, images);
      EXPECT_EQ((As<std::array<int, 3>>(*seen.All("enrolOrder.order").at(0))), order);

      auto running = std::make_unique<veltrum::MergeRunning>();
      FeatureBlock merged;
      std::vector<std::int32_t> mergedTable(veltrum::kResponseEntries);
      const auto& second = pairs[order[0]][order[1]];
      const int other = 3 * order[1] + second.block;
      veltrum::StartMerge(*running, b[3 * order[0]]);
      veltrum::MergeEnrollFeatures(merged, b[3 * order[0]], b[other], table(3 * order[0]),
                                   table(other), *running, second.shiftRow, second.shiftCol, 10,
                                   mergedTable.data());
      const auto merges = seen.All("enrolMerge.block");
      const auto mergedTables = seen.All("enrolMerge.responses");
      ASSERT_EQ(merges.size(), static_cast<std::size_t>(images - 1));
      EXPECT_EQ(std::memcmp(merges[0]->data(), &merged, sizeof merged), 0) << seed << " first merge";
      EXPECT_EQ(std::memcmp(mergedTables[0]->data(), mergedTable.data(), mergedTables[0]->size()), 0);
      if (images < 3) continue;

      // The merged block's own layout: its codes expanded before it is matched.
      FeatureBlock reference = As<FeatureBlock>(*merges[0]);
      ASSERT_EQ(veltrum::UnpackFeatureBlock(reference, veltrum::kGridCells, false), 0);
      const auto third = veltrum::BestEnrolBlock(reference, &b[3 * order[2]]);
      const auto seenThird = As<std::array<int, 4>>(*seen.All("enrolThird.match").at(0));
      EXPECT_EQ(seenThird, (std::array<int, 4>{third.score, third.block, third.shiftRow, third.shiftCol}));
      FeatureBlock result;
      std::vector<std::int32_t> resultTable(veltrum::kResponseEntries);
      const int block = 3 * order[2] + third.block;
      veltrum::MergeEnrollFeatures(result, reference, b[block], mergedTable.data(), table(block),
                                   *running, third.shiftRow, third.shiftCol,
                                   veltrum::ThirdImageWeight(third.score), resultTable.data());
      EXPECT_EQ(std::memcmp(merges[1]->data(), &result, sizeof result), 0) << seed << " third merge";
      EXPECT_EQ(std::memcmp(mergedTables[1]->data(), resultTable.data(), mergedTables[1]->size()), 0);
    }
  }
}

}  // namespace
