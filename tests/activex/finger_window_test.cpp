// The finger window on the simulated device: the device library's live preview lands in it,
// and a person can look at it as a PNG.

#include <gtest/gtest.h>
#include <json/json.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "device_page_fixture.h"
#include "fvplatform/dialog_png.h"
#include "fvplatform/locale.h"
#include "fvplatform/window.h"
#include "sim_device/sim_device.h"
#include "test_paths.h"

namespace {

using namespace std::chrono_literals;

class FingerWindowPage : public pellacortest::ControlOnSimulatedDevice {
 protected:
  void SetUp() override {
    ControlOnSimulatedDevice::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_EQ(page_.Create("PELLACOR.PellacorCtrl.1"), S_OK);
  }
  void TearDown() override {
    page_.Destroy();
    ControlOnSimulatedDevice::TearDown();
  }
  HWND FingerWindow() {
    HWND window = nullptr;
    page_.RunOnUi([&] {
      const auto controls = fvplat::ChildWindows(page_.PageWindow());
      if (controls.empty()) return;
      const auto children = fvplat::ChildWindows(controls.front());
      if (!children.empty()) window = children.front();
    });
    return window;
  }
  simbrowser::ComContainer page_;
};

TEST_F(FingerWindowPage, ThePreviewOfATakenPictureShowsInTheFingerWindow) {
  EXPECT_EQ(FingerWindow(), nullptr);  // made when the device opens
  ASSERT_EQ(page_.CallInt("ORVEK_OpenVeinDev"), 0);
  HWND finger = FingerWindow();
  ASSERT_NE(finger, nullptr);
  RECT client{};
  GetClientRect(finger, &client);
  EXPECT_EQ(client.right, 320);
  EXPECT_EQ(client.bottom, 240);
  EXPECT_TRUE(IsWindowVisible(finger));

  fvsim_set_finger_seed(0, 777);
  fvsim_set_finger(0, 1);
  const auto until = std::chrono::steady_clock::now() + 10s;
  while (page_.CallInt("ORVEK_GetFingerState") != 3 && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(10ms);
  }
  ASSERT_EQ(page_.CallInt("ORVEK_TakeVeinPicture"), 0);
  const auto events = page_.Events();
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back().id, 26);

  // The preview is the finger: a bright band across the middle over a dark background.
  const auto surface = fvplat::ReadSurface(finger);
  ASSERT_EQ(surface.width, 320);
  auto grey = [&](int x, int y) { return surface.bgra[(static_cast<std::size_t>(y) * 320 + x) * 4 + 1]; };
  // Averaged over a block, since a vein may cross any one point of the band.
  auto mean = [&](int top, int bottom) {
    int sum = 0;
    for (int y = top; y < bottom; ++y) {
      for (int x = 100; x < 220; ++x) sum += grey(x, y);
    }
    return sum / ((bottom - top) * 120);
  };
  EXPECT_GT(mean(100, 140), mean(0, 20) + 40);
  const std::string picture = fvtest::BinaryDir() + "/pellacor-finger-window.png";
  EXPECT_TRUE(fvplat::WriteDialogPng(finger, picture));
  EXPECT_GT(std::filesystem::file_size(picture), 1000u);
  EXPECT_EQ(page_.CallInt("ORVEK_CloseVeinDev"), 1);
}

}  // namespace
