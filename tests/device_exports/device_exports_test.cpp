// The device family of exports on the simulated device, through the shared library itself.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <sys/wait.h>

#include "dravex.h"
#include "fvplatform/clock.h"
#include "sim_device/sim_device.h"

namespace {

int TakeError() {
  int code = -1;
  fv_Get_Error(&code);
  return code;
}

// Bounded real-time wait for what a worker thread does on its own.
bool WaitFor(const std::function<bool()>& done) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return true;
}

class DeviceExports : public ::testing::Test {
 protected:
  void SetUp() override {
    fvsim_reset();
    TakeError();
  }
  void TearDown() override {
    for (FvDevHandle handle : opened_) fvdev_close_ex(handle);
    fvsim_reset();
  }
  FvDevHandle Open(int index = 0) {
    FvDevHandle handle = nullptr;
    EXPECT_EQ(fvdev_open_ex(index, nullptr, &handle), 1);
    opened_.push_back(handle);
    return handle;
  }
  void Closed(FvDevHandle handle) { std::erase(opened_, handle); }

  // Grabs into a buffer of `capacity` bytes; the blob's length when a frame was taken, else 0.
  unsigned Grab(FvDevHandle handle, unsigned capacity = 30000) {
    blob_.assign(capacity, 0);
    unsigned length = capacity;
    return fvdev_grab_ex(handle, blob_.data(), &length) == 1 ? length : 0;
  }
  unsigned GrabWhenReady(FvDevHandle handle) {
    unsigned length = 0;
    EXPECT_TRUE(WaitFor([&] { return (length = Grab(handle)) != 0; }));
    return length;
  }
  static int State(FvDevHandle handle) {
    int state = -1;
    return fvdev_get_state_ex(handle, &state) == 1 ? state : -1;
  }

  fvplat::ScopedFakeClock clock_;
  std::vector<FvDevHandle> opened_;
  std::vector<unsigned char> blob_;
};

TEST_F(DeviceExports, ErrorsWithoutADevice) {
  int state = 0;
  unsigned char buffer[16];
  unsigned length = sizeof buffer;
  const struct {
    const char* what;
    std::function<int()> call;
    int result, error;
  } cases[] = {
      {"open past the count", [] { return fvdev_open(0, nullptr); }, 0, 7},
      {"close with nothing open", [] { return fvdev_close(); }, 0, 2},
      {"state", [&] { return fvdev_get_state(&state); }, 0, 2},
      {"led", [] { return fvdev_set_led(0, 1); }, 0, 2},
      {"grab", [&] { return fvdev_grab(buffer, &length); }, 0, 9},
      {"flush level out of range", [] { return fvdev_set_led_bFlush(256, 0); }, 0, 16},
      {"no such led", [] { return fvdev_set_led(2, 1); }, 0, 255},
      {"is open", [] { return isDevOpen(); }, 0, 255},
      {"buzzer", [] { return fvdev_set_buzzer(1, 1); }, 0, 255},
      {"backlight", [] { return fvdev_openBackLight(); }, 0, 255},
      {"calibration", [] { return fvdev_setpara(); }, 0, 255},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.call(), c.result);
    EXPECT_EQ(TakeError(), c.error);
  }
  float threshold = 0;
  EXPECT_EQ(fv_get_default_threshold(&threshold), 1);
  EXPECT_FLOAT_EQ(threshold, 0.63f);
  FvDevInfo info{};
  info.marker0 = 0x7777;
  EXPECT_EQ(fv_Get_Dev_Info(&info), 1);
  EXPECT_EQ(info.marker0, 0x7777) << "nothing written without a device";
}

TEST_F(DeviceExports, OpenRefusesBadIndexesAndNullOutputs) {
  fvsim_plug_type(1);
  FvDevHandle handle = nullptr;
  for (int index : {1, -1}) {
    EXPECT_EQ(fvdev_open_ex(index, nullptr, &handle), 0);
    EXPECT_EQ(TakeError(), 7);
  }
  EXPECT_EQ(fvdev_open_ex(0, nullptr, nullptr), 0);
  EXPECT_EQ(TakeError(), 16);
  EXPECT_EQ(fvdev_get_count(nullptr), 0);
  EXPECT_EQ(TakeError(), 16);
  int count = 0;
  EXPECT_EQ(fvdev_get_count(&count), 1);
  EXPECT_EQ(count, 1);
}

TEST_F(DeviceExports, OpenIntoAHealthyHandleKeepsIt) {
  fvsim_plug_type(1);
  FvDevHandle handle = Open();
  FvDevHandle again = handle;
  EXPECT_EQ(fvdev_open_ex(0, nullptr, &again), 1);
  EXPECT_EQ(again, handle);
  EXPECT_EQ(fvdev_open(0, nullptr), 1) << "the current device is healthy";
  EXPECT_EQ(isDevOpen(), 1);
}

TEST_F(DeviceExports, ClosingAnotherDeviceLeavesNoCurrentDevice) {
  fvsim_plug_type(1);
  fvsim_plug_type(1);
  FvDevHandle a = Open(0);
  FvDevHandle b = Open(1);
  ASSERT_EQ(fvdev_close_ex(a), 1);
  Closed(a);
  int state = 0;
  EXPECT_EQ(fvdev_get_state(&state), 0);
  EXPECT_EQ(TakeError(), 2);
  EXPECT_EQ(isDevOpen_ex(b), 1);
  EXPECT_EQ(State(b), 0);
}

