#include <gtest/gtest.h>

#include "fvplatform/clock.h"
#include "protocol/fvdev_protocol.h"
#include "sim_device/sim_device.h"

namespace {

using namespace dravex;

// Nothing resets the simulator here: this is what a program sees that no test controls.
TEST(DemoDevice, OneDeviceWithAFingerComingAndGoing) {
  fvplat::ScopedFakeClock clock;
  EXPECT_EQ(FVDEVLib_get_count(), 1);
  auto device = FVDEVLib_open(0);
  ASSERT_NE(device, nullptr);
  FvDevInfo info{};
  ASSERT_TRUE(FVDEVLib_get_info(device.get(), &info));
  EXPECT_EQ(info.deviceInfo[12], 1);
  int placed = 0, lifted = 0, previous = -1, changes = 0;
  for (int second = 0; second < 12; ++second) {
    int state = -1;
    ASSERT_TRUE(FVDEVLib_get_finger(device.get(), &state));
    (state == 3 ? placed : lifted)++;
    changes += previous != -1 && state != previous;
    previous = state;
    clock.clock().Advance(1000);
  }
  EXPECT_EQ(placed, 6);
  EXPECT_EQ(lifted, 6);
  EXPECT_EQ(changes, 3);
}

}  // namespace
