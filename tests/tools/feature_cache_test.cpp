#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "feature_cache.h"
#include "test_paths.h"
#include "sim_finger/finger_generator.h"
#include "training_corpus.h"

namespace {

namespace fs = std::filesystem;

bool Same(const training::ImageBlocks& a, const training::ImageBlocks& b) {
  for (int i = 0; i < 3; ++i) {
    if (a.responses[i] != b.responses[i] ||
        std::memcmp(&a.blocks[i], &b.blocks[i], sizeof a.blocks[i]) != 0) {
      return false;
    }
  }
  return true;
}

class FeatureCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    training::InitEngineForTraining();
    folder_ = fvtest::ScratchPath("feature_cache");
    fs::remove_all(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::vector<fs::path> Files() const {
    std::vector<fs::path> files;
    for (const auto& e : fs::recursive_directory_iterator(folder_)) {
      if (e.is_regular_file()) files.push_back(e.path());
    }
    return files;
  }

  fs::path folder_;
};

TEST_F(FeatureCacheTest, ServesWhatExtractionMakesAndRefusesWhatItRefuses) {
  training::FeatureCache cache(folder_.string());
  const training::CorpusImage finger{"f", 0, simfinger::FingerImage(77, 0), "", "sim"};
  const training::CorpusImage blank{"b", 0, std::vector<std::uint8_t>(320 * 240, 128), "", "sim"};
  training::ImageBlocks direct, first, again;
  ASSERT_TRUE(training::ExtractBlocks(finger.pixels.data(), direct));
  ASSERT_TRUE(cache.Blocks(finger, first));
  EXPECT_FALSE(cache.Blocks(blank, first = {}));
  ASSERT_EQ(Files().size(), 2u);
  ASSERT_TRUE(cache.Blocks(finger, first));
  EXPECT_TRUE(Same(first, direct));
  EXPECT_FALSE(cache.Blocks(blank, again));
  // A file cut short (an interrupted copy) is extracted again, not served.
  for (const auto& f : Files()) fs::resize_file(f, fs::file_size(f) / 2);
  ASSERT_TRUE(training::FeatureCache(folder_.string()).Blocks(finger, again));
  EXPECT_TRUE(Same(again, direct));
}

TEST_F(FeatureCacheTest, ThreadedVisitsKeepTheCorpusOrder) {
  training::CorpusPlan plan;
  plan.firstSeed = 31000;
  plan.syntheticFingers = 5;
  plan.capturesPerFinger = 2;
  std::vector<std::string> order;
  training::ForEachImage(plan, [&](const training::CorpusImage& image) {
    order.push_back(image.finger + "/" + std::to_string(image.capture));
  });
  training::FeatureCache none("");
  std::vector<std::string> visited;
  const int n = training::ForEachExtracted(plan, none, 3, [&](const training::CorpusImage& image, bool ok,
                                                              const training::ImageBlocks& blocks) {
    visited.push_back(image.finger + "/" + std::to_string(image.capture));
    training::ImageBlocks direct;
    EXPECT_EQ(ok, training::ExtractBlocks(image.pixels.data(), direct));
    EXPECT_TRUE(!ok || Same(blocks, direct)) << visited.back();
  });
  EXPECT_EQ(n, 10);
  EXPECT_EQ(visited, order);
}

}  // namespace
