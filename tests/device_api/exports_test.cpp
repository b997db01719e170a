#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "api/last_error.h"
#include "blob/image_blob.h"
#include "dravex.h"
#include "fvplatform/debug_output.h"
#include "fvplatform/window.h"
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

// A frame of 255 in its first `blocks` 8 x 8 blocks (row by row of blocks) and 0 elsewhere:
// whole flat blocks come through the JPEG step unchanged.
std::vector<std::uint8_t> WhiteBlocks(int blocks) {
  std::vector<std::uint8_t> frame(dravex::kFrameBytes, 0);
  for (int b = 0; b < blocks; ++b) {
    const int top = b / 40 * 8, left = b % 40 * 8;
    for (int r = top; r < top + 8; ++r) std::memset(&frame[r * 320 + left], 255, 8);
  }
  return frame;
}

float FloatBits(int bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// out[0] is the verdict, out[1..3] the engine's measures [3..5]: [3] is the share of pixels at
// 255, tested against the limit 0.05; a refused image gets no further measure than [3].
TEST(ImageExports, QualityExHandsOnTheSaturationMeasure) {
  struct Case {
    int blocks;
    float share;  // blocks x 64 / 76800, by hand
    bool saturated;
  };
  const Case cases[] = {{600, 0.5f, true}, {61, 3904.0f / 76800.0f, true}, {59, 3776.0f / 76800.0f, false}};
  for (const auto& c : cases) {
    const auto frame = WhiteBlocks(c.blocks);
    const auto blob = dravex::encodeImageBlob(frame.data());
    std::vector<std::uint8_t> decoded(dravex::kFrameBytes);
    ASSERT_TRUE(dravex::decodeBlobBytes(blob.data(), static_cast<int>(blob.size()), decoded.data()).ok);
    ASSERT_EQ(decoded, frame) << "flat blocks survive the JPEG step";
    int out[4] = {-1, -1, -1, -1};
    ASSERT_EQ(fv_quality_ex(blob.data(), static_cast<int>(blob.size()), out), 1) << c.blocks;
    EXPECT_EQ(out[0] == 2004, c.saturated) << c.blocks << " blocks: verdict " << out[0];
    EXPECT_FLOAT_EQ(FloatBits(out[1]), c.share) << c.blocks;
    if (c.saturated) {
      EXPECT_EQ(out[2], 0) << "no clarity measured";
      EXPECT_EQ(out[3], 0) << "no band measured";
    }
  }
}

// A line of level 0 (every line the library writes) shows when the debug level is at most 0.
TEST(Logging, LinesShowFromTheDebugLevelDown) {
  const auto blob = GoodBlob();
  std::string lines;
  auto previous = fvplat::SetDebugOutputSink([&](std::string_view text) { lines += text; });
  const struct {
    int level;
    bool shown;
  } cases[] = {{2, false}, {1, false}, {0, true}, {-1, true}};
  for (const auto& c : cases) {
    lines.clear();
    setDebugLevel(c.level);
    fv_isEncry(blob.data(), static_cast<int>(blob.size()));
    EXPECT_EQ(lines.find("decode_jpeg_m  time = ") != std::string::npos, c.shown) << c.level;
  }
  setDebugLevel(2);
  fvplat::SetDebugOutputSink(std::move(previous));
}

struct Window {
  HWND handle;
  HDC dc;
  Window(int w, int h) : handle(fvplat::CreateChildWindow(nullptr, w, h)), dc(GetDC(handle)) {}
  ~Window() {
    ReleaseDC(handle, dc);
    DestroyWindow(handle);
  }
  int Grey(int x, int y) const {
    const auto s = fvplat::ReadSurface(handle);
    return s.bgra[(static_cast<std::size_t>(y) * s.width + x) * 4];
  }
};

// A frame whose grey level is column / 2: the stretch shows which column lands where.
std::vector<std::uint8_t> ColumnRamp() {
  std::vector<std::uint8_t> frame(dravex::kFrameBytes);
  for (int i = 0; i < dravex::kFrameBytes; ++i) frame[i] = static_cast<std::uint8_t>(i % 320 / 2);
  return frame;
}

TEST(DrawExport, AnUnknownDeviceContextIsRefusedBeforeTheBlobIsRead) {
  std::vector<std::uint8_t> noise(512, 0x5A);
  fv_Set_Error(77);
  EXPECT_EQ(drawFingerVein(reinterpret_cast<HDC>(0x7777), noise.data(), 512, 0, 0, 0, 0, 0, 0, 10, 10), 0);
  EXPECT_EQ(TakeError(), 77) << "the blob was not decoded";
  Window window(10, 10);
  EXPECT_EQ(drawFingerVein(window.dc, noise.data(), 512, 0, 0, 0, 0, 0, 0, 10, 10), 0);
  EXPECT_EQ(TakeError(), 11);
}

// Any rectangle is clipped to the surface first: only the visible part is computed, in 64 bits.
// Rectangle pixel x shows frame column (x + 0.5) x 320 / width - 0.5, worked out for each case.
TEST(DrawExport, RectanglesOfAnySizeDrawTheirVisiblePart) {
  const auto blob = dravex::encodeImageBlob(ColumnRamp().data());
  const int length = static_cast<int>(blob.size());
  struct Case {
    const char* what;
    int left, top, right, bottom;
    int leftGrey, rightGrey;  // at window columns 0 and 99: frame column / 2
  };
  const Case cases[] = {
      {"the whole int range: column 159.5 everywhere", INT_MIN, INT_MIN, INT_MAX, INT_MAX, 80, 80},
      {"20000 x 20000 around the window: column 159.5 give or take 0.01", -9950, -9975, 10050, 10025,
       80, 80},
      {"half off to the left: columns 160.3 and 318.7", -100, 0, 100, 50, 80, 159},
  };
  for (const auto& c : cases) {
    Window window(100, 50);
    ASSERT_EQ(drawFingerVein(window.dc, blob.data(), length, 0, 0, 0, 0, c.left, c.top, c.right, c.bottom), 1)
        << c.what;
    EXPECT_NEAR(window.Grey(0, 25), c.leftGrey, 1) << c.what;
    EXPECT_NEAR(window.Grey(99, 25), c.rightGrey, 1) << c.what;
    EXPECT_NEAR(window.Grey(50, 0), window.Grey(50, 49), 1) << c.what;
  }
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
