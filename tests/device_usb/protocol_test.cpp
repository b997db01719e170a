#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <numeric>
#include <functional>
#include <vector>

#include "protocol/fvdev_protocol.h"
#include "sim_fixture.h"

namespace {

using namespace dravex;
using fvtest::VendorRequests;

class ProtocolTest : public fvtest::SimTest {
 protected:
  std::unique_ptr<FvDevice> Open(int index = 0) {
    auto device = FVDEVLib_open(index);
    EXPECT_NE(device, nullptr);
    return device;
  }
};

int PlugWithProduct(unsigned productId) {
  FvSimDeviceConfig config{};
  fvsim_default_config(1, &config);
  config.productId = productId;
  return fvsim_plug(&config);
}

TEST_F(ProtocolTest, InfoCarriesMarkersAndTheDeviceAnswer) {
  const struct {
    int type;
    unsigned productId, width, height;
  } cases[] = {{1, 0x8243, 640, 480}, {2, 0x009B, 320, 240}, {16, 0x8431, 640, 480}};
  for (const auto& c : cases) {
    fvsim_reset();
    fvsim_plug_type(c.type);
    auto device = Open();
    FvDevInfo info;
    std::memset(&info, 0xAA, sizeof info);
    ASSERT_TRUE(FVDEVLib_get_info(device.get(), &info));
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&info);
    EXPECT_EQ(info.marker0, 0x0200);
    EXPECT_EQ(info.marker1, 0x2015);
    EXPECT_EQ(info.marker2, 0x0123);
    EXPECT_EQ(bytes[18], c.type);
    EXPECT_EQ(bytes[20] | bytes[21] << 8, static_cast<int>(c.productId));
    EXPECT_EQ(bytes[23] | bytes[24] << 8, static_cast<int>(c.width));
    EXPECT_EQ(bytes[25] | bytes[26] << 8, static_cast<int>(c.height));
  }
}

TEST_F(ProtocolTest, FailedInfoReadStillWritesTheMarkers) {
  fvsim_plug_type(1);
  auto device = Open();
  fvsim_inject(0, FVSIM_FAULT_FAIL, 1);
  FvDevInfo info;
  std::memset(&info, 0xAA, sizeof info);
  EXPECT_FALSE(FVDEVLib_get_info(device.get(), &info));
  EXPECT_EQ(info.marker1, 0x2015);
  for (std::uint8_t b : info.deviceInfo) EXPECT_EQ(b, 0);
}

