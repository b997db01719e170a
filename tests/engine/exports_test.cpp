#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/engine_state.h"
#include "core/status.h"
#include "fresh_process.h"
#include "tables/lookup_tables.h"
#include "veltrum.h"

namespace {

// Marks the case whose status is the operation's own (ImageCall::passed).
constexpr int kOperationStatus = 1 << 30;

struct ImageCall {
  std::string name;
  std::function<int(const unsigned char* image, int height, int width)> call;
  int passed = 0;  // status once every export check has passed, on a flat grey image
};

// Every export that takes an image with its height and width, with valid other arguments.
std::vector<ImageCall> ImageExports() {
  static std::vector<unsigned char> model(kVltModelBytes), feature(kVltFeatureBytes);
  static float params[6], similarity, m1, m2;
  // An empty template as enrolment would write it: edge pairs without a finger put the grid
  // origin at (0 - 0 - 69) / 2.
  static const std::vector<unsigned char> empty = [] {
    std::vector<unsigned char> m(kVltModelBytes, 0);
    const std::int32_t origin = -34, step = 6;
    std::memcpy(m.data() + 2860, &origin, 4);
    std::memcpy(m.data() + 2864, &step, 4);
    return m;
  }();
  return {
      // A flat image has no finger edges: too narrow, and no lower edge near the middle.
      {"Quality", [](auto* i, int h, int w) { return VLT_FV_Quality(i, h, w, params); }, 2003},
      {"QualityAssess",
       [](auto* i, int h, int w) { return VLT_FV_QualityAssess(m1, m2, i, h, w, 0.f, 0.f); },
       2002},
      {"ExtractFeature",
       [](auto* i, int h, int w) { return VLT_FV_ExtractFeature(i, h, w, feature.data()); },
       veltrum::kPreprocessFailed},
      {"Enroll",
       [](auto* i, int h, int w) {
         return VLT_FV_Enroll(i, nullptr, nullptr, h, w, nullptr, model.data());
       },
       veltrum::kFingerTooSmall},
      {"Match",
       [](auto* i, int h, int w) { return VLT_FV_Match(i, h, w, empty.data(), &similarity); },
       veltrum::kPreprocessFailed},
  };
}

class Exports : public ::testing::Test {
 protected:
  std::vector<unsigned char> image = std::vector<unsigned char>(320 * 240, 90);
};

TEST_F(Exports, LoadedEngineIsNotInitialised) {
  // Tables stay built once any good Init has run, so zero tables mean a fresh process.
  if (veltrum::Tables().RampTable[1023] != 0) {
    EXPECT_TRUE(fvtest::PassesInFreshProcess());
    return;
  }
  EXPECT_EQ(veltrum::EngineMode(), -1);
  EXPECT_FALSE(veltrum::EngineInitialised());
  std::vector<unsigned char> model(kVltModelBytes), stored(kVltSerialisedBytes);
  float similarity = 0.5f;
  int length = 0;
  EXPECT_EQ(VLT_FV_Match(image.data(), 240, 320, model.data(), &similarity), 1001);
  EXPECT_EQ(VLT_FV_Encode(model.data(), stored.data(), &length), 1001);
  EXPECT_EQ(VLT_FV_Release(), 0);
  EXPECT_FALSE(veltrum::EngineInitialised());
  EXPECT_EQ(similarity, 0.5f);
}

TEST_F(Exports, ImageChecksRunInOrder) {
  struct Case {
    const char* what;
    bool init;
    bool haveImage;
    int height, width;
    int expected;
  };
  const Case cases[] = {
      {"before init, whatever the arguments", false, false, 1, 1, 1001},
      {"before init, good arguments", false, true, 240, 320, 1001},
      {"null image tested before size", true, false, 239, 319, 3001},
      {"width 319", true, true, 240, 319, 3003},
      {"height 239", true, true, 239, 320, 3003},
      {"both wrong", true, true, 239, 319, 3003},
      {"transposed", true, true, 320, 240, 3003},
      {"all checks passed", true, true, 240, 320, kOperationStatus},
  };
  for (const auto& exp : ImageExports()) {
    for (const auto& c : cases) {
      ASSERT_EQ(VLT_FV_Init(c.init ? 0 : 3), c.init ? 0 : -1);
      const int expected = c.expected == kOperationStatus ? exp.passed : c.expected;
      EXPECT_EQ(exp.call(c.haveImage ? image.data() : nullptr, c.height, c.width), expected)
          << exp.name << ": " << c.what;
    }
  }
}

TEST_F(Exports, BadModeUninitialisesAndKeepsMode) {
  ASSERT_EQ(VLT_FV_Init(1), 0);
  EXPECT_EQ(veltrum::EngineMode(), 1);
  for (int bad : {3, -1, 1000}) {
    EXPECT_EQ(VLT_FV_Init(bad), -1);
    EXPECT_FALSE(veltrum::EngineInitialised());
    EXPECT_EQ(veltrum::EngineMode(), 1);
    float similarity = 0.25f;
    std::vector<unsigned char> model(kVltModelBytes);
    EXPECT_EQ(VLT_FV_Match(image.data(), 240, 320, model.data(), &similarity), 1001);
    EXPECT_EQ(similarity, 0.25f);
  }
  EXPECT_EQ(VLT_FV_Init(2), 0);
  EXPECT_EQ(veltrum::EngineMode(), 2);
  EXPECT_TRUE(veltrum::EngineInitialised());
}

TEST_F(Exports, ReleaseChangesNothing) {
  ASSERT_EQ(VLT_FV_Init(0), 0);
  EXPECT_EQ(VLT_FV_Release(), 0);
  EXPECT_TRUE(veltrum::EngineInitialised());
  EXPECT_EQ(VLT_FV_Quality(image.data(), 240, 320, std::vector<float>(6).data()), 2003);
}

TEST_F(Exports, EveryRecognitionExportRefusesBeforeInit) {
  ASSERT_EQ(VLT_FV_Init(-1), -1);
  std::vector<unsigned char> model(kVltModelBytes), feature(kVltFeatureBytes),
      stored(kVltSerialisedBytes);
  int count = 1, position = -7, length = 0;
  float similarity = 0.5f;
  EXPECT_EQ(VLT_FV_MatchFeature(model.data(), feature.data(), &similarity), 1001);
  EXPECT_EQ(VLT_FV_Index(model.data(), &count, image.data(), &position, &similarity), 1001);
  EXPECT_EQ(VLT_FV_IndexFeature(model.data(), &count, feature.data(), &position, &similarity), 1001);
  EXPECT_EQ(VLT_FV_Encode(model.data(), stored.data(), &length), 1001);
  EXPECT_EQ(VLT_FV_Decode(stored.data(), kVltSerialisedBytes, model.data()), 1001);
  EXPECT_EQ(position, -7);
  EXPECT_EQ(similarity, 0.5f);
  // The cipher needs no Init.
  unsigned char block[16] = {}, out[16];
  EXPECT_EQ(VLT_Encrypt(out, block, 16), 0);
}

TEST_F(Exports, MissingArgumentsGiveTheirStatusAndWriteNothing) {
  ASSERT_EQ(VLT_FV_Init(0), 0);
  std::vector<unsigned char> model(kVltModelBytes, 0x3C), feature(kVltFeatureBytes, 0x3C);
  int count = 1, position = -7;
  float similarity = 0.5f;
  const auto* img = image.data();
  struct Case {
    const char* what;
    std::function<int()> call;
    int expected;
  };
  // A C caller binds the two measure references as pointers, which may be null.
  using AssessFromC = int (*)(float*, float*, const unsigned char*, int, int, float, float);
  const auto assessFromC =
      reinterpret_cast<AssessFromC>(reinterpret_cast<void (*)()>(&VLT_FV_QualityAssess));
  float m1 = -3.0f, m2 = -3.0f;
  const Case cases[] = {
      {"quality params", [&] { return VLT_FV_Quality(img, 240, 320, nullptr); }, 3001},
      {"feature out", [&] { return VLT_FV_ExtractFeature(img, 240, 320, nullptr); }, 4001},
      {"assess first measure", [&] { return assessFromC(nullptr, &m2, img, 240, 320, 0.1f, 0); }, 4001},
      {"assess second measure", [&] { return assessFromC(&m1, nullptr, img, 240, 320, 0.1f, 0); }, 4001},
      {"assess, size tested first", [&] { return assessFromC(nullptr, nullptr, img, 240, 319, 0.1f, 0); },
       3003},
      {"enroll image3 without image2",
       [&] { return VLT_FV_Enroll(img, nullptr, img, 240, 320, nullptr, model.data()); }, 3001},
      {"enroll image3 without image2, size tested first",
       [&] { return VLT_FV_Enroll(img, nullptr, img, 240, 319, nullptr, model.data()); }, 3003},
      {"match similarity, size tested first",
       [&] { return VLT_FV_Match(img, 240, 319, model.data(), nullptr); }, 3003},
      {"enroll model out",
       [&] { return VLT_FV_Enroll(img, nullptr, nullptr, 240, 320, nullptr, nullptr); }, 4001},
      {"match model", [&] { return VLT_FV_Match(img, 240, 320, nullptr, &similarity); }, 4001},
      {"match similarity", [&] { return VLT_FV_Match(img, 240, 320, model.data(), nullptr); }, 4001},
      {"match feature model",
       [&] { return VLT_FV_MatchFeature(nullptr, feature.data(), &similarity); }, 4001},
      {"match feature feature",
       [&] { return VLT_FV_MatchFeature(model.data(), nullptr, &similarity); }, 4001},
      {"match feature similarity",
       [&] { return VLT_FV_MatchFeature(model.data(), feature.data(), nullptr); }, 4001},
      {"index models", [&] { return VLT_FV_Index(nullptr, &count, nullptr, &position, &similarity); },
       4001},
      {"index image",
       [&] { return VLT_FV_Index(model.data(), &count, nullptr, &position, &similarity); }, 3001},
      {"index count",
       [&] { return VLT_FV_Index(model.data(), nullptr, img, &position, &similarity); }, 4001},
      {"index position",
       [&] { return VLT_FV_Index(model.data(), &count, img, nullptr, &similarity); }, 4001},
      {"index similarity",
       [&] { return VLT_FV_Index(model.data(), &count, img, &position, nullptr); }, 4001},
      {"index feature models",
       [&] { return VLT_FV_IndexFeature(nullptr, &count, feature.data(), &position, &similarity); },
       4001},
      {"index feature feature",
       [&] { return VLT_FV_IndexFeature(model.data(), &count, nullptr, &position, &similarity); },
       4001},
      {"index feature count",
       [&] {
         return VLT_FV_IndexFeature(model.data(), nullptr, feature.data(), &position, &similarity);
       },
       4001},
      {"index feature position",
       [&] {
         return VLT_FV_IndexFeature(model.data(), &count, feature.data(), nullptr, &similarity);
       },
       4001},
      {"index feature similarity",
       [&] {
         return VLT_FV_IndexFeature(model.data(), &count, feature.data(), &position, nullptr);
       },
       4001},
  };
  for (const auto& c : cases) EXPECT_EQ(c.call(), c.expected) << c.what;
  EXPECT_EQ(model, std::vector<unsigned char>(kVltModelBytes, 0x3C));
  EXPECT_EQ(feature, std::vector<unsigned char>(kVltFeatureBytes, 0x3C));
  EXPECT_EQ(position, -7);
  EXPECT_EQ(similarity, 0.5f);
  EXPECT_EQ(m1, -3.0f);
  EXPECT_EQ(m2, -3.0f);
}

}  // namespace
