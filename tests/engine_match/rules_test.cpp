// The scoring and search rules of matching and enrolment against values a second
// implementation (tools/rule_oracles/match_oracle.py) worked out from the written rules for
// random blocks and templates: every shift score, the centre after each pass, merged cells.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/stage_observer.h"
#include "enrol/match_enroll_pair.h"
#include "enrol/merge_enroll_features.h"
#include "feature/filter_bank.h"
#include "match/match_block_to_model.h"
#include "tables/lookup_tables.h"
#include "test_paths.h"

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
