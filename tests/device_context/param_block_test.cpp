#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <limits>
#include <vector>

#include "fake_memory.h"
#include "params/param_store.h"

namespace {

using dravex::FvParamBlock;
using fvtest::FakeMemory;

FvDevInfo infoFor(int productId, int deviceType, int width = 640, int height = 480) {
  FvDevInfo info{};
  auto* bytes = reinterpret_cast<std::uint8_t*>(&info);
  bytes[18] = static_cast<std::uint8_t>(deviceType);
  bytes[20] = productId & 0xFF;
  bytes[21] = productId >> 8;
  bytes[23] = width & 0xFF;
  bytes[24] = width >> 8;
  bytes[25] = height & 0xFF;
  bytes[26] = height >> 8;
  return info;
}

std::vector<std::uint8_t> at(const FakeMemory& memory, int offset, int length) {
  return {memory.bytes.begin() + offset, memory.bytes.begin() + offset + length};
}

TEST(ParamBlockDefaults, WrittenToAFreshDevicePerProductIdAndType) {
  const std::vector<std::uint8_t> ramp = {0x36, 0x25, 0x19, 0x0E, 0x0E, 0x19, 0x25, 0x36};
  struct Case {
    const char* what;
    int productId, deviceType;
    int sensor, startExposure;
    std::vector<std::uint8_t> onPattern;
    float steps[4];
  };
  const Case cases[] = {
      {"class 2 wins over type 16", 0x009B, 16, 2, 120, ramp, {64, 32, 16, 8}},
      {"class 1, type 1", 0x8243, 1, 1, 680, {0x3F, 0x2F, 0x19, 0x0E, 0x0E, 0x19, 0x2F, 0x3F}, {285, 142, 71, 35}},
      {"class 1, type 3", 0x8243, 3, 1, 800, std::vector<std::uint8_t>(8, 0x3F), {285, 142, 71, 35}},
      {"class 1, type 16", 0x8243, 16, 1, 40, ramp, {20, 10, 5, 2.5f}},
      {"class 0, type 18", 0x8431, 18, 0, 40, ramp, {20, 10, 5, 2.5f}},
      {"class 1, type 2", 0x8243, 2, 1, 760, ramp, {128, 64, 32, 16}},
      {"class 0, type 1", 0x8232, 1, 0, 760, ramp, {128, 64, 32, 16}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakeMemory memory;
    FvParamBlock mirror{};
    EXPECT_FALSE(dravex::loadParamBlock(memory, infoFor(c.productId, c.deviceType, 1280, 1024), mirror));
    EXPECT_EQ(at(memory, 0, 4), (std::vector<std::uint8_t>{0x76, 0x98, 0x01, 0x0A}));
    EXPECT_EQ(memory.i32(4), c.sensor);
    EXPECT_EQ(memory.i32(8), 70);
    EXPECT_EQ(memory.i32(12), 90);
    EXPECT_EQ(memory.i32(16), 0);
    EXPECT_EQ(memory.i32(20), 0);
    EXPECT_EQ(memory.i32(24), 1280);
    EXPECT_EQ(memory.i32(28), 1024);
    EXPECT_EQ(memory.i32(32), 0);
    EXPECT_EQ(memory.i32(36), 320);
    EXPECT_EQ(memory.i32(40), c.startExposure);
    EXPECT_EQ(at(memory, 44, 8), c.onPattern);
    EXPECT_EQ(at(memory, 52, 8), std::vector<std::uint8_t>(8, 0));
    EXPECT_EQ(memory.f32(60), 0.05f);
    EXPECT_EQ(memory.f32(64), 0.125f);
    EXPECT_EQ(memory.f32(68), 0.63f);
    EXPECT_EQ(memory.f32(72), 0.4f);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(memory.f32(76 + 4 * i), c.steps[i]);
    EXPECT_EQ(at(memory, 92, 4), (std::vector<std::uint8_t>{'1', '2', '3', '4'}));
    EXPECT_EQ(std::memcmp(&mirror, memory.bytes.data(), 96), 0) << "the mirror holds what was written";
    EXPECT_EQ(at(memory, 96, 160), std::vector<std::uint8_t>(160, 0)) << "nothing past the block";
  }
}

TEST(ParamBlockLoad, UsesRebuildsOrLeavesAlone) {
  const FvDevInfo info = infoFor(0x8243, 1);
  FvParamBlock stored = dravex::defaultParamBlock(info);
  stored.bandLow = 60;  // a tuned block, to tell it from the defaults
  stored.deviceNumber = 42;
  struct Case {
    const char* what;
    int editionDelta;
    int magicDelta;
    char signatureFirst;
    bool failRead;
    bool loaded;
    int writes;
    int number;  // the mirror's device number afterwards
    int bandLow;
  };
  const Case cases[] = {
      {"this edition is used as it is", 0, 0, '1', false, true, 0, 42, 60},
      {"another edition of ours keeps its number", -1, 0, '1', false, false, 1, 42, 70},
      {"foreign magic", 0, 1, '1', false, false, 1, 0, 70},
      {"foreign signature", 0, 0, 'x', false, false, 1, 0, 70},
      {"failed read: defaults, nothing written", 0, 0, '1', true, false, 0, 0, 70},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FvParamBlock block = stored;
    block.edition = static_cast<std::uint16_t>(block.edition + c.editionDelta);
    block.magic = static_cast<std::uint16_t>(block.magic + c.magicDelta);
    block.signature[0] = c.signatureFirst;
    FakeMemory memory;
    std::memcpy(memory.bytes.data(), &block, sizeof block);
    memory.failReads = c.failRead;
    FvParamBlock mirror{};
    EXPECT_EQ(dravex::loadParamBlock(memory, info, mirror), c.loaded);
    EXPECT_EQ(memory.writes, c.writes);
    EXPECT_EQ(mirror.deviceNumber, c.number);
    EXPECT_EQ(mirror.bandLow, c.bandLow);
    EXPECT_EQ(mirror.edition, 2561);
    if (c.writes) {
      EXPECT_EQ(std::memcmp(&mirror, memory.bytes.data(), 96), 0);
    }
  }
}

TEST(DeviceNumber, StoredAtOffset16AndReadBackIntoTheMirror) {
  FakeMemory memory;
  FvParamBlock mirror{};
  EXPECT_TRUE(dravex::storeDeviceNumber(memory, mirror, 0x01020304));
  EXPECT_EQ(memory.writes, 1);
  EXPECT_EQ(at(memory, 16, 4), (std::vector<std::uint8_t>{4, 3, 2, 1}));
  EXPECT_EQ(at(memory, 12, 4), std::vector<std::uint8_t>(4, 0)) << "only its own 4 bytes";

  memory.bytes[16] = 7;
  int number = 0;
  EXPECT_TRUE(dravex::fetchDeviceNumber(memory, mirror, &number));
  EXPECT_EQ(number, 0x01020307);

  memory.failReads = true;
  mirror.deviceNumber = 99;
  number = 0;
  EXPECT_FALSE(dravex::fetchDeviceNumber(memory, mirror, &number));
  EXPECT_EQ(number, 99) << "a failed read still reports the mirror";
}

}  // namespace

namespace {

// A block of this edition whose fields are checked one by one; each field out of range takes
// the default of a class 1, type 1 device (start 680, steps 285, 142, 71, 35) and nothing else
// changes, in the device or in the mirror.
TEST(ParamBlockLoad, AFieldOutOfRangeTakesItsDefault) {
  const FvDevInfo info = infoFor(0x8243, 1);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    const char* what;
    std::function<void(FvParamBlock&)> change;
    int bandLow, bandHigh, exposure, start;
    float steps[4];
    float threshold;
  };
  const Case cases[] = {
      {"all in range", [](FvParamBlock&) {}, 60, 100, 500, 400, {300, 150, 75, 37}, 0.7f},
      {"NaN step", [&](FvParamBlock& b) { b.steps[1] = nan; }, 60, 100, 500, 400, {285, 142, 71, 35}, 0.7f},
      {"huge step", [](FvParamBlock& b) { b.steps[0] = 3e9f; }, 60, 100, 500, 400, {285, 142, 71, 35}, 0.7f},
      {"step 0", [](FvParamBlock& b) { b.steps[3] = 0; }, 60, 100, 500, 400, {285, 142, 71, 35}, 0.7f},
      {"largest step", [](FvParamBlock& b) { b.steps[0] = 65535; }, 60, 100, 500, 400, {65535, 150, 75, 37}, 0.7f},
      {"NaN threshold", [&](FvParamBlock& b) { b.threshold = nan; }, 60, 100, 500, 400, {300, 150, 75, 37}, 0.63f},
      {"negative threshold", [](FvParamBlock& b) { b.threshold = -0.5f; }, 60, 100, 500, 400, {300, 150, 75, 37}, 0.63f},
      {"threshold 0", [](FvParamBlock& b) { b.threshold = 0; }, 60, 100, 500, 400, {300, 150, 75, 37}, 0.63f},
      {"threshold 1", [](FvParamBlock& b) { b.threshold = 1; }, 60, 100, 500, 400, {300, 150, 75, 37}, 1.0f},
      {"threshold above 1", [](FvParamBlock& b) { b.threshold = 1.5f; }, 60, 100, 500, 400, {300, 150, 75, 37}, 0.63f},
      {"band low above high", [](FvParamBlock& b) { b.bandLow = 100, b.bandHigh = 80; }, 70, 90, 500, 400, {300, 150, 75, 37}, 0.7f},
      {"band of one level", [](FvParamBlock& b) { b.bandLow = 80, b.bandHigh = 80; }, 80, 80, 500, 400, {300, 150, 75, 37}, 0.7f},
      {"band below 0", [](FvParamBlock& b) { b.bandLow = -1; }, 70, 90, 500, 400, {300, 150, 75, 37}, 0.7f},
      {"band above 255", [](FvParamBlock& b) { b.bandHigh = 256; }, 70, 90, 500, 400, {300, 150, 75, 37}, 0.7f},
      {"band 0..255", [](FvParamBlock& b) { b.bandLow = 0, b.bandHigh = 255; }, 0, 255, 500, 400, {300, 150, 75, 37}, 0.7f},
      {"exposure beyond 16 bits", [](FvParamBlock& b) { b.exposure = 65536; }, 60, 100, 320, 400, {300, 150, 75, 37}, 0.7f},
      {"negative start", [](FvParamBlock& b) { b.startExposure = -1; }, 60, 100, 500, 680, {300, 150, 75, 37}, 0.7f},
      {"largest start", [](FvParamBlock& b) { b.startExposure = 65535; }, 60, 100, 500, 65535, {300, 150, 75, 37}, 0.7f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FvParamBlock block = dravex::defaultParamBlock(info);
    block.bandLow = 60;
    block.bandHigh = 100;
    block.exposure = 500;
    block.startExposure = 400;
    const float tuned[4] = {300, 150, 75, 37};
    std::memcpy(block.steps, tuned, sizeof tuned);
    block.threshold = 0.7f;
    block.deviceNumber = 4242;
    c.change(block);
    FakeMemory memory;
    std::memcpy(memory.bytes.data(), &block, sizeof block);
    const auto before = memory.bytes;
    FvParamBlock mirror{};
    EXPECT_TRUE(dravex::loadParamBlock(memory, info, mirror));
    EXPECT_EQ(memory.writes, 0);
    EXPECT_EQ(memory.bytes, before);
    EXPECT_EQ(mirror.bandLow, c.bandLow);
    EXPECT_EQ(mirror.bandHigh, c.bandHigh);
    EXPECT_EQ(mirror.exposure, c.exposure);
    EXPECT_EQ(mirror.startExposure, c.start);
    float steps[4], threshold;
    std::memcpy(steps, mirror.steps, sizeof steps);
    std::memcpy(&threshold, &mirror.threshold, sizeof threshold);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(steps[i], c.steps[i]) << i;
    EXPECT_EQ(threshold, c.threshold);
    EXPECT_EQ(mirror.deviceNumber, 4242);
  }
}

}  // namespace
