#include <gtest/gtest.h>

#include "device_ids.h"

namespace {

using fvusb::DeviceId;
using fvusb::ParseDeviceIds;

TEST(DeviceIds, ListsOfHexadecimalPairs) {
  EXPECT_EQ(ParseDeviceIds("f0f0:8243"), (std::vector<DeviceId>{{0xF0F0, 0x8243}}));
  EXPECT_EQ(ParseDeviceIds("F0F0:8243,1:9b"), (std::vector<DeviceId>{{0xF0F0, 0x8243}, {1, 0x9B}}));
  // Entries that are not two words of at most four hex digits match nothing.
  EXPECT_EQ(ParseDeviceIds("f0f0:8243,10000:1,x:1,12:,:34,5678"), (std::vector<DeviceId>{{0xF0F0, 0x8243}}));
  EXPECT_TRUE(ParseDeviceIds("").empty());
}

}  // namespace
