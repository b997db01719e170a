#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "api/last_error.h"
#include "blob/image_blob.h"
#include "core/engine_state.h"
#include "dravex.h"
#include "sim_finger/finger_generator.h"

namespace {

int TakeError() {
  int code = -1;
  EXPECT_EQ(fv_Get_Error(&code), 1);
  return code;
}

std::vector<std::uint8_t> GoodBlob(int seed = 1) {
  return dravex::encodeImageBlob(simfinger::FingerImage(static_cast<std::uint64_t>(seed), 0).data());
}

TEST(LastError, ReadResetsToNoneAndSetStores) {
  TakeError();
  EXPECT_EQ(TakeError(), 255);
  EXPECT_EQ(fv_Set_Error(42), 1);
  EXPECT_EQ(TakeError(), 42);
  EXPECT_EQ(TakeError(), 255);
  EXPECT_EQ(fv_Get_Error(nullptr), 0);
  EXPECT_EQ(TakeError(), 16);
}

TEST(Misc, EditionAndDebugLevel) {
  int edition = 0;
  EXPECT_EQ(fv_Get_Edition(&edition), 1);
  EXPECT_EQ(edition, 2561);
  EXPECT_EQ(setDebugLevel(0), 0);
  EXPECT_EQ(setDebugLevel(2), 0);
}

TEST(ImageExports, DecodeCodesReachTheLastError) {
  const auto blob = GoodBlob();
  std::vector<std::uint8_t> noise(512, 0x5A);
  EXPECT_EQ(fv_isEncry(blob.data(), static_cast<int>(blob.size())), 1);
  EXPECT_EQ(TakeError(), 0);  // a good decode leaves the cipher's 0
  EXPECT_EQ(fv_isEncry(noise.data(), static_cast<int>(noise.size())), 0);
  EXPECT_EQ(TakeError(), 11);
  int level = -1, quality = -1;
  EXPECT_EQ(fv_quality(noise.data(), static_cast<int>(noise.size()), &level, &quality), 0);
  EXPECT_EQ(TakeError(), 11);
  EXPECT_EQ(level, -1);
  fv_Set_Error(77);
  EXPECT_EQ(fv_quality(nullptr, 0, &level, &quality), 0);  // no data: no code of its own
  EXPECT_EQ(TakeError(), 77);
}

TEST(ImageExports, QualityReportsLevelAndEngineVerdict) {
  const auto blob = GoodBlob(2);
  int level = -1, quality = -1;
  ASSERT_EQ(fv_quality(blob.data(), static_cast<int>(blob.size()), &level, &quality), 1);
  EXPECT_GT(level, 0);
  EXPECT_EQ(TakeError(), quality);
  int out[4] = {-1, -1, -1, -1};
  ASSERT_EQ(fv_quality_ex(blob.data(), static_cast<int>(blob.size()), out), 1);
  EXPECT_EQ(TakeError(), out[0]);
}

TEST(ArgumentErrors, NullOutputsAndShortBuffersGiveTheirCodes) {
  const auto blob = GoodBlob();
  const int length = static_cast<int>(blob.size());
  std::vector<unsigned char> model(kDrxModelBytes), feature(kDrxFeatureBytes);
  int position = 0, level = 0;
  float similarity = 0;
  unsigned full = kDrxModelBytes;
  struct Case {
    const char* what;
    std::function<int()> call;
    int error;
  };
  const Case cases[] = {
      {"quality level", [&] { return fv_quality(blob.data(), length, nullptr, &level); }, 16},
      {"quality ex out", [&] { return fv_quality_ex(blob.data(), length, nullptr); }, 16},
      {"model length null",
       [&] { return fv_extract_model(blob.data(), length, nullptr, 0, nullptr, 0, model.data(), nullptr); },
       16},
      {"first image missing",
       [&] { return fv_extract_model(nullptr, 0, blob.data(), length, nullptr, 0, model.data(), &full); },
       14},
      {"match similarity", [&] { return fv_match(blob.data(), length, model.data(), nullptr); }, 16},
      {"match undecodable", [&] { return fv_match(model.data(), 64, model.data(), &similarity); }, 16},
      {"index position",
       [&] { return fv_index(model.data(), 1, blob.data(), length, nullptr, &similarity); }, 16},
      {"index models",
       [&] { return fv_index(nullptr, 1, blob.data(), length, &position, &similarity); }, 16},
      {"index feature short",
       [&] {
         return fv_index_matchfeature(model.data(), 1, feature.data(), kDrxFeatureBytes - 1,
                                      &position, &similarity);
       },
       16},
      {"store id", [&] { return fv_user_add(blob.data(), length, nullptr, 0, nullptr, 0, nullptr); }, 16},
      {"store count", [&] { return fv_load_model("/nonexistent", nullptr); }, 16},
      {"store total", [&] { return fv_index_addUser("/nonexistent/1", nullptr); }, 16},
      {"edition", [&] { return fv_Get_Edition(nullptr); }, 16},
  };
  for (const auto& c : cases) {
    TakeError();
    EXPECT_EQ(c.call(), 0) << c.what;
    EXPECT_EQ(TakeError(), c.error) << c.what;
  }
}

TEST(ArgumentErrors, EachCodeAsItHappens) {
  const auto blob = GoodBlob();
  const int length = static_cast<int>(blob.size());
  std::vector<unsigned char> model(kDrxModelBytes);
  float similarity = 0.5f;
  unsigned n = 10;
  EXPECT_EQ(fv_extract_model(blob.data(), length, nullptr, 0, nullptr, 0, model.data(), &n), 0);
  EXPECT_EQ(n, static_cast<unsigned>(kDrxModelBytes));
  EXPECT_EQ(TakeError(), 13);
  EXPECT_EQ(fv_extract_model(nullptr, 0, blob.data(), length, nullptr, 0, model.data(), &n), 0);
  EXPECT_EQ(TakeError(), 14);
  EXPECT_EQ(fv_match(blob.data(), length, nullptr, &similarity), 0);
  EXPECT_EQ(TakeError(), 16);
  EXPECT_EQ(similarity, 0.5f);
}

TEST(EngineStart, FirstEngineCallFixesTheMode) {
  dravex::noteDeviceType(3);  // a device of engine mode 1 was opened most recently
  const auto blob = GoodBlob();
  int level = 0, quality = 0;
  fv_quality(blob.data(), static_cast<int>(blob.size()), &level, &quality);
  EXPECT_EQ(veltrum::EngineMode(), 1);
  dravex::noteDeviceType(16);
  fv_quality(blob.data(), static_cast<int>(blob.size()), &level, &quality);
  EXPECT_EQ(veltrum::EngineMode(), 1);  // never started twice
  EXPECT_EQ(dravex::engineModeForDevices(), 2);
}

TEST(EngineStart, UnknownDeviceTypesKeepTheMode) {
  for (int type : {1, 2}) {
    dravex::noteDeviceType(type);
    EXPECT_EQ(dravex::engineModeForDevices(), 0);
  }
  dravex::noteDeviceType(18);
  EXPECT_EQ(dravex::engineModeForDevices(), 2);
  for (int type : {0, 4, 17, 255}) {
    dravex::noteDeviceType(type);
    EXPECT_EQ(dravex::engineModeForDevices(), 2) << type;
  }
}

}  // namespace
