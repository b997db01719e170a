// The engine's lazy start, in a process of its own: no call before this test has started it.

#include <gtest/gtest.h>

#include <vector>

#include "api/last_error.h"
#include "blob/image_blob.h"
#include "core/engine_state.h"
#include "dravex.h"
#include "sim_finger/finger_generator.h"

namespace {

TEST(EngineStart, TheFirstEngineCallFixesTheModeEvenWhenItsArgumentsAreRefused) {
  ASSERT_EQ(veltrum::EngineMode(), -1) << "the engine was started before this test";
  dravex::noteDeviceType(3);  // a device of engine mode 1 was opened most recently
  int level = 0;
  EXPECT_EQ(fv_quality(nullptr, 0, &level, nullptr), 0);  // refused: no quality out
  EXPECT_EQ(veltrum::EngineMode(), 1);

  dravex::noteDeviceType(16);
  const auto blob = dravex::encodeImageBlob(simfinger::FingerImage(1, 0).data());
  int quality = 0;
  EXPECT_EQ(fv_quality(blob.data(), static_cast<int>(blob.size()), &level, &quality), 1);
  EXPECT_EQ(veltrum::EngineMode(), 1) << "never started twice";
  EXPECT_EQ(dravex::engineModeForDevices(), 2);
}

}  // namespace
