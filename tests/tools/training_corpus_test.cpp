#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include "test_paths.h"
#include "training_corpus.h"

namespace {

namespace fs = std::filesystem;

// The real images are told apart by their folder, whatever the manifest's note says: a set
// without notes once counted as synthetic in the trained table's weighting.
TEST(TrainingCorpus, RealImagesCarryTheirFolderAsSource) {
  const fs::path dir = fvtest::ScratchPath("training_corpus");
  fs::remove_all(dir);
  for (const char* sub : {"real-a/device1", "real-c"}) fs::create_directories(dir / sub);
  cv::imwrite((dir / "real-a/device1/a.png").string(), cv::Mat(240, 320, CV_8UC1, cv::Scalar(90)));
  cv::imwrite((dir / "real-c/c.png").string(), cv::Mat(240, 320, CV_8UC1, cv::Scalar(60)));
  cv::imwrite((dir / "real-c/small.png").string(), cv::Mat(120, 160, CV_8UC1, cv::Scalar(60)));
  std::ofstream(dir / "manifest.csv") << "path,finger,capture,note\n"
                                         "real-a/device1/a.png,a-f1,3,device1\n"
                                         "real-c/small.png,c-f1,1,\n"
                                         "real-c/c.png,c-f1,2,\n";
  training::CorpusPlan plan;
  plan.syntheticFingers = 1;
  plan.capturesPerFinger = 1;
  plan.dataDir = dir.string();
  std::vector<training::CorpusImage> seen;
  const int n = training::ForEachImage(plan, [&](const training::CorpusImage& image) { seen.push_back(image); });
  ASSERT_EQ(n, 3);  // the image of the wrong size is left out
  EXPECT_EQ(seen[0].source, "sim");
  EXPECT_EQ(seen[1].source, "real-a");
  EXPECT_EQ(seen[1].note, "device1");
  EXPECT_EQ(seen[1].finger, "a-f1");
  EXPECT_EQ(seen[1].capture, 3);
  EXPECT_EQ(seen[2].source, "real-c");
  EXPECT_EQ(seen[2].note, "");
  EXPECT_EQ(seen[2].pixels[0], 60);
  fs::remove_all(dir);
}

}  // namespace
