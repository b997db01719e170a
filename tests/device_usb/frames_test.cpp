#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <vector>

#include "acquire/finger_level.h"
#include "protocol/firmware_image.h"
#include "protocol/fvdev_protocol.h"
#include "sim_fixture.h"

namespace {

using namespace dravex;
using fvtest::Trace;
using fvtest::VendorRequests;
namespace usb = fvplat::usb;

constexpr unsigned kVga = 640 * 480;

class FramesTest : public fvtest::SimTest {
 protected:
  std::unique_ptr<FvDevice> OpenWithFinger(int type) {
    fvsim_plug_type(type);
    fvsim_set_finger(0, 1);
    auto device = FVDEVLib_open(0);
    EXPECT_NE(device, nullptr);
    FVDEVLib_get_info(device.get(), nullptr);
    return device;
  }
};

double Mean(const std::vector<std::uint8_t>& v, std::size_t n) {
  return std::accumulate(v.begin(), v.begin() + static_cast<long>(n), 0.0) / static_cast<double>(n);
}

TEST_F(FramesTest, PlainGrabReadsTheFrameFromTheBulkEndpoint) {
  auto device = OpenWithFinger(1);
  const std::uint8_t on[8] = {0x3F, 0x2F, 0x19, 0x0E, 0x0E, 0x19, 0x2F, 0x3F};
  ASSERT_TRUE(FVDEVLib_set_backlight(device.get(), on));
  ASSERT_TRUE(FVDEVLib_set_exposure(device.get(), 600, 32, 32, 32, 32));
  std::vector<std::uint8_t> frame(kVga, 0);
  unsigned length = kVga;
  fvsim_trace_clear();
  ASSERT_TRUE(FVDEVLib_grab(device.get(), frame.data(), &length));
  EXPECT_EQ(length, kVga);
  EXPECT_GT(*std::max_element(frame.begin(), frame.end()), 60);
  const auto trace = Trace();
  ASSERT_EQ(trace.size(), 3u);
  EXPECT_EQ(trace[0].request, 0xB2);
  EXPECT_EQ(trace[1].code, usb::kIoctlSetTransferSize);
  EXPECT_EQ(trace[1].transferLength, kVga);
  EXPECT_EQ(trace[2].code, usb::kIoctlDataIn);
  EXPECT_EQ(trace[2].endpoint, 0x82);
  EXPECT_EQ(trace[2].transferLength, kVga);
  EXPECT_EQ(trace[2].timeoutSeconds, 10u);
}

TEST_F(FramesTest, PlainGrabFailsOnAnyMismatch) {
  auto device = OpenWithFinger(1);
  std::vector<std::uint8_t> frame(kVga);
  unsigned length = 320 * 240;  // not the device's size
  EXPECT_FALSE(FVDEVLib_grab(device.get(), frame.data(), &length));
  fvsim_set_reported_size(0, 320, 240);  // frame-size answer disagrees with the information
  length = kVga;
  EXPECT_FALSE(FVDEVLib_grab(device.get(), frame.data(), &length));
  fvsim_set_reported_size(0, 640, 480);
  fvsim_inject(0, FVSIM_FAULT_SHORT, 1);  // half the frame-size answer: no frame is read
  length = kVga;
  fvsim_trace_clear();
  EXPECT_FALSE(FVDEVLib_grab(device.get(), frame.data(), &length));
  EXPECT_EQ(fvtest::CountCode(usb::kIoctlDataIn), 0);
  std::uint8_t size[4];
  ASSERT_TRUE(FVDEVLib_ctrl_in(device.get(), 0xB2, 0, 0, size, 4));
  fvsim_inject(0, FVSIM_FAULT_SHORT, 1);  // half the frame
  length = kVga;
  EXPECT_FALSE(FVDEVLib_bulk_read(device.get(), 0, frame.data(), &length));
  EXPECT_EQ(length, kVga / 2);
  length = kVga;
  EXPECT_TRUE(FVDEVLib_grab(device.get(), frame.data(), &length));
}

TEST_F(FramesTest, BulkReadUsesTheLastBulkInEndpointWithItsPacketSize) {
  fvsim_plug_type(2);
  // Bulk IN 0x81 (512), interrupt IN 0x83, bulk IN 0x82 (2 x 1024), bulk OUT 0x02. The device
  // sends its frames on 0x82.
  const unsigned char config[] = {9, 2, 46, 0, 1, 1, 0, 0x80, 50,  9, 4, 0, 0, 4, 0xFF, 0, 0, 0,
                                  7, 5, 0x81, 2, 0x00, 0x02, 0,    7, 5, 0x83, 3, 64, 0, 1,
                                  7, 5, 0x82, 2, 0x00, 0x0C, 0,    7, 5, 0x02, 2, 0x00, 0x02, 0};
  ASSERT_TRUE(fvsim_set_descriptor(0, 2, config, sizeof config));
  fvsim_set_finger(0, 1);
  auto device = FVDEVLib_open(0);
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(device->usb.m_bulkInEndPoint->m_address, 0x81) << "the first one of its kind";
  std::vector<std::uint8_t> frame(76800);
  unsigned length = 76800;
  fvsim_trace_clear();
  ASSERT_TRUE(FVDEVLib_grab(device.get(), frame.data(), &length));
  const auto trace = Trace();
  ASSERT_EQ(trace.size(), 3u);
  EXPECT_EQ(trace[1].code, usb::kIoctlSetTransferSize);
  EXPECT_EQ(trace[1].endpoint, 0x82);
  EXPECT_EQ(trace[1].transferLength, 38u * 2048) << "whole packets of 2048";
  EXPECT_EQ(trace[2].endpoint, 0x82);
  EXPECT_EQ(trace[2].transferLength, 76800u);

  // Descriptors that list another bulk IN after the frame endpoint send the read there, where
  // nothing ever comes.
  const unsigned char frameEndpointFirst[] = {9, 2, 32, 0, 1, 1, 0, 0x80, 50, 9, 4, 0, 0, 2, 0xFF, 0, 0, 0,
                                              7, 5, 0x82, 2, 0x00, 0x02, 0, 7, 5, 0x86, 2, 0x00, 0x02, 0};
  ASSERT_TRUE(fvsim_set_descriptor(0, 2, frameEndpointFirst, sizeof frameEndpointFirst));
  auto misled = FVDEVLib_open(0);
  ASSERT_NE(misled, nullptr);
  fvsim_trace_clear();
  length = 76800;
  EXPECT_FALSE(FVDEVLib_grab(misled.get(), frame.data(), &length));
  fvtest::ExpectPendingThenAbort(4, 0x86);

  const unsigned char noBulkIn[] = {9, 2, 25, 0, 1, 1, 0, 0x80, 50, 9, 4, 0, 0, 1, 0xFF, 0, 0, 0,
                                    7, 5, 0x81, 3, 64, 0, 1};
  fvsim_set_descriptor(0, 2, noBulkIn, sizeof noBulkIn);
  auto other = FVDEVLib_open(0);
  ASSERT_NE(other, nullptr);
  length = 76800;
  EXPECT_FALSE(FVDEVLib_bulk_read(other.get(), 0, frame.data(), &length));
}

TEST_F(FramesTest, PendingBulkReadIsAbortedAtItsTimeout) {
  auto device = OpenWithFinger(1);
  std::vector<std::uint8_t> frame(kVga);
  fvsim_inject(0, FVSIM_FAULT_STALL, 1);
  fvsim_trace_clear();
  const std::uint64_t start = fvplat::ClockMs();
  unsigned length = kVga;
  EXPECT_FALSE(FVDEVLib_bulk_read(device.get(), 0, frame.data(), &length));
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(fvplat::ClockMs() - start, 1000u);
  fvtest::ExpectPendingThenAbort(3, 0x82);  // after the transfer size
  // The device goes on answering afterwards.
  length = kVga;
  EXPECT_TRUE(FVDEVLib_grab(device.get(), frame.data(), &length));
}

// The image as its generator makes it: the text tag over an xorshift byte sequence.
std::vector<std::uint8_t> ExpectedFirmware() {
  std::vector<std::uint8_t> image(8192);
  std::uint32_t state = 0x2545F491u;
  for (std::uint8_t& b : image) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    b = static_cast<std::uint8_t>(state >> 24);
  }
  const char tag[] = "PLACEHOLDER CONTROLLER IMAGE";
  std::memcpy(image.data(), tag, sizeof tag);
  return image;
}

