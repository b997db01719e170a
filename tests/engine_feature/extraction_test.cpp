#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "api/operations.h"
#include "core/alloc.h"
#include "core/image_ref.h"
#include "core/status.h"
#include "feature/feature_block.h"
#include "feature/grid_origin.h"
#include "feature_fixtures.h"
#include "sim_finger/finger_generator.h"
#include "sim_finger/random.h"
#include "veltrum.h"

namespace {

using namespace veltrum;

struct Extracted {
  int status;
  VeinFeature feature;
};

Extracted Extract(const std::vector<std::uint8_t>& image) {
  Extracted out;
  std::memset(&out.feature, 0x5A, sizeof out.feature);
  out.status = VLT_FV_ExtractFeature(image.data(), kVltImageHeight, kVltImageWidth,
                                     reinterpret_cast<unsigned char*>(&out.feature));
  return out;
}

class Extraction : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(VLT_FV_Init(0), 0); }
};

TEST_F(Extraction, SyntheticFingersGiveCompleteFeatures) {
  for (std::uint64_t seed : {1u, 2u, 17u, 40u}) {
    for (int capture : {0, 3}) {
      const auto image = simfinger::FingerImage(seed, capture);
      const auto before = image;
      const Extracted e = Extract(image);
      ASSERT_EQ(e.status, 0) << seed << "/" << capture;
      EXPECT_EQ(image, before);
      for (int b = 0; b < 3; ++b) {
        const FeatureBlock& block = e.feature.blocks[b];
        for (const auto& row : block.codeRows) ASSERT_EQ(row[3] >> 8, 0u) << "codes expanded";
        EXPECT_EQ(block.coverage15[7 * 22 + 11], 255) << "block " << b;
        EXPECT_GT(block.coverage27[7 * 22 + 11], 200) << "block " << b;
      }
      const FeatureBlock& first = e.feature.blocks[0];
      EXPECT_EQ(first.gridOrigin, ComputeGridOrigin(&first.edgePairs[0][0]).origin);
      EXPECT_EQ(first.gridFirstCol, 6);
      int coarse = 0;
      for (std::int8_t v : first.coarse) coarse += v != 0;
      EXPECT_GT(coarse, 100);
      for (int b = 1; b < 3; ++b) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(&e.feature.blocks[b]);
        for (int i = 8720; i < 8968; ++i) ASSERT_EQ(bytes[i], 0) << "block " << b << " byte " << i;
      }
      // The tilts really turn the finger: the outlines of the blocks differ.
      EXPECT_NE(0, std::memcmp(e.feature.blocks[0].edgePairs, e.feature.blocks[2].edgePairs, 140));
    }
  }
}

TEST_F(Extraction, ImagesWithoutAUsableFingerGive3002AndLeaveTheFeature) {
  auto narrow = simfinger::MakeFinger(3);
  narrow.halfWidth = 8;  // preprocessing refuses it as too small, well clear of the limit
  const std::vector<std::uint8_t> images[] = {
      std::vector<std::uint8_t>(kFramePixels, 0),
      std::vector<std::uint8_t>(kFramePixels, 90),
      simfinger::Render(narrow, simfinger::MakeCapture(3, 0)),
  };
  for (const auto& image : images) {
    std::vector<unsigned char> feature(kVltFeatureBytes, 0x5A);
    EXPECT_EQ(VLT_FV_ExtractFeature(image.data(), 240, 320, feature.data()), kPreprocessFailed);
    EXPECT_EQ(feature, std::vector<unsigned char>(kVltFeatureBytes, 0x5A));
  }
}

TEST_F(Extraction, ShiftedFingerAgreesOnClearlyMoreBitsThanAnotherFinger) {
  for (std::uint64_t seed : {5u, 6u, 7u}) {
    const auto finger = simfinger::MakeFinger(seed);
    auto capture = simfinger::MakeCapture(seed, 0);
    const Extracted probe = Extract(simfinger::Render(finger, capture));
    capture.shiftX += 2;
    const Extracted shifted = Extract(simfinger::Render(finger, capture));
    const Extracted other = Extract(simfinger::FingerImage(seed + 100, 0));
    ASSERT_EQ(probe.status, 0);
    ASSERT_EQ(shifted.status, 0);
    ASSERT_EQ(other.status, 0);
    const double same = featuretest::CodeAgreement(probe.feature.blocks[0], shifted.feature.blocks[0]);
    const double different = featuretest::CodeAgreement(probe.feature.blocks[0], other.feature.blocks[0]);
    // Seen: about 0.87 against 0.56.
    EXPECT_GT(same, different + 0.2) << "seed " << seed << ": " << same << " vs " << different;
  }
}

