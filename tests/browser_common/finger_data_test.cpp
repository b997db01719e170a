// Capture data of a run: slot bounds, base64 of one entry, and the JSON texts of both builds.

#include "data/finger_data.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/flavour_testing.h"

namespace {

using fvbrowser::FingerData;
using fvbrowser::Flavour;
using fvbrowser::testing::ScopedFlavour;

const std::vector<std::uint8_t> kFoo = {'f', 'o', 'o'};
const std::vector<std::uint8_t> kZeroModel(3352, 0);
// 3352 zero bytes: 1117 groups "AAAA" and one byte "AA==".
const std::string kZeroModelText = std::string(4468, 'A') + "AA==";

TEST(FingerData, SlotsAreBoundedAndEmptyImagesRefused) {
  FingerData data;
  EXPECT_EQ(data.addImage({}, 1), -1);
  EXPECT_EQ(data.imageCount(), 0);
  for (int i = 0; i < 16; ++i) ASSERT_EQ(data.addImage(kFoo, i), 76800) << i;
  EXPECT_EQ(data.addImage(kFoo, 16), -1);
  EXPECT_EQ(data.imageCount(), 16);
  EXPECT_EQ(data.addFeature(std::vector<std::uint8_t>(3351), 1), -1) << "short template";
  EXPECT_EQ(data.addFeature(std::vector<std::uint8_t>(3353), 1), -1) << "long template";
  for (int i = 0; i < 16; ++i) ASSERT_EQ(data.addFeature(kZeroModel, 1), 3352) << i;
  EXPECT_EQ(data.addFeature(kZeroModel, 1), -1);
  data.clear();
  EXPECT_EQ(data.imageCount(), 0);
  EXPECT_EQ(data.featureCount(), 0);
  EXPECT_EQ(data.getLastImage(), "");
}

TEST(FingerData, EntriesOutsideTheCountGiveEmptyTexts) {
  FingerData data;
  data.addImage(kFoo, 1);
  data.addImage(std::vector<std::uint8_t>{'f', 'o'}, 2);
  data.addFeature(kZeroModel, 1);
  EXPECT_EQ(data.getImageofIndex(-1), "");
  EXPECT_EQ(data.getImageofIndex(2), "");
  EXPECT_EQ(data.getImageofIndex(0), "Zm9v");
  EXPECT_EQ(data.getLastImage(), "Zm8=");
  EXPECT_EQ(data.getFeatureofIndex(1), "");
  EXPECT_EQ(data.getLastFeature(), kZeroModelText);
  EXPECT_EQ(data.getLastFeature().size(), 4472u);
}

TEST(FingerData, ImagesJsonIsTheSameInBothBuilds) {
  const std::string expected =
      "{\"algtype\":3,\"images\":{\"0\":\"Zm9v\",\"1\":\"Zm8=\"},\"num\":2,\"quality\":3,"
      "\"type\":{\"0\":{\"fingertype\":2,\"len\":0},\"1\":{\"fingertype\":5,\"len\":0}}}\n";
  for (Flavour flavour : {Flavour::kControl, Flavour::kPlugin}) {
    ScopedFlavour scoped(flavour);
    FingerData data;
    data.addImage(kFoo, 2);
    data.addImage(std::vector<std::uint8_t>{'f', 'o'}, 5);
    EXPECT_EQ(data.imagesToJson(), expected);
  }
  FingerData none;
  EXPECT_EQ(none.imagesToJson(),
            "{\"algtype\":3,\"images\":{},\"num\":0,\"quality\":3,\"type\":{}}\n");
}

TEST(FingerData, FeaturesJsonPutsLenWhereEachBuildDoes) {
  struct Case {
    Flavour flavour;
    std::string expected;
  } cases[] = {
      {Flavour::kControl, "{\"algtype\":3,\"feature\":{\"0\":\"" + kZeroModelText + "\",\"1\":\"" +
                              kZeroModelText +
                              "\"},\"len\":3352,\"num\":2,\"quality\":3,"
                              "\"type\":{\"0\":{\"fingertype\":2},\"1\":{\"fingertype\":3}}}\n"},
      {Flavour::kPlugin, "{\"algtype\":3,\"feature\":{\"0\":\"" + kZeroModelText + "\",\"1\":\"" +
                             kZeroModelText +
                             "\",\"len\":3352},\"num\":2,\"quality\":3,"
                             "\"type\":{\"0\":{\"fingertype\":2},\"1\":{\"fingertype\":3}}}\n"},
  };
  for (const Case& c : cases) {
    ScopedFlavour scoped(c.flavour);
    FingerData data;
    // Two images of finger 2 before the templates: each template keeps its own finger code.
    data.addImage(kFoo, 2);
    data.addImage(kFoo, 2);
    data.addFeature(kZeroModel, 2);
    data.addImage(kFoo, 3);
    data.addImage(kFoo, 3);
    data.addFeature(kZeroModel, 3);
    EXPECT_EQ(data.featuresToJson(), c.expected);
  }
}

}  // namespace