// What the device received, by address, is the image, chunk by chunk.
void ExpectFirmwareReceivedChunkByChunk() {
  std::vector<std::uint8_t> received(8192);
  ASSERT_TRUE(fvsim_get_firmware(0, received.data(), 8192));
  const std::vector<std::uint8_t> image = ExpectedFirmware();
  for (int at = 0; at < 8192; at += 64) {
    EXPECT_TRUE(std::equal(received.begin() + at, received.begin() + at + 64, image.begin() + at))
        << "chunk at " << at;
    EXPECT_TRUE(std::equal(kFirmwareImage.begin() + at, kFirmwareImage.begin() + at + 64,
                           image.begin() + at))
        << "stored chunk at " << at;
  }
}

TEST_F(FramesTest, ColdSixteenBitDeviceWorksAfterOneFirmwareDownload) {
  auto device = OpenWithFinger(3);
  FVDEVLib_set_exposure2(device.get(), 0, 700, 32, 32, 32, 32);
  std::vector<std::uint8_t> frame(kVga, 0);
  unsigned length = kVga;
  fvsim_trace_clear();
  ASSERT_TRUE(FVDEVLib_grab16(device.get(), 0, frame.data(), &length));
  EXPECT_EQ(length, kVga);

  int reads = 0, failedReads = 0;
  for (const FvSimTraceEntry& e : Trace()) {
    if (e.code != usb::kIoctlDataIn) continue;
    ++reads;
    EXPECT_EQ(e.transferLength, 2 * kVga);
    failedReads += e.outcome == FVSIM_PENDING;
  }
  EXPECT_EQ(reads, 3);
  EXPECT_EQ(failedReads, 2);
  FvSimDeviceState state{};
  fvsim_get_state(0, &state);
  EXPECT_EQ(state.firmwareDownloads, 1);
  EXPECT_EQ(state.reconnects, 1);
  EXPECT_EQ(state.cold, 0);

  const auto firmware = VendorRequests(0xA0);
  ASSERT_EQ(firmware.size(), 2u + 8192 / 64);
  EXPECT_EQ(firmware.front().value, 0xE600);
  EXPECT_EQ(firmware.front().data[0], 1);
  EXPECT_EQ(firmware[1].value, 0);
  EXPECT_EQ(firmware[1].length, 64);
  EXPECT_EQ(firmware[128].value, 8128);
  EXPECT_EQ(firmware.back().value, 0xE600);
  EXPECT_EQ(firmware.back().data[0], 0);
  ExpectFirmwareReceivedChunkByChunk();

  // Warm now: the next grab is a single read.
  fvsim_trace_clear();
  ASSERT_TRUE(FVDEVLib_grab16(device.get(), 0, frame.data(), &length));
  EXPECT_EQ(fvtest::CountCode(usb::kIoctlDataIn), 1);
  EXPECT_TRUE(VendorRequests(0xA0).empty());
}

