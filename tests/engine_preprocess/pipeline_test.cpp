#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/alloc.h"
#include "core/status.h"
#include "preprocess/preprocess_image.h"
#include "sim_finger/finger_generator.h"
#include "sim_finger/random.h"
#include "veltrum.h"

namespace {

constexpr int kOutW = 140, kOutH = 120;

// Everything one call of the pipeline leaves behind.
struct Outcome {
  std::vector<std::uint8_t> image;
  std::vector<std::uint8_t> reference = std::vector<std::uint8_t>(kOutW * kOutH, 7);
  std::vector<std::uint8_t> mask = std::vector<std::uint8_t>(320 * 240, 7);
  std::vector<std::uint8_t> scratch = std::vector<std::uint8_t>(veltrum::kIntegralScratchBytes);
  std::array<std::int16_t, 320> upper{}, lower{};
  veltrum::ImageRef output{0, 0, nullptr};
  int status = 0;

  explicit Outcome(std::vector<std::uint8_t> input) : image(std::move(input)) {
    const veltrum::ImageRef in{320, 240, image.data()};
    status = veltrum::PreprocessImage(reference.data(), in, output, scratch.data(), upper.data(),
                                      lower.data(), mask.data());
  }
  bool SameResult(const Outcome& o) const {
    return status == o.status && image == o.image && reference == o.reference && mask == o.mask &&
           upper == o.upper && lower == o.lower;
  }
  // First and last finger row of column x of the 140 x 120 mask, or (-1, -1).
  std::pair<int, int> MaskRows(int x) const {
    int first = -1, last = -1;
    for (int y = 0; y < kOutH; ++y) {
      if (mask[y * kOutW + x]) {
        if (first < 0) first = y;
        last = y;
      }
    }
    return {first, last};
  }
};

// A level finger of half width 60 about row 120, without veins or noise.
std::vector<std::uint8_t> FlatFinger() {
  simfinger::Finger f{};
  f.centreRow = 120;
  f.halfWidth = 60;
  f.level = 150;
  f.background = 30;
  return simfinger::Render(f, simfinger::Capture{});
}

// A sharp band of 150 on 30 over rows first..first + rows - 1, full width.
std::vector<std::uint8_t> Slab(int first, int rows, std::uint8_t background = 30) {
  std::vector<std::uint8_t> image(320 * 240, background);
  for (int y = first; y < first + rows; ++y) {
    for (int x = 0; x < 320; ++x) image[y * 320 + x] = 150;
  }
  return image;
}

class Pipeline : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(VLT_FV_Init(0), 0); }
  void TearDown() override {
    veltrum::FailNthAllocation(0);
    VLT_FV_Init(0);
  }
};

TEST_F(Pipeline, FlatFingerGivesExactMaskRowsAndGridOrigin) {
  struct Case {
    int mode;
    int edgeFirst, edgeLast;             // columns with edges in the full-size record
    int unwrappedUpper, unwrappedLower;  // their rows after the unwrap
    int maskFirst, maskLast;             // rows of every column of the 140 x 120 mask
  };
  // Mode 0 finds rows 61 and 178 in every column, modes 1 and 2 rows 62 and 177 in columns
  // 10..309. Both fingers are centred (no rotation) and nearly 120 wide (k = 0.991 and 0.985
  // keep the mask rows). The unwrap spreads 67 rows each way from row 119 (h = 59, 58) and the
  // reduction keeps the 2 x 2 blocks wholly inside.
  for (const Case& c : {Case{0, 0, 318, 52, 186, 26, 92}, Case{1, 10, 309, 53, 185, 27, 92},
                        Case{2, 10, 309, 53, 185, 27, 92}}) {
    ASSERT_EQ(VLT_FV_Init(c.mode), 0);
    Outcome r(FlatFinger());
    ASSERT_EQ(r.status, 0) << "mode " << c.mode;
    EXPECT_EQ(r.output.width, kOutW);
    EXPECT_EQ(r.output.height, kOutH);
    EXPECT_EQ(r.output.pixels, r.image.data());
    for (int x = 0; x < 320; ++x) {
      const bool unwrapped = x >= std::max(c.edgeFirst, 5) && x <= std::min(c.edgeLast, 314);
      const bool edges = x >= c.edgeFirst && x <= c.edgeLast;
      EXPECT_EQ(r.upper[x], unwrapped ? c.unwrappedUpper : edges ? 61 : 0) << c.mode << " " << x;
      EXPECT_EQ(r.lower[x], unwrapped ? c.unwrappedLower : edges ? 178 : 0) << c.mode << " " << x;
    }
    int sumFirst = 0, sumLast = 0;
    for (int x = 0; x < kOutW; ++x) {
      const auto [first, last] = r.MaskRows(x);
      EXPECT_EQ(first, c.maskFirst) << "mode " << c.mode << " column " << x;
      EXPECT_EQ(last, c.maskLast) << "mode " << c.mode << " column " << x;
      sumFirst += first;
      sumLast += last;
    }
    // The feature grid's origin row follows from the mean mask rows: 25 for both.
    const int u = sumFirst / kOutW, l = sumLast / kOutW;
    EXPECT_EQ(u + (l - u - 69) / 2, 25) << "mode " << c.mode;
    for (int x = 0; x < kOutW; ++x) {
      EXPECT_EQ(r.image[x], 255) << "row 0 is white";
      EXPECT_EQ(r.reference[(kOutH - 1) * kOutW + x], 255) << "row 119 is white";
    }
  }
}

