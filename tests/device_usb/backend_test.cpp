#include <gtest/gtest.h>

#include <cstdlib>

#include "fvplatform/usb_driver.h"
#include "protocol/fvdev_protocol.h"

namespace {

// The driver module is chosen once, at the first use of the port, from the environment.
TEST(DriverModule, TheEnvironmentNamesItAndAMissingOneMeansNoDevices) {
  ASSERT_EQ(setenv(fvplat::kUsbBackendEnv, "libno-such-usb-driver.so", 1), 0);
  EXPECT_EQ(dravex::FVDEVLib_get_count(), 0);
  EXPECT_EQ(dravex::FVDEVLib_open(0), nullptr);
  fvplat::UsbOverlapped overlapped;
  EXPECT_EQ(fvplat::UsbIoctl(1, 0x220030, nullptr, 0, nullptr, 0, overlapped, nullptr),
            fvplat::UsbIo::kFailed);
}

}  // namespace