TEST_F(FramesTest, SixteenBitGrabKeepsTheFirstByteOfEveryPair) {
  auto device = OpenWithFinger(16);
  FVDEVLib_set_exposure2(device.get(), 0, 40, 32, 32, 32, 32);
  std::vector<std::uint8_t> frame(kVga);
  unsigned length = kVga;
  ASSERT_TRUE(FVDEVLib_grab16(device.get(), 0, frame.data(), &length));  // loads the firmware
  std::vector<std::uint8_t> raw(2 * kVga);
  unsigned rawLength = 2 * kVga;
  ASSERT_TRUE(FVDEVLib_bulk_read(device.get(), 0, raw.data(), &rawLength));
  ASSERT_TRUE(FVDEVLib_grab16(device.get(), 0, frame.data(), &length));
  for (unsigned i = 0; i < kVga; ++i) {
    ASSERT_EQ(frame[i], raw[2 * i]) << i;
  }
  // Sensor 1 was never exposed: its dark bytes would show had the grab kept the second byte.
  EXPECT_GT(*std::max_element(frame.begin(), frame.end()), 10);
}

TEST_F(FramesTest, SixteenBitGrabRefusesABufferSmallerThanTheFrame) {
  auto device = OpenWithFinger(18);
  std::vector<std::uint8_t> small(76800, 0x5A);
  unsigned length = 76800;
  fvsim_trace_clear();
  EXPECT_FALSE(FVDEVLib_grab16(device.get(), 0, small.data(), &length));
  EXPECT_EQ(length, 76800u);
  EXPECT_EQ(Trace().size(), 0u);
  length = 0;
  EXPECT_FALSE(FVDEVLib_grab16(device.get(), 0, small.data(), &length));
}