// Gain rules by their effect on frames: the simulated sensor honours a gain word only with its
// product's mode bits, drives one channel of each 2 x 2 cell per word and takes the exposure's
// low 16 bits.
class GainRules : public ProtocolTest {
 protected:
  // A warm device of `type` and `productId` with a finger under full light.
  std::unique_ptr<FvDevice> OpenLit(int type, unsigned productId) {
    FvSimDeviceConfig config{};
    EXPECT_TRUE(fvsim_default_config(type, &config));
    config.productId = productId;
    config.cold = 0;
    const int index = fvsim_plug(&config);
    fvsim_set_finger(index, 1);
    auto device = Open(index);
    EXPECT_TRUE(FVDEVLib_get_info(device.get(), nullptr));
    const std::uint8_t on[8] = {0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40};
    EXPECT_TRUE(FVDEVLib_set_backlight(device.get(), on));
    width_ = config.width;
    unit_ = config.exposureUnit;
    pairs_ = type == 3 || type == 16 || type == 18;
    pixels_ = static_cast<unsigned>(config.width * config.height);
    return device;
  }
  // The frame as the device sends it: 8-bit, or the pairs of the 16-bit types.
  std::vector<std::uint8_t> Raw(FvDevice* device) {
    std::vector<std::uint8_t> raw(pixels_ * (pairs_ ? 2 : 1), 0);
    unsigned length = static_cast<unsigned>(raw.size());
    const bool ok = pairs_ ? FVDEVLib_bulk_read(device, 0, raw.data(), &length)
                           : FVDEVLib_grab(device, raw.data(), &length);
    EXPECT_TRUE(ok);
    return raw;
  }
  // Pixels of one sensor (0: the first byte of a pair) in one channel of the 2 x 2 cells.
  std::vector<std::uint8_t> Channel(const std::vector<std::uint8_t>& raw, int sensor, int channel) {
    std::vector<std::uint8_t> out;
    const unsigned stride = pairs_ ? 2 : 1;
    for (unsigned i = 0; i < pixels_; ++i) {
      const unsigned row = i / static_cast<unsigned>(width_), col = i % static_cast<unsigned>(width_);
      if (static_cast<int>(2 * (row & 1) + (col & 1)) == channel) {
        out.push_back(raw[i * stride + static_cast<unsigned>(sensor)]);
      }
    }
    return out;
  }
  // Request 0xB3 written out by hand: the exposure, then the four words as they stand.
  static bool SendWords(FvDevice* device, std::uint16_t sensor, std::uint16_t exposure,
                        std::array<std::uint16_t, 4> words) {
    std::uint8_t data[10];
    fvplat::usb::PutU16(data, exposure);
    for (int g = 0; g < 4; ++g) fvplat::usb::PutU16(data + 2 + 2 * g, words[static_cast<std::size_t>(g)]);
    return FVDEVLib_ctrl_out(device, 0xB3, sensor, 0, data, sizeof data);
  }
  static double Mean(const std::vector<std::uint8_t>& v) {
    return std::accumulate(v.begin(), v.end(), 0.0) / static_cast<double>(v.size());
  }

  int width_ = 0;
  int unit_ = 0;  // the exposure that shows the scene at its own brightness
  bool pairs_ = false;
  unsigned pixels_ = 0;
};

TEST_F(GainRules, GainWordsCarryTheModeBitsOfTheProduct) {
  const struct {
    int type;
    unsigned productId;
    std::uint16_t bits;
  } cases[] = {{1, 0x8431, 0x40}, {1, 0x8232, 0x80}, {1, 0x8243, 0x80}, {2, 0x009B, 0},
               {1, 0x1234, 0},    {16, 0x8431, 0x40}, {18, 0x8232, 0x80}, {3, 0x8243, 0x80}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "type " << c.type << " product " << std::hex << c.productId);
    fvsim_reset();
    auto device = OpenLit(c.type, c.productId);
    const std::uint16_t b = c.bits;
    const auto e = static_cast<std::uint16_t>(unit_ * 3 / 5);  // well below white
    ASSERT_TRUE(FVDEVLib_set_exposure(device.get(), e, 32, 20, 40, 8));
    const auto sent = Raw(device.get());
    ASSERT_TRUE(SendWords(device.get(), 0, e, {static_cast<std::uint16_t>(32 | b),
                                                 static_cast<std::uint16_t>(20 | b),
                                                 static_cast<std::uint16_t>(40 | b),
                                                 static_cast<std::uint16_t>(8 | b)}));
    EXPECT_EQ(Raw(device.get()), sent) << "the words worked out by hand light the frame alike";
    // Without the right bits the sensor stays in its low range: a darker frame.
    const std::uint16_t wrong = b == 0 ? 0x40 : 0;
    ASSERT_TRUE(SendWords(device.get(), 0, e, {static_cast<std::uint16_t>(32 | wrong),
                                                 static_cast<std::uint16_t>(20 | wrong),
                                                 static_cast<std::uint16_t>(40 | wrong),
                                                 static_cast<std::uint16_t>(8 | wrong)}));
    EXPECT_LT(Mean(Channel(Raw(device.get()), 0, 0)), 0.5 * Mean(Channel(sent, 0, 0)));
  }
}

