// The media environment: this platform's default has no capture devices and no speaker.

#include <gtest/gtest.h>

#include "fvplatform/media_devices.h"

namespace {

TEST(MediaEnvironment, DefaultListsNoDevicesAndHasNoSpeaker) {
  fvplat::MediaEnvironment& media = fvplat::CurrentMediaEnvironment();
  EXPECT_EQ(media.OpenDeviceEnumerator(), S_OK);
  EXPECT_EQ(media.CaptureDeviceCount(fvplat::CaptureCategory::AudioInput), 0);
  EXPECT_EQ(media.CaptureDeviceCount(fvplat::CaptureCategory::VideoInput), 0);
  float level = 0.25f;
  bool muted = true;
  EXPECT_EQ(media.ReadMasterVolume(&level, &muted), fvplat::E_NOTFOUND);
  EXPECT_EQ(level, 0.25f);  // untouched
}

}  // namespace