TEST_F(FramesTest, SixteenBitGrabGivesUpAfterThreeFailures) {
  auto device = (fvsim_plug_type(3), FVDEVLib_open(0));  // cold
  ASSERT_NE(device, nullptr);
  std::vector<std::uint8_t> frame(kVga);
  unsigned length = kVga;
  fvsim_trace_clear();
  // The controller refuses every download: each read fails, each later failure tries again.
  fvsim_inject_request(0, 0xA0, 1000000);
  EXPECT_FALSE(FVDEVLib_grab16(device.get(), 0, frame.data(), &length));
  EXPECT_EQ(length, kVga);
  EXPECT_EQ(fvtest::CountCode(usb::kIoctlDataIn), 3);
  EXPECT_EQ(VendorRequests(0xA0).size(), 2u * (1 + 8192 / 64 + 1)) << "two downloads";
  FvSimDeviceState state{};
  fvsim_get_state(0, &state);
  EXPECT_EQ(state.firmwareDownloads, 0);
  EXPECT_EQ(state.reconnects, 2);
  EXPECT_TRUE(FVDEVLib_is_open(device.get())) << "opened again after each reconnect";
}

// Brightness of the 8-bit frame rises with exposure, gain and backlight.
TEST_F(FramesTest, BrightnessRisesWithExposureGainAndBacklight) {
  auto device = OpenWithFinger(2);
  const std::uint8_t on[8] = {0x36, 0x25, 0x19, 0x0E, 0x0E, 0x19, 0x25, 0x36};
  const std::uint8_t dim[8] = {8, 8, 8, 8, 8, 8, 8, 8};
  struct Setting {
    int exposure, gain;
    const std::uint8_t* light;
  };
  const Setting rising[] = {{20, 32, on}, {60, 32, on}, {120, 32, on}, {120, 40, on}};
  auto brightness = [&](const Setting& s) {
    FVDEVLib_set_backlight(device.get(), s.light);
    FVDEVLib_set_exposure(device.get(), s.exposure, s.gain, s.gain, s.gain, s.gain);
    std::vector<std::uint8_t> frame(76800);
    unsigned length = 76800;
    EXPECT_TRUE(FVDEVLib_grab(device.get(), frame.data(), &length));
    return Mean(frame, frame.size());
  };
  double previous = -1;
  for (const Setting& s : rising) {
    const double b = brightness(s);
    EXPECT_GT(b, previous) << s.exposure << " " << s.gain;
    previous = b;
  }
  EXPECT_LT(brightness({120, 32, dim}), brightness({120, 32, on}));
}

// One exposure step as the library takes it, from the band and steps of the parameter block.
int ExposureStep(int level, int x, const float (&s)[4], int maxExposure) {
  const int low = 70, high = 90;
  float n = static_cast<float>(x);
  if (level < low >> 2) n = x + s[0];
  else if (level < low >> 1) n = x + s[1];
  else if (level < low - 10) n = x + s[2];
  else if (level < low) n = x + s[3];
  else if (level < high + 10) n = x - s[3];
  else if (level < static_cast<int>(1.5 * high)) n = x - s[2];
  else if (level < 2 * high) n = x - s[1];
  else n = x - s[0];
  return std::clamp(static_cast<int>(n), 1, maxExposure);
}

