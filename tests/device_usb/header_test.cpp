#include <gtest/gtest.h>

#include <vector>

#include "fvplatform/usb_driver.h"
#include "fvplatform/usb_requests.h"
#include "usb/usb_endpoint.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
namespace usb = fvplat::usb;

// Keeps the bytes of every request and finishes it at once.
class RecordingDriver final : public fvplat::UsbBackend {
 public:
  int Count(const fvplat::UsbClassId&) override { return 0; }
  fvplat::UsbHandle Open(const fvplat::UsbClassId&, int) override { return fvplat::kInvalidUsbHandle; }
  bool Close(fvplat::UsbHandle) override { return true; }
  fvplat::UsbIo Ioctl(fvplat::UsbHandle, std::uint32_t ioctl, const void* in, std::uint32_t inLength,
                      void*, std::uint32_t outLength, fvplat::UsbOverlapped&,
                      std::uint32_t& bytes) override {
    code = ioctl;
    request.assign(static_cast<const std::uint8_t*>(in), static_cast<const std::uint8_t*>(in) + inLength);
    answerLength = outLength;
    bytes = outLength;
    return fvplat::UsbIo::kDone;
  }
  std::uint32_t code = 0, answerLength = 0;
  Bytes request;
};

class HeaderTest : public ::testing::Test {
 protected:
  void SetUp() override { fvplat::SetUsbBackend(&driver_); }
  void TearDown() override { fvplat::SetUsbBackend(nullptr); }
  RecordingDriver driver_;
};

Bytes U32(std::uint32_t v) { return {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)}; }

// Header bytes from its fields, in the driver's layout.
Bytes Header(Bytes setup, std::uint32_t seconds, std::uint8_t endpoint, std::uint32_t isoOffset,
             std::uint32_t isoLength, std::uint32_t dataOffset, std::uint32_t dataLength) {
  Bytes h = setup;
  for (const Bytes& part : {U32(seconds), Bytes{0, endpoint}, U32(0), U32(0), U32(isoOffset),
                            U32(isoLength), U32(dataOffset), U32(dataLength)}) {
    for (std::uint8_t b : part) h.push_back(b);
  }
  return h;
}

TEST_F(HeaderTest, ControlRequestCarriesSetupPacketAndDataBehindTheHeader) {
  dravex::CControlEndPoint ep(5, 64);
  ep.SetRequest(0, 2, 0, 0xB4, 0x0102, 180);
  std::uint8_t data[3] = {7, 8, 9};
  std::uint32_t length = 3;
  ASSERT_TRUE(ep.XferData(data, length));
  EXPECT_EQ(driver_.code, usb::kIoctlControlTransfer);
  Bytes expected = Header({0x40, 0xB4, 0x02, 0x01, 180, 0, 3, 0}, 10, 0, 0, 0, 38, 3);
  ASSERT_EQ(expected.size(), usb::kHeaderSize);
  expected.insert(expected.end(), {7, 8, 9});
  EXPECT_EQ(driver_.request, expected);
  EXPECT_EQ(driver_.answerLength, 41u) << "answered in the same buffer";
  EXPECT_EQ(length, 3u);
}

TEST_F(HeaderTest, PipeRequestsNameTheirEndpointAndWhereDataAndPacketTableLie) {
  struct Case {
    const char* what;
    std::uint8_t address, attributes;
    std::uint32_t code;
    Bytes request;
  };
  std::uint8_t data[1000];
  const Case cases[] = {
      {"bulk IN", 0x82, 2, usb::kIoctlDataIn, Header(Bytes(8, 0), 10, 0x82, 0, 0, 0, 0)},
      {"interrupt OUT", 0x03, 3, usb::kIoctlDataOut, Header(Bytes(8, 0), 10, 0x03, 0, 0, 38, 1000)},
      {"isochronous IN", 0x84, 1, usb::kIoctlDataIn, Header(Bytes(8, 0), 10, 0x84, 38, 2 * 8, 0, 0)},
      {"isochronous OUT", 0x05, 1, usb::kIoctlDataOut, Header(Bytes(8, 0), 10, 0x05, 1038, 2 * 8, 38, 1000)},
  };
  for (const Case& c : cases) {
    data[0] = 1;  // an IN case before has taken in what the driver delivered
    data[1] = 2;
    const dravex::UsbEndpointDescriptor d{c.address, c.attributes, 512, 1};
    std::unique_ptr<dravex::CUsbEndPoint> ep;
    if (c.attributes == 1) ep = std::make_unique<dravex::CIsocEndPoint>(5, d);
    if (c.attributes == 2) ep = std::make_unique<dravex::CBulkEndPoint>(5, d);
    if (c.attributes == 3) ep = std::make_unique<dravex::CInterruptEndPoint>(5, d);
    std::uint32_t length = sizeof data;
    ASSERT_TRUE(ep->XferData(data, length)) << c.what;
    EXPECT_EQ(driver_.code, c.code) << c.what;
    const Bytes head(driver_.request.begin(), driver_.request.begin() + usb::kHeaderSize);
    EXPECT_EQ(head, c.request) << c.what;
    if (c.code == usb::kIoctlDataOut) {
      EXPECT_EQ(driver_.request[38], 1) << c.what << ": the data follows the header";
      EXPECT_EQ(driver_.request[39], 2) << c.what;
    }
  }
}

}  // namespace
