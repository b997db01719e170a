// Both finger-edge searches against rows a second implementation
// (tools/rule_oracles/edges_oracle.py) worked out from the written rules, on drawn fingers whose
// outline is known: exact rows in every column, and the outline followed within a row or two.

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <opencv2/imgcodecs.hpp>

#include "edges/finger_edges.h"
#include "tables/lookup_tables.h"
#include "test_paths.h"

namespace {

std::string DataDir() { return fvtest::SourceDir() + "/tests/engine_quality/data/"; }

// "<image> <what...>" -> the numbers after it.
std::map<std::string, std::vector<int>> Expected() {
  std::map<std::string, std::vector<int>> rows;
  std::ifstream in(DataDir() + "edges_expected.txt");
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    std::string image, a, b;
    words >> image >> a >> b;
    auto& values = rows[image + " " + a + " " + b];
    for (int v; words >> v;) values.push_back(v);
  }
  return rows;
}

struct Case {
  const char* image;
  int outlineFrom, outlineTo;  // columns where both edges must follow the drawn outline
};

// Beyond a finger's tip, or past a bend of an edge leaving the frame, the searches go their own
// way; the outline is held to where the finger is plain.
constexpr Case kCases[] = {
    {"level", 10, 309},      {"tilted", 10, 309}, {"curved", 10, 309},
    {"tip", 10, 239},        {"lowLost", 10, 199}, {"darkFinger", 10, 309},
    {"narrow", 10, 309},     {"rough", 0, -1},     {"framed", 0, -1},
    {"faint", 0, -1},        {"uniform", 0, -1},
    // Drawn so that one constant or comparison of the mode 0 search decides the rows (the
    // oracle checks that each variant it names gives other rows): the refinement weight and
    // rounding, the row weight's spread, the 20 % margin, "more than 10 rows" and "span above
    // 80", the roundings of the band profiles, the row where the two row weights meet, the
    // band columns and how far the search reaches.
    {"centreStep", 0, -1},   {"steep", 0, -1},     {"spreadRough", 0, -1},
    {"farLines", 0, -1},     {"spanLine", 0, -1},  {"nearLine", 0, -1},
    {"midRow", 0, -1},       {"tipBar", 0, -1},    {"frameEdges", 0, -1},
    // Modes 1 and 2: a plateau of the raw profile across the ends of both strip searches;
    // borders whose centre profile peaks on two equal rows; faint ramps that only the centre
    // columns 150 to 169 make strong enough; strips with an upper edge only.
    {"tent", 0, -1},         {"flat", 0, -1},      {"flatMarks", 0, -1},
    {"lowerGone", 0, -1},
};

using SearchFn = int (*)(const std::uint8_t*, std::int16_t*, std::int16_t*);

class EdgeRules : public ::testing::Test {
 protected:
  void SetUp() override { veltrum::BuildLookupTables(); }
  const std::map<std::string, std::vector<int>> expected = Expected();
};

TEST_F(EdgeRules, ExactRowsAndTheOutlineInBothSearches) {
  ASSERT_EQ(expected.size(), std::size(kCases) * (2 + 6) - 2);
  // Mode 0 refines on the gradient and lands on the drawn border; the strip search of modes 1
  // and 2 takes the raw profile's peak, a row or two inside a soft border.
  struct Search {
    const char* mode;
    SearchFn fn;
    int tolerance;
  };
  const Search searches[] = {{"mode0", veltrum::FindFingerEdgesMode0, 1},
                             {"mode12", veltrum::FindFingerEdgesMode12, 3}};
  for (const Case& c : kCases) {
    const cv::Mat img = cv::imread(DataDir() + "edges_" + c.image + ".png", cv::IMREAD_GRAYSCALE);
    ASSERT_EQ(img.cols, 320) << c.image;
    ASSERT_EQ(img.rows, 240) << c.image;
    const auto& outlineUpper = expected.at(std::string(c.image) + " outline upper");
    const auto& outlineLower = expected.at(std::string(c.image) + " outline lower");
    for (const Search& search : searches) {
      const std::string key = std::string(c.image) + " " + search.mode;
      std::array<std::int16_t, 320> upper, lower;
      upper.fill(77);
      lower.fill(77);
      const int status = search.fn(img.data, upper.data(), lower.data());
      ASSERT_EQ(status, expected.at(key + " status").at(0)) << key;
      if (status != 0) {
        EXPECT_EQ(upper[0], 77) << key << ": a failed search leaves the record";
        continue;
      }
      EXPECT_EQ(std::vector<int>(upper.begin(), upper.end()), expected.at(key + " upper")) << key;
      EXPECT_EQ(std::vector<int>(lower.begin(), lower.end()), expected.at(key + " lower")) << key;
      for (int col = c.outlineFrom; col <= c.outlineTo; ++col) {
        EXPECT_LE(std::abs(upper[col] - outlineUpper[col]), search.tolerance) << key << " column " << col;
        EXPECT_LE(std::abs(lower[col] - outlineLower[col]), search.tolerance) << key << " column " << col;
      }
    }
  }
}

}  // namespace