TEST_F(DeviceExports, ClosingTheCurrentDeviceHandsOnToTheFirstOpen) {
  fvsim_plug_type(1);
  fvsim_plug_type(1);
  FvDevHandle a = Open(0);
  Open(1);
  ASSERT_EQ(fvdev_close(), 1);  // b, the current one
  opened_.pop_back();
  EXPECT_EQ(isDevOpen(), 1);
  ASSERT_EQ(fvdev_close(), 1);  // a
  Closed(a);
  EXPECT_EQ(isDevOpen(), 0);
}

TEST_F(DeviceExports, AClosedHandleIsRefusedEverywhere) {
  fvsim_plug_type(1);
  FvDevHandle stale = Open();
  ASSERT_EQ(fvdev_close_ex(stale), 1);
  Closed(stale);
  fvsim_plug_type(1);
  FvDevHandle fresh = Open();  // may reuse the old context's memory
  EXPECT_NE(fresh, stale);
  EXPECT_EQ(fvdev_close_ex(stale), 0);
  EXPECT_EQ(TakeError(), 2);
  EXPECT_EQ(State(stale), -1);
  EXPECT_EQ(TakeError(), 2);
  EXPECT_EQ(isDevOpen_ex(stale), 0);
  EXPECT_EQ(Grab(stale), 0u);
  EXPECT_EQ(TakeError(), 9);
  EXPECT_EQ(fvdev_openBackLight_ex(stale), 0);
  EXPECT_EQ(isDevOpen_ex(fresh), 1);
}

TEST_F(DeviceExports, LedsAndFlushLevels) {
  fvsim_plug_type(1);
  FvDevHandle handle = Open();
  const struct { int led, on; unsigned char level0, level1; } leds[] = {
      {0, 1, 5, 0}, {0, 0, 255, 0}, {1, 1, 0, 5}, {1, 0, 0, 255}};
  for (const auto& c : leds) {
    ASSERT_EQ(fvdev_set_led_ex(handle, c.led, c.on), 1);
    FvSimDeviceState state{};
    fvsim_get_state(0, &state);
    EXPECT_EQ(state.led[0], c.level0);
    EXPECT_EQ(state.led[1], c.level1);
  }
  EXPECT_EQ(fvdev_set_led_bFlush_ex(handle, 7, 200), 1);
  FvSimDeviceState state{};
  fvsim_get_state(0, &state);
  EXPECT_EQ(state.led[0], 7);
  EXPECT_EQ(state.led[1], 200);
  EXPECT_EQ(fvdev_set_led_bFlush_ex(handle, 0, -1), 0);
  EXPECT_EQ(TakeError(), 16);
}

TEST_F(DeviceExports, GrabTakesTheFrameOfAPlacedFinger) {
  fvsim_plug_type(1);
  FvDevHandle handle = Open();
  EXPECT_EQ(Grab(handle), 0u) << "no finger, no frame";
  EXPECT_EQ(TakeError(), 255) << "a grab without a frame leaves no code";

  fvsim_set_finger(0, 1);
  ASSERT_TRUE(WaitFor([&] { return State(handle) == 3; }));
  const unsigned length = GrabWhenReady(handle);
  ASSERT_GT(length, 0u);
  EXPECT_EQ(length % 16, 0u);
  EXPECT_EQ(fv_isEncry(blob_.data(), static_cast<int>(length)), 1);
  int out[4] = {-1, -1, -1, -1};
  ASSERT_EQ(fv_quality_ex(blob_.data(), static_cast<int>(length), out), 1);
  EXPECT_EQ(out[0], 0) << "the device's frames are good enough to enrol";

  fvsim_set_finger(0, 0);
  EXPECT_TRUE(WaitFor([&] { return State(handle) == 0; }));
}

TEST_F(DeviceExports, DeviceNumberAndInformation) {
  fvsim_plug_type(1);
  FvDevHandle handle = Open();
  ASSERT_EQ(fvdev_setno_ex(handle, 4321), 1);
  int number = 0;
  ASSERT_EQ(fvdev_getno_ex(handle, &number), 1);
  EXPECT_EQ(number, 4321);
  EXPECT_EQ(fvdev_getno_ex(handle, nullptr), 0);
  EXPECT_EQ(TakeError(), 16);

  FvDevInfo info{};
  ASSERT_EQ(fv_Get_Dev_Info_ex(handle, &info), 1);
  EXPECT_EQ(info.marker0, 0x0200);
  EXPECT_EQ(info.marker1, 0x2015);
  EXPECT_EQ(info.marker2, 0x0123);
  EXPECT_EQ(info.deviceInfo[18 - 6], 1) << "device type";
  EXPECT_EQ(fv_Get_Dev_Info_ex(nullptr, &info), 1);
}

}  // namespace

namespace {

TEST(LibraryExit, AProcessReturningFromMainWithADeviceOpenEndsCleanly) {
  // An exit that hangs is ended after a minute (status 124) rather than holding up this test.
  FILE* program = popen("timeout -k 5 60 '" FV_EXIT_PROGRAM "'", "r");
  ASSERT_NE(program, nullptr);
  std::string out;
  char chunk[256];
  while (std::fgets(chunk, sizeof chunk, program) != nullptr) out += chunk;
  const int status = pclose(program);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  EXPECT_EQ(WEXITSTATUS(status), 0)
      << "124: still running after its minute; 128 + n: ended by signal n";
  EXPECT_NE(out.find("open 0 FVDEV-device ok!\n"), std::string::npos) << out;
  EXPECT_NE(out.find("lib usb exit.\n"), std::string::npos) << out;
}

}  // namespace
