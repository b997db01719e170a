#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "bounded_wait.h"
#include "protocol/fvdev_protocol.h"
#include "scope_exit.h"
#include "sim_fixture.h"

namespace {

using namespace dravex;
namespace usb = fvplat::usb;

bool HasPendingRead() {
  for (const FvSimTraceEntry& e : fvtest::Trace()) {
    if (e.code == usb::kIoctlDataIn && e.outcome == FVSIM_PENDING) return true;
  }
  return false;
}

// Runs on the system clock: the read must end by the unplug, not by its time-out.
TEST(DeviceThreads, UnplugCompletesAReadPendingOnAnotherThread) {
  fvsim_reset();
  fvsim_plug_type(1);
  auto device = FVDEVLib_open(0);
  ASSERT_NE(device, nullptr);
  fvsim_inject(0, FVSIM_FAULT_STALL, 1);
  fvsim_trace_clear();
  bool read = true;
  std::thread reader([&] {
    std::vector<std::uint8_t> frame(640 * 480);
    unsigned length = static_cast<unsigned>(frame.size());
    read = FVDEVLib_bulk_read(device.get(), 0, frame.data(), &length);
  });
  // The read ends by the unplug or, when the test stops short, by its own time-out.
  const fvtest::ScopeExit joinReader([&] {
    if (reader.joinable()) reader.join();
  });
  ASSERT_TRUE(fvtest::WaitUntil(HasPendingRead));
  ASSERT_TRUE(fvsim_unplug(0));
  reader.join();
  EXPECT_FALSE(read);
  EXPECT_EQ(fvtest::CountCode(usb::kIoctlAbortPipe), 0) << "finished before its time-out";
  FVDEVLib_close(std::move(device));
  fvsim_reset();
}

class DeviceThreadsOnFakeClock : public fvtest::SimTest {};

TEST_F(DeviceThreadsOnFakeClock, TwoDevicesServeTwoThreadsAtOnce) {
  fvsim_plug_type(2);
  fvsim_plug_type(16);
  fvsim_set_finger(0, 1);
  fvsim_set_finger(1, 1);
  std::vector<int> failures(2, 0);
  auto work = [&](int index) {
    auto device = FVDEVLib_open(index);
    if (device == nullptr) {
      ++failures[static_cast<std::size_t>(index)];
      return;
    }
    FvDevInfo info{};
    std::vector<std::uint8_t> frame(640 * 480);
    for (int turn = 0; turn < 10; ++turn) {
      int state = 0;
      std::uint8_t block[96] = {static_cast<std::uint8_t>(turn)};
      std::uint8_t back[96] = {};
      unsigned length = index == 0 ? 76800 : 640 * 480;
      const bool ok = FVDEVLib_get_info(device.get(), &info) &&
                      FVDEVLib_get_finger(device.get(), &state) && state == 3 &&
                      FVDEVLib_write_mem(device.get(), block, 0, 96) &&
                      FVDEVLib_read_mem(device.get(), back, 0, 96) && back[0] == turn &&
                      (index == 0 ? FVDEVLib_grab(device.get(), frame.data(), &length)
                                  : FVDEVLib_grab16(device.get(), 0, frame.data(), &length));
      failures[static_cast<std::size_t>(index)] += !ok;
    }
    FVDEVLib_close(std::move(device));
  };
  std::thread first(work, 0), second(work, 1);
  first.join();
  second.join();
  EXPECT_EQ(failures[0], 0);
  EXPECT_EQ(failures[1], 0);
}

// A poller that reopens by index whenever a request fails, as the device's worker does, while
// the device is unplugged and plugged in again under it.
TEST_F(DeviceThreadsOnFakeClock, PollerReopensWhileTheDeviceComesAndGoes) {
  fvsim_plug_type(1);
  std::atomic<bool> stop{false};
  std::atomic<int> opened{0};
  std::thread poller([&] {
    std::unique_ptr<FvDevice> device;
    while (!stop) {
      int state = 0;
      if (device != nullptr && FVDEVLib_get_finger(device.get(), &state)) continue;
      FVDEVLib_close(std::move(device));
      device = FVDEVLib_open(0);
      opened += device != nullptr;
      std::this_thread::yield();
    }
  });
  const fvtest::ScopeExit stopPoller([&] {
    stop = true;
    if (poller.joinable()) poller.join();
  });
  auto waitForOpens = [&](int n) {
    return fvtest::WaitUntil([&] { return opened >= n; });
  };
  ASSERT_TRUE(waitForOpens(1));
  for (int round = 1; round <= 5; ++round) {
    fvsim_unplug(0);
    fvsim_plug_type(1);
    // the old handle failed; the new device opened by the same index
    ASSERT_TRUE(waitForOpens(round + 1)) << round;
  }
  stop = true;
  poller.join();
  EXPECT_EQ(opened, 6);
}

}  // namespace
