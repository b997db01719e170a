// Every stage's output over the fixed images against the committed baseline. A change that
// means to alter an output regenerates the baseline with print_stage_checksums in the same
// commit and says why; any other difference is a fault.

#include <fstream>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "stage_checksums.h"
#include "test_paths.h"

namespace {

std::vector<std::string> Baseline(bool withReal) {
  std::ifstream in(fvtest::SourceDir() + "/tests/engine_checksums/stage_checksums.txt");
  std::vector<std::string> rows;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && (withReal || !stagesums::IsRealRow(line))) rows.push_back(line);
  }
  return rows;
}

TEST(StageChecksums, EveryStageMatchesTheBaseline) {
  const std::string data = fvtest::DataDir();
  if (data.empty()) std::printf("shared data folder absent: real-image rows skipped\n");
  const std::vector<std::string> expected = Baseline(!data.empty());
  ASSERT_GT(expected.size(), 1000u) << "baseline missing or truncated";
  const std::vector<std::string> actual = stagesums::ComputeChecksums(data);
  // Rows that differ, by key, so the first changed stage is plain to see.
  const std::set<std::string> want(expected.begin(), expected.end());
  const std::set<std::string> got(actual.begin(), actual.end());
  int shown = 0;
  for (const std::string& row : actual) {
    if (!want.count(row) && ++shown <= 20) ADD_FAILURE() << "not in the baseline: " << row;
  }
  for (const std::string& row : expected) {
    if (!got.count(row) && ++shown <= 40) ADD_FAILURE() << "baseline row not produced: " << row;
  }
  EXPECT_EQ(actual, expected) << "rows differ in order or number";
}

}  // namespace
