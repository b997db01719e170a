#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "usb/usb_descriptors.h"
#include "usb/usb_endpoint.h"

namespace {

using dravex::ParseConfigDescriptor;
using dravex::UsbConfigDescriptor;
using Bytes = std::vector<std::uint8_t>;

// Configuration head with its total length filled in.
Bytes Config(Bytes body) {
  Bytes c = {9, 2, 0, 0, 1, 1, 0, 0x80, 50};
  c.resize(c.size() + body.size());
  std::copy(body.begin(), body.end(), c.end() - static_cast<long>(body.size()));
  c[2] = static_cast<std::uint8_t>(c.size());
  c[3] = static_cast<std::uint8_t>(c.size() >> 8);
  return c;
}

const Bytes kInterface0 = {9, 4, 0, 0, 2, 0xFF, 0, 0, 0};
const Bytes kBulkIn = {7, 5, 0x81, 2, 0x00, 0x02, 0};
const Bytes kBulkOut = {7, 5, 0x02, 2, 0x00, 0x02, 0};

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) {
    for (std::uint8_t b : p) out.push_back(b);
  }
  return out;
}

TEST(ConfigDescriptor, BuildsInterfacesWithTheirEndpoints) {
  const Bytes alt1 = {9, 4, 0, 1, 1, 0xFF, 0, 0, 0};
  const Bytes classSpecific = {5, 0x24, 1, 2, 3};  // skipped
  const Bytes c = Config(Join({kInterface0, kBulkIn, classSpecific, kBulkOut, alt1, kBulkIn}));
  UsbConfigDescriptor config;
  ASSERT_TRUE(ParseConfigDescriptor(c.data(), c.size(), &config));
  EXPECT_EQ(config.totalLength, c.size());
  ASSERT_EQ(config.interfaces.size(), 2u);
  ASSERT_EQ(config.interfaces[0].endpoints.size(), 2u);
  EXPECT_EQ(config.interfaces[0].endpoints[0].address, 0x81);
  EXPECT_EQ(config.interfaces[0].endpoints[1].address, 0x02);
  EXPECT_EQ(config.interfaces[0].endpoints[1].maxPacketField, 512);
  EXPECT_EQ(config.interfaces[1].altSetting, 1);
  EXPECT_EQ(config.interfaces[1].endpoints.size(), 1u);
}

TEST(ConfigDescriptor, RefusesMalformedDescriptors) {
  struct Case {
    const char* what;
    Bytes bytes;
  };
  Bytes pastTotal = Config(Join({kInterface0, kBulkIn}));
  pastTotal[2] = static_cast<std::uint8_t>(pastTotal.size() - 3);  // the endpoint runs past it
  Bytes shortRead = Config(Join({kInterface0, kBulkIn}));
  shortRead.resize(shortRead.size() - 2);  // fewer bytes arrived than the total names
  Bytes headTooLong = Config({});
  headTooLong[0] = 20;
  const Case cases[] = {
      {"bLength 0", Config(Join({kInterface0, {0, 5, 0x81, 2, 0, 2, 0}}))},
      {"bLength 1", Config(Join({kInterface0, {1, 5}}))},
      {"runs past the total", pastTotal},
      {"runs past the bytes received", shortRead},
      {"head longer than the total", headTooLong},
      {"total below the head", {9, 2, 8, 0, 1, 1, 0, 0x80, 50}},
      {"not a configuration", {9, 4, 9, 0, 1, 1, 0, 0x80, 50}},
      {"interface too short", Config({{5, 4, 0, 0, 1}})},
      {"endpoint too short", Config(Join({kInterface0, {4, 5, 0x81, 2}}))},
      {"one byte left over", Config(Join({kInterface0, {2}}))},
  };
  for (const Case& c : cases) {
    UsbConfigDescriptor config;
    config.totalLength = 77;
    EXPECT_FALSE(ParseConfigDescriptor(c.bytes.data(), c.bytes.size(), &config)) << c.what;
    EXPECT_EQ(config.totalLength, 77) << c.what << ": nothing is kept";
  }
}

TEST(DeviceDescriptor, NeedsEighteenBytesOfTypeOne) {
  Bytes d = {18, 1, 0, 2, 0xFF, 0, 0, 64, 0xF0, 0xF0, 0x43, 0x82, 0, 1, 1, 2, 3, 1};
  dravex::UsbDeviceDescriptor parsed;
  ASSERT_TRUE(dravex::ParseDeviceDescriptor(d.data(), d.size(), &parsed));
  EXPECT_EQ(parsed.productId, 0x8243);
  EXPECT_EQ(parsed.maxPacketSize0, 64);
  EXPECT_EQ(parsed.numConfigurations, 1);
  EXPECT_FALSE(dravex::ParseDeviceDescriptor(d.data(), 17, &parsed));
  d[1] = 2;
  EXPECT_FALSE(dravex::ParseDeviceDescriptor(d.data(), d.size(), &parsed));
}

TEST(StringDescriptor, StopsAtItsOwnLengthAndTheBytesReceived) {
  const Bytes s = {8, 3, 'a', 0, 'b', 0, 'c', 0, 'x', 0};
  EXPECT_EQ(dravex::ParseStringDescriptor(s.data(), s.size()), u"abc");
  EXPECT_EQ(dravex::ParseStringDescriptor(s.data(), 5), u"a");
  EXPECT_EQ(dravex::ParseStringDescriptor(s.data(), 1), u"");
  const Bytes languages = {6, 3, 0x04, 0x08, 0x09, 0x04};
  EXPECT_EQ(dravex::ParseLanguageList(languages.data(), languages.size()),
            (std::vector<std::uint16_t>{0x0804, 0x0409}));
}

TEST(Endpoint, MaxPacketSizeCountsAdditionalTransactions) {
  const struct {
    std::uint16_t field;
    std::uint32_t size;
  } cases[] = {{64, 64}, {512, 512}, {0x0A00, 1024}, {0x1400, 3072}, {0x1FFF, 8188}, {0xE040, 64}};
  for (const auto& c : cases) EXPECT_EQ(dravex::MaxPacketSize(c.field), c.size) << c.field;
}

TEST(Endpoint, HeaderTimeoutInWholeSecondsAtLeastOne) {
  const struct {
    std::uint32_t ms, seconds;
  } cases[] = {{10000, 10}, {2999, 2}, {1000, 1}, {999, 1}, {1, 1}, {0, 0}};
  for (const auto& c : cases) EXPECT_EQ(dravex::HeaderTimeoutSeconds(c.ms), c.seconds) << c.ms;
}

}  // namespace