TEST_F(GainRules, GainBitsFollowEachDevicesOwnInformation) {
  auto first = OpenLit(1, 0x8431);
  auto second = OpenLit(1, 0x8232);  // its information is read last, yet it does not decide
  ASSERT_TRUE(FVDEVLib_set_exposure(first.get(), 500, 32, 32, 32, 32));
  const auto sent = Raw(first.get());
  ASSERT_TRUE(SendWords(first.get(), 0, 500, {0x60, 0x60, 0x60, 0x60}));
  EXPECT_EQ(Raw(first.get()), sent);
}

TEST_F(GainRules, EachGainWordDrivesItsOwnChannel) {
  auto device = OpenLit(2, 0x009B);
  const int gains[4] = {32, 16, 48, 8};
  ASSERT_TRUE(FVDEVLib_set_exposure(device.get(), 150, gains[0], gains[1], gains[2], gains[3]));
  const auto mixed = Raw(device.get());
  double previous = -1;
  for (int g : {8, 16, 32, 48}) {
    ASSERT_TRUE(FVDEVLib_set_exposure(device.get(), 150, g, g, g, g));
    const auto even = Raw(device.get());
    const double mean = Mean(even);
    EXPECT_GT(mean, previous) << "brighter with gain " << g;
    previous = mean;
    for (int channel = 0; channel < 4; ++channel) {
      if (gains[channel] != g) continue;
      EXPECT_EQ(Channel(mixed, 0, channel), Channel(even, 0, channel))
          << "gain word " << channel + 1 << " lights channel " << channel;
    }
  }
}

TEST_F(GainRules, ExposureGoesOutAsItsLow16Bits) {
  auto device = OpenLit(1, 0x8243);
  ASSERT_TRUE(FVDEVLib_set_exposure(device.get(), 300, 32, 32, 32, 32));
  const auto low = Raw(device.get());
  ASSERT_TRUE(FVDEVLib_set_exposure(device.get(), 0x10000 + 300, 32, 32, 32, 32));
  EXPECT_EQ(Raw(device.get()), low);
  ASSERT_TRUE(FVDEVLib_set_exposure(device.get(), 600, 32, 32, 32, 32));
  EXPECT_GT(Mean(Raw(device.get())), Mean(low) + 10) << "a longer exposure is brighter";
}

TEST_F(GainRules, TwoSensorExposureReachesTheSensorModuloTwo) {
  auto device = OpenLit(3, 0x8243);
  ASSERT_TRUE(FVDEVLib_set_exposure2(device.get(), 0, 700, 32, 32, 32, 32));
  ASSERT_TRUE(FVDEVLib_set_exposure2(device.get(), 1, 300, 32, 32, 32, 32));
  const auto before = Raw(device.get());
  // Sensors 2 and 3 are sensors 0 and 1: swapping the settings swaps the bytes of each pair.
  ASSERT_TRUE(FVDEVLib_set_exposure2(device.get(), 2, 300, 32, 32, 32, 32));
  ASSERT_TRUE(FVDEVLib_set_exposure2(device.get(), 3, 700, 32, 32, 32, 32));
  const auto swapped = Raw(device.get());
  for (int channel = 0; channel < 4; ++channel) {
    EXPECT_EQ(Channel(before, 0, channel), Channel(swapped, 1, channel));
    EXPECT_EQ(Channel(before, 1, channel), Channel(swapped, 0, channel));
  }
  EXPECT_GT(Mean(Channel(before, 0, 0)), Mean(Channel(before, 1, 0)) + 10);
  // The single form drives sensor 0.
  ASSERT_TRUE(FVDEVLib_set_exposure(device.get(), 700, 32, 32, 32, 32));
  const auto single = Raw(device.get());
  EXPECT_EQ(Channel(single, 0, 3), Channel(before, 0, 3));
  EXPECT_EQ(Channel(single, 1, 3), Channel(swapped, 1, 3));
}

