#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fvplatform/debug_output.h"
#include "protocol/fvdev_protocol.h"
#include "scope_exit.h"
#include "sim_fixture.h"

namespace {

namespace usb = fvplat::usb;
using dravex::CUsbDevice;
using dravex::kFvDeviceClass;
using fvtest::Trace;

class UsbDeviceTest : public fvtest::SimTest {};

TEST_F(UsbDeviceTest, OpenReadsDescriptorsStringsAndPicksEndpoints) {
  ASSERT_EQ(fvsim_plug_type(1), 0);
  CUsbDevice device(nullptr, kFvDeviceClass, false);
  EXPECT_EQ(device.DeviceCount(), 1);
  ASSERT_TRUE(device.Open(0));
  EXPECT_EQ(device.m_deviceDescriptor.productId, 0x8243);
  EXPECT_EQ(device.m_controlEndPoint->m_maxPacketSize, 64u);
  EXPECT_EQ(device.m_product, u"Vein capture device (simulated)");
  EXPECT_EQ(device.m_serialNumber, u"SIM1000");
  EXPECT_EQ(device.m_friendlyName, "Simulated vein capture device");
  EXPECT_EQ(device.m_speed, 2u);
  ASSERT_EQ(device.EndPointCount(), 3);
  EXPECT_EQ(device.m_bulkOutEndPoint->m_address, 0x01);
  EXPECT_EQ(device.m_interruptInEndPoint->m_address, 0x83);
  EXPECT_EQ(device.m_bulkInEndPoint->m_address, 0x82);
  EXPECT_EQ(device.m_bulkInEndPoint->m_maxPacketSize, 512u);
  EXPECT_EQ(device.m_bulkInEndPoint->m_timeout, 10000u);

  // Descriptor requests in order: device, languages, three strings, configuration head, whole.
  std::vector<std::pair<unsigned, unsigned>> descriptors;  // wValue, wLength
  for (const FvSimTraceEntry& e : Trace()) {
    if (e.code == usb::kIoctlControlTransfer && e.requestType == 0x80 && e.request == 6) {
      descriptors.emplace_back(e.value, e.length);
    }
  }
  const std::vector<std::pair<unsigned, unsigned>> expected = {
      {0x0100, 18}, {0x0300, 256}, {0x0301, 256}, {0x0302, 256},
      {0x0303, 256}, {0x0200, 9},  {0x0200, 39}};
  EXPECT_EQ(descriptors, expected);
}

TEST_F(UsbDeviceTest, OpenFailsForAMissingIndexOrAnotherClass) {
  fvsim_plug_type(2);
  CUsbDevice device(nullptr, kFvDeviceClass, false);
  EXPECT_FALSE(device.Open(1));
  EXPECT_FALSE(device.Open(-1));
  CUsbDevice other(nullptr, {{1, 2, 3, 4}}, false);
  EXPECT_EQ(other.DeviceCount(), 0);
  EXPECT_FALSE(other.Open(0));
  EXPECT_TRUE(CUsbDevice(nullptr, kFvDeviceClass, true).IsOpen());
}

TEST_F(UsbDeviceTest, MalformedDescriptorsFailTheOpenAndCloseTheHandle) {
  struct Case {
    const char* what;
    int kind;
    std::vector<unsigned char> bytes;
  };
  const Case cases[] = {
      // An endpoint of bLength 1 would loop for ever or read past the end.
      {"bLength 1", 2, {9, 2, 20, 0, 1, 1, 0, 0x80, 50, 9, 4, 0, 0, 1, 0xFF, 0, 0, 0, 1, 5}},
      {"past the total", 2, {9, 2, 20, 0, 1, 1, 0, 0x80, 50, 9, 4, 0, 0, 1, 0xFF, 0, 0, 0, 7, 5}},
      {"short device descriptor", 1, {8, 1, 0, 2, 0xFF, 0, 0, 64}},
      // Its endpoint is missing: the head claims 25 bytes, the device sends 18.
      {"cut at a descriptor boundary", 2, {9, 2, 25, 0, 1, 1, 0, 0x80, 50, 9, 4, 0, 0, 1, 0xFF, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    fvsim_reset();
    fvsim_plug_type(1);
    ASSERT_TRUE(fvsim_set_descriptor(0, c.kind, c.bytes.data(), static_cast<int>(c.bytes.size())));
    CUsbDevice device(nullptr, kFvDeviceClass, false);
    EXPECT_FALSE(device.Open(0)) << c.what;
    EXPECT_FALSE(device.IsOpen()) << c.what;
    EXPECT_EQ(Trace().back().kind, FVSIM_TRACE_CLOSE) << c.what;
  }
}

TEST_F(UsbDeviceTest, AnInterfaceWithoutEndpointsStillOpens) {
  fvsim_plug_type(1);
  const unsigned char bare[] = {9, 2, 18, 0, 1, 1, 0, 0x80, 50, 9, 4, 0, 0, 0, 0xFF, 0, 0, 0};
  fvsim_set_descriptor(0, 2, bare, sizeof bare);
  CUsbDevice device(nullptr, kFvDeviceClass, false);
  ASSERT_TRUE(device.Open(0));
  EXPECT_EQ(device.EndPointCount(), 0);
  EXPECT_EQ(device.m_bulkInEndPoint, nullptr);
}

TEST_F(UsbDeviceTest, ControlHeaderCarriesSetupAndTimeout) {
  fvsim_plug_type(1);
  CUsbDevice device(nullptr, kFvDeviceClass, false);
  ASSERT_TRUE(device.Open(0));
  const struct {
    std::uint32_t timeoutMs, seconds;
  } cases[] = {{10000, 10}, {500, 1}, {0, 0}};
  for (const auto& c : cases) {
    dravex::CControlEndPoint& ep = *device.m_controlEndPoint;
    ep.m_timeout = c.timeoutMs;
    ep.SetRequest(0, 2, 0, 0xB6, 0x1234, 0x5678);
    std::uint8_t levels[2] = {5, 0};
    std::uint32_t length = 2;
    fvsim_trace_clear();
    ASSERT_TRUE(ep.XferData(levels, length));
    const FvSimTraceEntry e = Trace().at(0);
    EXPECT_EQ(e.requestType, 0x40);
    EXPECT_EQ(e.request, 0xB6);
    EXPECT_EQ(e.value, 0x1234);
    EXPECT_EQ(e.index, 0x5678);
    EXPECT_EQ(e.length, 2);
    EXPECT_EQ(e.endpoint, 0);
    EXPECT_EQ(e.timeoutSeconds, c.seconds) << c.timeoutMs;
    EXPECT_EQ(e.transferLength, 2u);
    EXPECT_EQ(e.data[0], 5);
  }
}

TEST_F(UsbDeviceTest, InControlDataIsCopiedOnlyUpToTheRequestedLength) {
  fvsim_plug_type(1);
  CUsbDevice device(nullptr, kFvDeviceClass, false);
  ASSERT_TRUE(device.Open(0));
  ASSERT_TRUE(fvsim_inject(0, FVSIM_FAULT_LONG, 1));
  dravex::CControlEndPoint& ep = *device.m_controlEndPoint;
  ep.SetRequest(0, 2, 1, 0xB0, 0, 0);
  std::uint8_t buffer[25 + 16];
  std::fill(std::begin(buffer), std::end(buffer), 0xEE);
  std::uint32_t length = 25;
  EXPECT_TRUE(ep.XferData(buffer, length));
  EXPECT_EQ(length, 25u);
  for (int i = 25; i < 41; ++i) EXPECT_EQ(buffer[i], 0xEE) << i;
}

TEST_F(UsbDeviceTest, StalledControlTransferIsAbortedAtItsTimeout) {
  fvsim_plug_type(1);
  CUsbDevice device(nullptr, kFvDeviceClass, false);
  ASSERT_TRUE(device.Open(0));
  fvsim_trace_clear();
  fvsim_inject(0, FVSIM_FAULT_STALL, 1);
  dravex::CControlEndPoint& ep = *device.m_controlEndPoint;
  ep.SetRequest(0, 2, 1, 0xB1, 0, 0);
  std::uint8_t finger = 0;
  std::uint32_t length = 1;
  const std::uint64_t start = fvplat::ClockMs();
  EXPECT_FALSE(ep.XferData(&finger, length));
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(fvplat::ClockMs() - start, 10000u);
  fvtest::ExpectPendingThenAbort(2, 0);
}

TEST_F(UsbDeviceTest, DeviceStallOfARequestFailsTheTransfer) {
  fvsim_plug_type(1);
  CUsbDevice device(nullptr, kFvDeviceClass, false);
  ASSERT_TRUE(device.Open(0));
  dravex::CControlEndPoint& ep = *device.m_controlEndPoint;
  ep.SetRequest(0, 2, 1, 0xC7, 0, 0);  // no such request
  std::uint8_t byte = 0;
  std::uint32_t length = 1;
  EXPECT_FALSE(ep.XferData(&byte, length));
  EXPECT_NE(ep.m_usbdStatus, 0u);
}

TEST_F(UsbDeviceTest, TransferSizeIsRoundedToWholePackets) {
  fvsim_plug_type(1);
  CUsbDevice device(nullptr, kFvDeviceClass, false);
  ASSERT_TRUE(device.Open(0));
  dravex::CUsbEndPoint& ep = *device.m_bulkInEndPoint;
  const struct {
    std::uint32_t maxPacket, size, sent;
  } cases[] = {{512, 307200, 307200}, {512, 1, 512}, {512, 513, 1024},
               {3072, 614400, 614400}, {3072, 614401, 617472}, {64, 0, 0}, {0, 77, 77}};
  for (const auto& c : cases) {
    ep.m_maxPacketSize = c.maxPacket;
    ASSERT_TRUE(ep.SetXferSize(c.size));
    FvSimDeviceState state{};
    fvsim_get_state(0, &state);
    EXPECT_EQ(state.transferSize, c.sent) << c.maxPacket << " " << c.size;
  }
}

TEST_F(UsbDeviceTest, CloseFailureIsLoggedAndTheDeviceIsClosedAnyway) {
  fvsim_plug_type(1);
  std::string log;
  {
    const fvplat::DebugSink previous =
        fvplat::SetDebugOutputSink([&](std::string_view text) { log += text; });
    const fvtest::ScopeExit restore([&] { fvplat::SetDebugOutputSink(previous); });
    CUsbDevice device(nullptr, kFvDeviceClass, false);
    ASSERT_TRUE(device.Open(0));
    fvsim_inject(0, FVSIM_FAULT_CLOSE, 1);
    device.Close();
    EXPECT_FALSE(device.IsOpen());
    EXPECT_EQ(device.EndPointCount(), 0);
    EXPECT_TRUE(device.Open(0));
  }
  EXPECT_EQ(log, "Failed to close handle to driver.\n");
}

}  // namespace

namespace {

TEST_F(UsbDeviceTest, StringsComeInEnglishWhenListedElseInTheFirstLanguage) {
  struct Case {
    std::vector<unsigned short> languages;
    unsigned asked;
    std::u16string product;
  };
  const Case cases[] = {
      {{0x0407, 0x0409}, 0x0409, u"Vein capture device (simulated)"},
      {{0x0407, 0x040C}, 0x0407, u"Vein capture device (simulated) 1031"},
      {{0x040C}, 0x040C, u"Vein capture device (simulated) 1036"},
      {{}, 0, u""},
  };
  for (const Case& c : cases) {
    fvsim_reset();
    fvsim_plug_type(1);
    ASSERT_TRUE(fvsim_set_languages(0, c.languages.data(), static_cast<int>(c.languages.size())));
    CUsbDevice device(nullptr, kFvDeviceClass, false);
    ASSERT_TRUE(device.Open(0)) << c.asked;
    EXPECT_EQ(device.m_product, c.product) << c.asked;
    for (const FvSimTraceEntry& e : Trace()) {
      if (e.requestType == 0x80 && e.request == 6 && e.value > 0x0300 && e.value < 0x0400) {
        EXPECT_EQ(e.index, c.asked) << "string " << (e.value & 0xFF);
      }
    }
  }
}

// A driver that takes every request and never ends one, not even when its pipe is aborted.
class SilentDriver final : public fvplat::UsbBackend {
 public:
  int Count(const fvplat::UsbClassId&) override { return 1; }
  fvplat::UsbHandle Open(const fvplat::UsbClassId&, int) override { return 7; }
  bool Close(fvplat::UsbHandle) override { return true; }
  fvplat::UsbIo Ioctl(fvplat::UsbHandle, std::uint32_t code, const void*, std::uint32_t, void*,
                      std::uint32_t, fvplat::UsbOverlapped&, std::uint32_t&) override {
    ++requests;
    codes.push_back(code);
    return fvplat::UsbIo::kPending;
  }
  int requests = 0;
  std::vector<std::uint32_t> codes;
};

TEST_F(UsbDeviceTest, EveryWaitOnADriverThatNeverAnswersEnds) {
  SilentDriver driver;
  fvplat::SetUsbBackend(&driver);
  const fvtest::ScopeExit restore([] { fvplat::SetUsbBackend(nullptr); });
  const std::uint64_t start = fvplat::ClockMs();
  {
    CUsbDevice device(nullptr, kFvDeviceClass, false);
    EXPECT_FALSE(device.Open(0)) << "its descriptor request never ends";
    // The descriptor request, then the abort of its pipe, each waited for a bounded time.
    ASSERT_EQ(driver.codes.size(), 2u);
    EXPECT_EQ(driver.codes[1], usb::kIoctlAbortPipe);
    EXPECT_LE(fvplat::ClockMs() - start, 10000u + 10000u + 1000u);

    device.m_handle = 7;  // as if it had opened
    EXPECT_FALSE(device.Reconnect());
    std::uint8_t alt = 0;
    EXPECT_FALSE(dravex::DriverCall(7, usb::kIoctlAltSetting, nullptr, 0, &alt, 1, 500));
    device.m_handle = fvplat::kInvalidUsbHandle;
  }
  EXPECT_EQ(driver.requests, 4);
}

}  // namespace
