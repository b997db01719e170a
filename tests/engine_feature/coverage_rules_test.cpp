// Coverage maps and the coarse vector against values a second implementation
// (tools/rule_oracles/coverage_oracle.py) worked out from the written rules: exact bytes for
// several grid origins and both radii, and the 240 coarse values with their single-precision
// steps and rounding. A retrained projection table means running the oracle again.

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "feature/coverage.h"
#include "feature/feature_block.h"
#include "feature/filter_bank.h"
#include "feature/refine_feature.h"
#include "test_paths.h"

namespace {

std::string DataPath(const char* name) {
  return fvtest::SourceDir() + "/tests/engine_feature/data/" + name;
}

struct Fixture {
  std::uint8_t pairs[140];
  std::uint8_t coverage[veltrum::kGridCells];
  std::vector<std::int32_t> work = std::vector<std::int32_t>(veltrum::kResponseEntries);
  std::map<std::string, std::vector<int>> expected;  // "grid 7 15" -> values
  bool loaded = false;
};

const Fixture& Load() {
  static const Fixture f = [] {
    Fixture f;
    std::ifstream in(DataPath("coverage_fixtures.bin"), std::ios::binary);
    in.read(reinterpret_cast<char*>(f.pairs), sizeof f.pairs);
    in.read(reinterpret_cast<char*>(f.coverage), sizeof f.coverage);
    in.read(reinterpret_cast<char*>(f.work.data()), f.work.size() * sizeof(std::int32_t));
    f.loaded = static_cast<bool>(in);
    std::ifstream text(DataPath("coverage_expected.txt"));
    for (std::string line; std::getline(text, line);) {
      if (line.empty() || line[0] == '#') continue;
      std::istringstream words(line);
      std::string kind, key;
      words >> kind;
      key = kind;
      if (kind != "coarse") {
        std::string origin, radius;
        words >> origin >> radius;
        key += " " + origin + " " + radius;
      }
      for (int v; words >> v;) f.expected[key].push_back(v);
    }
    return f;
  }();
  return f;
}

TEST(CoverageRules, GridAndSampleMapsForEveryOriginAndRadius) {
  const Fixture& f = Load();
  ASSERT_TRUE(f.loaded);
  for (int origin : {0, 7, -3}) {
    for (int radius : {veltrum::kCoverageRadiusA, veltrum::kCoverageRadiusB}) {
      const std::string at = " " + std::to_string(origin) + " " + std::to_string(radius);
      const veltrum::GridParams grid{origin};
      std::uint8_t cells[veltrum::kGridCells] = {};
      ASSERT_EQ(veltrum::ComputeCoverageGrid(cells, f.pairs, radius, grid), 0);
      EXPECT_EQ(std::vector<int>(cells, cells + veltrum::kGridCells), f.expected.at("grid" + at)) << at;
      std::uint8_t sampled[144] = {};
      ASSERT_EQ(veltrum::ComputeCoverageSamples(sampled, f.pairs, radius, grid), 0);
      const int n = radius == veltrum::kCoverageRadiusA ? 144 : 98;
      EXPECT_EQ(std::vector<int>(sampled, sampled + n), f.expected.at("samples" + at)) << at;
    }
  }
}

TEST(CoverageRules, CoarseVectorValues) {
  const Fixture& f = Load();
  ASSERT_TRUE(f.loaded);
  veltrum::FeatureBlock block{};
  block.gridOrigin = 1234;
  std::uint8_t coverage[veltrum::kGridCells];
  std::copy(f.coverage, f.coverage + veltrum::kGridCells, coverage);
  ASSERT_EQ(veltrum::RefineFeature(block, coverage, f.work.data(), true), 0);
  EXPECT_EQ(std::vector<int>(block.coarse, block.coarse + 240), f.expected.at("coarse"));
  EXPECT_EQ(block.gridOrigin, 1234) << "ready maps leave the grid fields alone";
}

}  // namespace