TEST_F(ProtocolTest, MemoryRequestsAreCutAtTheEndOfTheMemory) {
  fvsim_plug_type(1);
  auto device = Open();
  const struct {
    int offset, n, wIndex, wLength;
  } cases[] = {{180, 96, 180, 76}, {0, 96, 0, 96}, {0, 300, 0, 256},
               {255, 4, 255, 1},   {300, 10, 44, 10}, {-1, 2, 255, 1}};
  std::vector<std::uint8_t> data(300);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i + 1);
  for (const auto& c : cases) {
    fvsim_trace_clear();
    ASSERT_TRUE(FVDEVLib_write_mem(device.get(), data.data(), c.offset, c.n)) << c.offset;
    std::vector<std::uint8_t> back(300, 0);
    ASSERT_TRUE(FVDEVLib_read_mem(device.get(), back.data(), c.offset, c.n));
    const auto requests = VendorRequests(0xB4);
    ASSERT_EQ(requests.size(), 2u);
    for (const FvSimTraceEntry& e : requests) {
      EXPECT_EQ(e.index, c.wIndex) << c.offset << "+" << c.n;
      EXPECT_EQ(e.length, c.wLength) << c.offset << "+" << c.n;
    }
    EXPECT_EQ(requests[0].requestType, 0x40);
    EXPECT_EQ(requests[1].requestType, 0xC0);
    EXPECT_TRUE(std::equal(back.begin(), back.begin() + c.wLength, data.begin()));
    EXPECT_EQ(back[static_cast<std::size_t>(c.wLength)], 0) << "nothing beyond the cut";
  }
  fvsim_trace_clear();
  EXPECT_FALSE(FVDEVLib_read_mem(device.get(), data.data(), 0, 0));
  EXPECT_FALSE(FVDEVLib_read_mem(device.get(), nullptr, 0, 4));
  EXPECT_FALSE(FVDEVLib_write_mem(device.get(), data.data(), 0, -3));
  EXPECT_TRUE(VendorRequests(0xB4).empty());
}

TEST_F(ProtocolTest, FingerStateAndLightRequests) {
  fvsim_plug_type(1);
  auto device = Open();
  int state = -1;
  ASSERT_TRUE(FVDEVLib_get_finger(device.get(), &state));
  EXPECT_EQ(state, 0);
  fvsim_set_finger(0, 1);
  ASSERT_TRUE(FVDEVLib_get_finger(device.get(), &state));
  EXPECT_EQ(state, 3);
  const std::uint8_t pattern[8] = {0x36, 0x25, 0x19, 0x0E, 0x0E, 0x19, 0x25, 0x36};
  ASSERT_TRUE(FVDEVLib_set_backlight(device.get(), pattern));
  ASSERT_TRUE(FVDEVLib_set_led(device.get(), 255, 5));
  FvSimDeviceState s{};
  fvsim_get_state(0, &s);
  EXPECT_EQ(std::memcmp(s.backlight, pattern, 8), 0);
  EXPECT_EQ(s.led[0], 255);
  EXPECT_EQ(s.led[1], 5);
}

TEST_F(ProtocolTest, EveryFunctionFailsAtOnceWithoutAnOpenDevice) {
  std::uint8_t buffer[16] = {};
  unsigned length = sizeof buffer;
  int state = 0;
  FvDevice closed;
  for (FvDevice* device : {static_cast<FvDevice*>(nullptr), &closed}) {
    EXPECT_FALSE(FVDEVLib_is_open(device));
    EXPECT_FALSE(FVDEVLib_ctrl_in(device, 0xB1, 0, 0, buffer, 1));
    EXPECT_FALSE(FVDEVLib_ctrl_out(device, 0xB6, 0, 0, buffer, 2));
    EXPECT_FALSE(FVDEVLib_get_info(device, nullptr));
    EXPECT_FALSE(FVDEVLib_get_finger(device, &state));
    EXPECT_FALSE(FVDEVLib_grab(device, buffer, &length));
    EXPECT_FALSE(FVDEVLib_grab16(device, 0, buffer, &length));
    EXPECT_FALSE(FVDEVLib_bulk_read(device, 0, buffer, &length));
    EXPECT_FALSE(FVDEVLib_set_exposure(device, 1, 1, 1, 1, 1));
    EXPECT_FALSE(FVDEVLib_read_mem(device, buffer, 0, 4));
    EXPECT_FALSE(FVDEVLib_set_backlight(device, buffer));
    EXPECT_FALSE(FVDEVLib_set_led(device, 1, 1));
  }
  EXPECT_TRUE(FVDEVLib_init());
  EXPECT_EQ(FVDEVLib_get_count(), 0);
  EXPECT_EQ(FVDEVLib_open(0), nullptr);
  FVDEVLib_close(nullptr);
}

