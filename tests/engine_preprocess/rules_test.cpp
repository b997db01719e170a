// Five preprocessing steps against planes a second implementation
// (tools/rule_oracles/preprocess_oracle.py) worked out from the written rules, every
// single-precision step and every rounding term included: rotation, width normalisation at
// several widths (the extremes reach the row guards), unwrapping with each pair of flags,
// local equalisation (strict and inclusive windows) and brightening.

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <opencv2/imgcodecs.hpp>

#include "core/image_ref.h"
#include "preprocess/preprocess_image.h"
#include "preprocess/preprocess_steps.h"
#include "tables/lookup_tables.h"
#include "test_paths.h"

namespace {

using Plane = std::vector<std::uint8_t>;
using Edges = std::vector<std::int16_t>;

std::string DataDir() { return fvtest::SourceDir() + "/tests/engine_preprocess/data/"; }

Plane Input(const std::string& name) {
  const cv::Mat img = cv::imread(DataDir() + name + "_in.png", cv::IMREAD_GRAYSCALE);
  if (img.cols != 320 || img.rows != 240) return {};
  return Plane(img.data, img.data + img.total());
}

std::string Digest(const Plane& p) {
  std::uint64_t h = 14695981039346656037ull;
  for (std::uint8_t v : p) h = (h ^ v) * 1099511628211ull;
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
  return text;
}

struct Cases {
  std::map<std::string, std::string> planes;              // output name -> checksum
  std::map<std::string, std::vector<std::string>> lines;  // "rotate 1" -> the words after it
};

const Cases& Load() {
  static const Cases c = [] {
    Cases c;
    std::ifstream in(DataDir() + "preprocess_cases.txt");
    for (std::string line; std::getline(in, line);) {
      if (line.empty() || line[0] == '#') continue;
      std::istringstream words(line);
      std::string kind, key;
      words >> kind >> key;
      std::vector<std::string> rest;
      for (std::string w; words >> w;) rest.push_back(w);
      if (kind == "plane") {
        c.planes[key] = rest.at(0);
      } else {
        c.lines[kind + " " + key] = rest;
      }
    }
    return c;
  }();
  return c;
}

Edges EdgesFrom(const std::vector<std::string>& words, std::size_t from) {
  Edges e(320);
  for (int x = 0; x < 320; ++x) e[x] = static_cast<std::int16_t>(std::stoi(words.at(from + x)));
  return e;
}

class PreprocessRules : public ::testing::Test {
 protected:
  void SetUp() override { veltrum::BuildLookupTables(); }
  void ExpectPlane(const std::string& name, const Plane& p) {
    ASSERT_TRUE(cases.planes.count(name)) << name;
    EXPECT_EQ(Digest(p), cases.planes.at(name)) << name;
  }
  const Cases& cases = Load();
};

TEST_F(PreprocessRules, RotationRoundsItsFixedPointInterpolation) {
  const Plane image = Input("rotate_image"), mask1 = Input("rotate_mask1"), mask2 = Input("rotate_mask2");
  ASSERT_FALSE(image.empty());
  for (int i = 0; i < 4; ++i) {
    const auto& w = cases.lines.at("rotate " + std::to_string(i));
    Edges upper(320, 0), lower(320, 0);
    upper[160] = static_cast<std::int16_t>(std::stoi(w.at(1)));
    lower[160] = static_cast<std::int16_t>(std::stoi(w.at(2)));
    Plane a = image, b = mask1, c = mask2;
    ASSERT_EQ(veltrum::RotateFinger(a.data(), b.data(), c.data(), std::stof(w.at(0)), upper.data(),
                                    lower.data()),
              0);
    const std::string at = "rotate" + std::to_string(i);
    ExpectPlane(at + "_image_out", a);
    ExpectPlane(at + "_mask1_out", b);
    ExpectPlane(at + "_mask2_out", c);
  }
}

TEST_F(PreprocessRules, WidthNormalisationAtEveryScaleAndItsRowGuards) {
  const Plane image = Input("width_image");
  ASSERT_FALSE(image.empty());
  // "ends": a wide column at each measuring limit, so that one column more or fewer changes
  // the mean width; "late": edges only from column 160, outside the search for the first.
  for (const std::string width : {"120", "96", "150", "40", "236", "ends", "late"}) {
    const auto& w = cases.lines.at("width " + width);
    const Edges upper = EdgesFrom(w, 0), lower = EdgesFrom(w, 320);
    const std::string at = "width" + (width == "ends" ? std::string("Ends")
                                      : width == "late" ? std::string("Late")
                                                        : width);
    Plane img = image, mask = Input(at + "_mask");
    ASSERT_EQ(veltrum::NormaliseFingerWidth(upper.data(), lower.data(), img.data(), mask.data()), 0);
    ExpectPlane(at + "_image_out", img);
    ExpectPlane(at + "_mask_out", mask);
  }
}

TEST_F(PreprocessRules, UnwrapRoundsTableAndRowInterpolation) {
  const Plane image = Input("unwrap_image"), mask = Input("unwrap_mask");
  ASSERT_FALSE(image.empty());
  const auto& w = cases.lines.at("unwrap edges");
  const Edges upper = EdgesFrom(w, 0), lower = EdgesFrom(w, 320);
  for (int lowerVaries : {0, 1}) {
    for (int upperVaries : {0, 1}) {
      Plane img = image, m = mask;
      ASSERT_EQ(veltrum::UnwrapFingerSection(lower.data(), lowerVaries, upperVaries, upper.data(),
                                             img.data(), m.data()),
                0);
      const std::string at = "unwrap" + std::to_string(lowerVaries) + std::to_string(upperVaries);
      ExpectPlane(at + "_image_out", img);
      ExpectPlane(at + "_mask_out", m);
    }
  }
}

// "equaliseNear" holds a window whose near count is exactly 0.9 of its pixels.
TEST_F(PreprocessRules, EqualisationRanksStrictlyOnlyInDarkSpreadWindows) {
  for (const std::string name : {"equalise", "equaliseNear"}) {
    Plane image = Input(name + "_image");
    const Plane mask = Input(name + "_mask");
    ASSERT_FALSE(image.empty()) << name;
    const auto& rows = cases.lines.at(name + " rows");
    ASSERT_EQ(veltrum::EqualiseLocalHistogram(image.data(), mask.data(), std::stoi(rows.at(0)),
                                              std::stoi(rows.at(1))),
              0);
    ExpectPlane(name + "_image_out", image);
  }
}

TEST_F(PreprocessRules, BrighteningTruncatesTheMeanBeforeScaling) {
  Plane image = Input("brighten_image");
  const Plane mask = Input("brighten_mask");
  ASSERT_FALSE(image.empty());
  const auto& rows = cases.lines.at("brighten rows");
  std::vector<std::uint8_t> scratch(veltrum::kIntegralScratchBytes);
  ASSERT_EQ(veltrum::BrightenLocalMean(image.data(), mask.data(), scratch.data(),
                                       std::stoi(rows.at(0)), std::stoi(rows.at(1))),
            0);
  ExpectPlane("brighten_image_out", image);
}

}  // namespace