TEST_F(Pipeline, ModesOneAndTwoAgreeOnACleanFinger) {
  // Without glare or over-exposure both searches see the same plane.
  ASSERT_EQ(VLT_FV_Init(1), 0);
  const Outcome mode1(simfinger::FingerImage(3, 0));
  ASSERT_EQ(VLT_FV_Init(2), 0);
  const Outcome mode2(simfinger::FingerImage(3, 0));
  EXPECT_EQ(mode1.status, 0);
  EXPECT_TRUE(mode1.SameResult(mode2));
}

TEST_F(Pipeline, FingerHeightBoundary) {
  struct Case {
    int rows;
    int status;
  };
  // A sharp full-width band is found row for row: 20 rows x 320 columns is exactly the 6400
  // pixels a finger needs.
  for (const Case& c : {Case{19, veltrum::kFingerTooSmall}, Case{20, 0}, Case{60, 0}}) {
    const Outcome r(Slab(120 - c.rows / 2, c.rows));
    EXPECT_EQ(r.status, c.status) << c.rows << " rows";
    EXPECT_EQ(r.output.pixels != nullptr, c.status == 0) << c.rows << " rows";
  }
}

TEST_F(Pipeline, SaturatedMiddlePixelIsNoReasonToStop) {
  auto image = simfinger::FingerImage(5, 1);
  image[120 * 320 + 160] = 255;
  EXPECT_EQ(Outcome(image).status, 0);
}

std::vector<std::uint8_t> Noise(std::uint64_t seed, int lo, int hi) {
  simfinger::Random rng(seed);
  std::vector<std::uint8_t> image(320 * 240);
  for (auto& v : image) v = static_cast<std::uint8_t>(rng.UniformInt(lo, hi));
  return image;
}

TEST_F(Pipeline, DegenerateImagesGiveTheSameStatusAndBytesOnEveryRun) {
  struct Case {
    std::string name;
    std::vector<std::uint8_t> image;
    int statusMode0, statusMode12;  // 1 = any status the pipeline may give
  };
  std::vector<std::uint8_t> bands = Slab(60, 120);
  for (int x = 0; x < 320; ++x) {
    for (const int y : {3, 4, 5, 20, 21, 22, 215, 216, 230, 231}) bands[y * 320 + x] = 255;
  }
  const std::vector<Case> cases = {
      {"Black", std::vector<std::uint8_t>(320 * 240, 0), veltrum::kFingerTooSmall, -1},
      {"Grey", std::vector<std::uint8_t>(320 * 240, 128), veltrum::kFingerTooSmall, -1},
      {"AllSaturated", std::vector<std::uint8_t>(320 * 240, 255), veltrum::kFingerTooSmall, -1},
      {"Noise", Noise(11, 0, 255), 1, 1},
      {"BrightNoise", Noise(12, 240, 255), 1, 1},
      {"TinyFinger", Slab(115, 8), veltrum::kFingerTooSmall, 1},
      {"FingerAtTheTop", Slab(0, 30), 1, 1},
      {"FingerAtTheBottom", Slab(215, 25), 1, 1},
      {"SaturatedBands", bands, 1, 1},
      {"ShortFinger",
       [] {
         auto image = Slab(60, 120);
         for (int y = 0; y < 240; ++y) {
           for (int x = 30; x < 320; ++x) image[y * 320 + x] = 30;
         }
         return image;
       }(),
       veltrum::kFingerTooSmall, 1},
  };
  for (int mode : {0, 1, 2}) {
    ASSERT_EQ(VLT_FV_Init(mode), 0);
    for (const Case& c : cases) {
      const Outcome first(c.image), second(c.image);
      const int expected = mode == 0 ? c.statusMode0 : c.statusMode12;
      if (expected != 1) {
        EXPECT_EQ(first.status, expected) << c.name << " mode " << mode;
      }
      EXPECT_TRUE(first.status == 0 || first.status == -1 || first.status == 3012 ||
                  first.status == veltrum::kFingerTooSmall)
          << c.name << " mode " << mode << " status " << first.status;
      EXPECT_TRUE(first.SameResult(second)) << c.name << " mode " << mode;
      if (first.status != 0) {
        EXPECT_EQ(first.output.pixels, nullptr) << c.name;
      }
    }
  }
}

TEST_F(Pipeline, EveryAllocationFailureIsReported) {
  const auto image = simfinger::FingerImage(2, 0);
  int n = 1;
  for (;; ++n) {
    veltrum::FailNthAllocation(n);
    const Outcome r(image);
    if (r.status == 0) break;
    // The work planes first, then the band search's buffers (-1), then the steps'.
    const int expected = n <= 5 ? 3012 : n <= 7 ? -1 : r.status;
    EXPECT_EQ(r.status, expected) << "allocation " << n;
    EXPECT_TRUE(r.status == 3012 || r.status == -1) << "allocation " << n;
    ASSERT_LT(n, 100);
  }
  EXPECT_GT(n, 20) << "the pipeline and its steps allocate more than this";
}

}  // namespace