TEST_F(ProtocolTest, OpenTriesOnceMore) {
  fvsim_plug_type(1);
  fvsim_inject(0, FVSIM_FAULT_FAIL, 1);  // the first descriptor request
  EXPECT_NE(FVDEVLib_open(0), nullptr);
  fvsim_inject(0, FVSIM_FAULT_FAIL, 2);  // both attempts
  EXPECT_EQ(FVDEVLib_open(0), nullptr);
}

TEST_F(ProtocolTest, UnplugFailsEveryRequestOnOldHandles) {
  fvsim_plug_type(2);
  fvsim_plug_type(1);
  auto first = Open(0);
  auto second = Open(1);
  ASSERT_TRUE(fvsim_unplug(0));
  EXPECT_EQ(FVDEVLib_get_count(), 1);
  EXPECT_EQ(fvsim_device_type(0), 1) << "later devices move down";

  std::uint8_t buffer[76800];
  unsigned length = sizeof buffer;
  int state = 0;
  EXPECT_FALSE(FVDEVLib_get_info(first.get(), nullptr));
  EXPECT_FALSE(FVDEVLib_get_finger(first.get(), &state));
  EXPECT_FALSE(FVDEVLib_grab(first.get(), buffer, &length));
  EXPECT_FALSE(FVDEVLib_read_mem(first.get(), buffer, 0, 96));
  EXPECT_FALSE(FVDEVLib_set_led(first.get(), 1, 1));
  EXPECT_TRUE(FVDEVLib_get_finger(second.get(), &state)) << "the other device goes on";

  // Plugged in again it is a new device: the old handle stays dead, a new open works.
  fvsim_plug_type(2);
  EXPECT_FALSE(FVDEVLib_get_finger(first.get(), &state));
  auto again = Open(1);
  FvDevInfo info{};
  ASSERT_TRUE(FVDEVLib_get_info(again.get(), &info));
  EXPECT_EQ(info.deviceInfo[12], 2);
  FVDEVLib_close(std::move(first));
}

}  // namespace

