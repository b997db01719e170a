#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include <opencv2/imgcodecs.hpp>

#include "test_paths.h"
#include "veltrum.h"

namespace {

// Real captures of fingers from two devices and a cropped set: every one is a usable finger.
TEST(RealImages, EveryEighthCaptureIsAcceptedInEveryMode) {
  if (fvtest::DataDir().empty()) GTEST_SKIP() << "no shared data folder";
  const std::vector<std::string> paths = fvtest::RealImagePaths();
  ASSERT_FALSE(paths.empty());
  for (int mode = 0; mode < 3; ++mode) {
    ASSERT_EQ(VLT_FV_Init(mode), 0);
    for (std::size_t i = 0; i < paths.size(); i += 8) {
      const cv::Mat image = cv::imread(paths[i], cv::IMREAD_GRAYSCALE);
      ASSERT_EQ(image.cols, 320) << paths[i];
      ASSERT_EQ(image.rows, 240) << paths[i];
      ASSERT_TRUE(image.isContinuous());
      float params[6] = {0.05f, 0.1f, 0.0f, 0.0f, 0.0f, 0.0f};
      EXPECT_EQ(VLT_FV_Quality(image.data, 240, 320, params), 0) << paths[i] << ", mode " << mode;
    }
  }
}

}  // namespace