// Every code bit should split fingers about evenly, or unrelated fingers agree too often.
TEST_F(Extraction, CodeBitsAreBalancedOverFingers) {
  std::vector<long> ones(104, 0);
  long cells = 0;
  std::vector<FeatureBlock> blocks;
  for (std::uint64_t seed = 200; seed < 212; ++seed) {
    const Extracted e = Extract(simfinger::FingerImage(seed, 0));
    ASSERT_EQ(e.status, 0) << seed;
    const FeatureBlock& b = e.feature.blocks[0];
    blocks.push_back(b);
    for (int cell = 0; cell < kGridCells; ++cell) {
      if (b.coverage27[cell] < 128) continue;
      ++cells;
      for (int i = 0; i < 104; ++i) {
        const std::uint32_t word = b.codeRows[cell][i < 96 ? i / 32 : 3];
        ones[i] += (word >> (i < 96 ? 31 - i % 32 : 103 - i)) & 1u;
      }
    }
  }
  for (int i = 0; i < 104; ++i) {
    const double p = static_cast<double>(ones[i]) / cells;
    EXPECT_GT(p, 0.35) << "bit " << i;
    EXPECT_LT(p, 0.65) << "bit " << i;
  }
  double impostor = 0;
  for (std::size_t i = 1; i < blocks.size(); ++i) {
    impostor += featuretest::CodeAgreement(blocks[i - 1], blocks[i]) / (blocks.size() - 1);
  }
  EXPECT_LT(impostor, 0.54);
}

// Extremes of input: nothing may crash, read out of bounds or overflow.
TEST_F(Extraction, DegenerateImagesEndWithAStatus) {
  simfinger::Random random(99);
  auto pattern = [](auto f) {
    std::vector<std::uint8_t> p(kFramePixels);
    for (int y = 0; y < 240; ++y) {
      for (int x = 0; x < 320; ++x) p[y * 320 + x] = static_cast<std::uint8_t>(f(x, y));
    }
    return p;
  };
  auto edgeFinger = [](double centre, double half) {
    auto f = simfinger::MakeFinger(11);
    f.centreRow = centre;
    f.halfWidth = half;
    return simfinger::Render(f, simfinger::MakeCapture(11, 0));
  };
  struct Case {
    std::string what;
    std::vector<std::uint8_t> image;
  };
  const Case cases[] = {
      {"white", std::vector<std::uint8_t>(kFramePixels, 255)},
      {"saturated band", pattern([](int, int y) { return y > 60 && y < 180 ? 255 : 20; })},
      {"checkerboard", pattern([](int x, int y) { return (x + y) % 2 ? 255 : 0; })},
      {"rows stripes", pattern([](int, int y) { return y % 6 < 3 ? 250 : 10; })},
      {"column stripes", pattern([](int x, int) { return x % 5 < 2 ? 250 : 10; })},
      {"noise", pattern([&](int, int) { return random.UniformInt(0, 255); })},
      {"ramp", pattern([](int x, int y) { return (x + y) % 256; })},
      {"finger at the top", edgeFinger(30, 55)},
      {"finger at the bottom", edgeFinger(210, 55)},
      {"finger filling the frame", edgeFinger(120, 150)},
      {"thin finger", edgeFinger(120, 20)},
  };
  for (const auto& c : cases) {
    const int status = Extract(c.image).status;
    EXPECT_TRUE(status == 0 || status == kPreprocessFailed) << c.what << ": " << status;
  }
}

TEST_F(Extraction, EveryAllocationFailureEndsWithAFailureStatus) {
  const auto image = simfinger::FingerImage(8, 0);
  std::vector<unsigned char> feature(kVltFeatureBytes, 0x5A);
  int n = 1, status = -1;
  bool preprocessingFailed = false;
  for (; n < 400; ++n) {
    FailNthAllocation(n);
    status = ExtractMatchFeature(image.data(), feature.data());
    FailNthAllocation(0);
    if (status == 0) break;
    if (n <= 5) {
      EXPECT_EQ(status, kOutOfMemory) << "driver allocation " << n;
    }
    EXPECT_TRUE(status == kOutOfMemory || status == kPreprocessFailed || status == -1)
        << "allocation " << n << ": " << status;
    preprocessingFailed |= status == kPreprocessFailed;
    ASSERT_EQ(feature, std::vector<unsigned char>(kVltFeatureBytes, 0x5A)) << "allocation " << n;
  }
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(preprocessingFailed);
}

}  // namespace