namespace {

TEST_F(ProtocolTest, AShortAnswerIsAFailedRequest) {
  fvsim_plug_type(1);
  auto device = Open();
  std::uint8_t memory[96] = {};
  int state = 0;
  FvDevInfo info{};
  const std::uint8_t levels[2] = {5, 0};
  struct Case {
    const char* what;
    std::function<bool()> request;
  };
  const Case cases[] = {
      {"0xB4 read", [&] { return FVDEVLib_read_mem(device.get(), memory, 0, 96); }},
      {"0xB4 write", [&] { return FVDEVLib_write_mem(device.get(), memory, 0, 96); }},
      {"0xB0", [&] { return FVDEVLib_get_info(device.get(), &info); }},
      {"0xB1", [&] { return FVDEVLib_get_finger(device.get(), &state); }},
      {"0xB6", [&] { return FVDEVLib_ctrl_out(device.get(), 0xB6, 0, 0, levels, 2); }},
  };
  for (const Case& c : cases) {
    fvsim_inject(0, FVSIM_FAULT_SHORT, 1);
    EXPECT_FALSE(c.request()) << c.what;
    EXPECT_TRUE(c.request()) << c.what << ": whole again";
    fvsim_inject(0, FVSIM_FAULT_LONG, 1);
    EXPECT_TRUE(c.request()) << c.what << ": more than asked for is cut to what was asked";
  }
}

TEST_F(ProtocolTest, AFailedInformationReadKeepsTheGainBits) {
  PlugWithProduct(0x8243);
  auto device = Open();
  FvDevInfo info{};
  ASSERT_TRUE(FVDEVLib_get_info(device.get(), &info));
  for (int fault : {0, static_cast<int>(FVSIM_FAULT_SHORT)}) {
    if (fault) {
      fvsim_inject(0, fault, 1);
    } else {
      fvsim_inject_request(0, 0xB0, 1);
    }
    std::memset(&info, 0xAA, sizeof info);
    EXPECT_FALSE(FVDEVLib_get_info(device.get(), &info));
    EXPECT_EQ(info.marker0, 0x0200) << "the caller still gets the markers";
    EXPECT_EQ(info.deviceInfo[14], 0) << "and no answer";
    fvsim_trace_clear();
    ASSERT_TRUE(FVDEVLib_set_exposure(device.get(), 100, 32, 32, 32, 32));
    const auto sent = VendorRequests(0xB3);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].data[2] | sent[0].data[3] << 8, 32 | 0x80) << "product 0x8243 still sets 0x80";
  }
}

TEST_F(ProtocolTest, ARequestThatRunsOutItsTimeLosesTheDevice) {
  fvsim_plug_type(1);
  auto device = Open();
  int state = 0;
  fvsim_inject(0, FVSIM_FAULT_STALL, 1);
  EXPECT_FALSE(FVDEVLib_get_finger(device.get(), &state));
  EXPECT_FALSE(FVDEVLib_is_open(device.get()));
  fvsim_trace_clear();
  EXPECT_FALSE(FVDEVLib_set_led(device.get(), 5, 0));
  EXPECT_EQ(fvsim_trace_count(), 0) << "nothing more goes to a device that stopped answering";

  // A request the device refuses at once is an answer: the device stays.
  auto other = Open();
  fvsim_inject(0, FVSIM_FAULT_FAIL, 1);
  EXPECT_FALSE(FVDEVLib_get_finger(other.get(), &state));
  EXPECT_TRUE(FVDEVLib_is_open(other.get()));
}

TEST_F(ProtocolTest, AnyNonZeroSensorByteIsAFinger) {
  fvsim_plug_type(1);
  auto device = Open();
  for (int value : {1, 2, 0x80, 0xFF}) {
    fvsim_set_finger(0, 1);
    ASSERT_TRUE(fvsim_set_finger_byte(0, value));
    int state = -1;
    ASSERT_TRUE(FVDEVLib_get_finger(device.get(), &state));
    EXPECT_EQ(state, 3) << value;
    fvsim_set_finger(0, 0);
    ASSERT_TRUE(FVDEVLib_get_finger(device.get(), &state));
    EXPECT_EQ(state, 0) << value;
  }
}

TEST_F(ProtocolTest, AFirmwareDownloadReopensTheReenumeratedDevice) {
  FvSimDeviceConfig warm{};
  fvsim_default_config(3, &warm);
  warm.cold = 0;
  fvsim_plug(&warm);
  auto device = Open();
  auto bystander = Open();
  ASSERT_TRUE(FVDEVLib_download_firmware(device.get()));
  int state = 0;
  EXPECT_FALSE(FVDEVLib_get_finger(bystander.get(), &state)) << "an old handle reaches nothing";
  EXPECT_TRUE(FVDEVLib_get_finger(device.get(), &state)) << "the downloading device opened again";
  FVDEVLib_close(std::move(bystander));
  EXPECT_EQ(fvtest::Trace().back().outcome, FVSIM_DONE) << "an old handle still closes";
}

}  // namespace