std::vector<std::uint8_t> Reduce(const std::vector<std::uint8_t>& raw, int width) {
  std::vector<std::uint8_t> out(76800);
  if (width == 320) return raw;
  for (int i = 0; i < 240; ++i) {
    for (int j = 0; j < 320; ++j) {
      const int r = width == 640 ? 2 * i : 32 + 4 * i, c = width == 640 ? 2 * j : 4 * j + 1;
      const int sum = raw[r * width + c] + raw[r * width + c + 1] + raw[(r + 1) * width + c] +
                      raw[(r + 1) * width + c + 1];
      out[i * 320 + j] = static_cast<std::uint8_t>(sum >> 2);
    }
  }
  return out;
}

TEST_F(FramesTest, AutoExposureConvergesFromEverySensorsDefaultStart) {
  struct Sensor {
    int type;
    unsigned productId;
    int width, height, start;
    std::uint8_t light[8];
    float steps[4];
  };
  const Sensor sensors[] = {
      {1, 0x8243, 640, 480, 680, {0x3F, 0x2F, 0x19, 0x0E, 0x0E, 0x19, 0x2F, 0x3F}, {285, 142, 71, 35}},
      {3, 0x8243, 640, 480, 800, {0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F}, {285, 142, 71, 35}},
      {16, 0x8431, 640, 480, 40, {0x36, 0x25, 0x19, 0x0E, 0x0E, 0x19, 0x25, 0x36}, {20, 10, 5, 2.5f}},
      {18, 0x8232, 640, 480, 40, {0x36, 0x25, 0x19, 0x0E, 0x0E, 0x19, 0x25, 0x36}, {20, 10, 5, 2.5f}},
      {2, 0x009B, 320, 240, 120, {0x36, 0x25, 0x19, 0x0E, 0x0E, 0x19, 0x25, 0x36}, {64, 32, 16, 8}},
      {1, 0x1234, 640, 480, 760, {0x36, 0x25, 0x19, 0x0E, 0x0E, 0x19, 0x25, 0x36}, {128, 64, 32, 16}},
      {1, 0x1234, 1280, 1024, 760, {0x36, 0x25, 0x19, 0x0E, 0x0E, 0x19, 0x25, 0x36}, {128, 64, 32, 16}},
  };
  for (const Sensor& s : sensors) {
    for (std::uint64_t finger : {1u, 7u}) {
      fvsim_reset();
      FvSimDeviceConfig config{};
      fvsim_default_config(s.type, &config);
      config.productId = s.productId;
      config.width = s.width;
      config.height = s.height;
      fvsim_plug(&config);
      fvsim_set_finger_seed(0, finger);
      fvsim_set_finger(0, 1);
      auto device = FVDEVLib_open(0);
      ASSERT_NE(device, nullptr);
      FVDEVLib_get_info(device.get(), nullptr);
      FVDEVLib_set_backlight(device.get(), s.light);
      const bool wide = s.type != 1 && s.type != 2;
      auto expose = [&](int x) {
        return wide ? FVDEVLib_set_exposure2(device.get(), 0, x, 32, 32, 32, 32)
                    : FVDEVLib_set_exposure(device.get(), x, 32, 32, 32, 32);
      };
      int x = s.start;
      ASSERT_TRUE(expose(x));
      int level = -1, steps = 0;
      for (; steps < 25; ++steps) {
        std::vector<std::uint8_t> raw(static_cast<std::size_t>(s.width * s.height));
        unsigned length = static_cast<unsigned>(raw.size());
        ASSERT_TRUE(wide ? FVDEVLib_grab16(device.get(), 0, raw.data(), &length)
                         : FVDEVLib_grab(device.get(), raw.data(), &length));
        level = fingerRegionLevel(Reduce(raw, s.width).data());
        if (level >= 70 && level <= 90) break;
        x = ExposureStep(level, x, s.steps, config.maxExposure);
        ASSERT_TRUE(expose(x));
      }
      EXPECT_LT(steps, 25) << "type " << s.type << " product " << std::hex << s.productId
                           << std::dec << " finger " << finger << " last level " << level
                           << " exposure " << x;
    }
  }
}

}  // namespace
