#include <gtest/gtest.h>

#include <thread>

#include "fvplatform/clock.h"
#include "fvplatform/event.h"
#include "fvplatform/usb_driver.h"
#include "scope_exit.h"

namespace {

TEST(Event, TimedWaitEndsAtItsLimitOnTheFakeClock) {
  fvplat::ScopedFakeClock fake;
  fvplat::Event event;
  EXPECT_FALSE(event.Wait(1000));
  EXPECT_EQ(fvplat::ClockMs(), 1000u);
  event.Set();
  EXPECT_TRUE(event.Wait(1000));
  EXPECT_TRUE(event.IsSet()) << "manual reset stays signalled";
  EXPECT_EQ(fvplat::ClockMs(), 1000u);
}

TEST(Event, AutoResetIsTakenByOneWait) {
  fvplat::ScopedFakeClock fake;
  fvplat::Event event(false, true);
  EXPECT_TRUE(event.Wait(0));
  EXPECT_FALSE(event.Wait(0));
}

TEST(Event, SetOnAnotherThreadEndsAnUnlimitedWait) {
  fvplat::Event event;
  std::thread setter([&] { event.Set(); });
  EXPECT_TRUE(event.Wait(fvplat::kWaitForever));
  setter.join();
}

TEST(Event, SetOnAnotherThreadEndsATimedWaitOnTheFakeClock) {
  fvplat::ScopedFakeClock fake;
  fvplat::UsbOverlapped overlapped;
  std::thread driver([&] { overlapped.Complete(12, true); });
  overlapped.event().Wait(fvplat::kWaitForever);
  driver.join();
  std::uint32_t bytes = 0;
  EXPECT_TRUE(overlapped.Result(&bytes));
  EXPECT_EQ(bytes, 12u);
}

// A backend of the port's own kind, installed directly.
class OneDevice final : public fvplat::UsbBackend {
 public:
  int Count(const fvplat::UsbClassId&) override { return 1; }
  fvplat::UsbHandle Open(const fvplat::UsbClassId&, int index) override {
    return index == 0 ? 7 : fvplat::kInvalidUsbHandle;
  }
  bool Close(fvplat::UsbHandle handle) override { return handle == 7; }
  fvplat::UsbIo Ioctl(fvplat::UsbHandle, std::uint32_t code, const void*, std::uint32_t, void*,
                      std::uint32_t, fvplat::UsbOverlapped& overlapped,
                      std::uint32_t& bytes) override {
    if (code == 1) return fvplat::UsbIo::kFailed;
    if (code == 2) {
      pending = &overlapped;
      return fvplat::UsbIo::kPending;
    }
    bytes = 5;
    return fvplat::UsbIo::kDone;
  }
  fvplat::UsbOverlapped* pending = nullptr;
};

TEST(UsbPort, AnswersAreDoneFailedOrPending) {
  OneDevice backend;
  fvplat::SetUsbBackend(&backend);
  const fvtest::ScopeExit restore([] { fvplat::SetUsbBackend(nullptr); });
  const fvplat::UsbClassId any = {{0, 0, 0, 0}};
  EXPECT_EQ(fvplat::UsbCount(any), 1);
  const fvplat::UsbHandle handle = fvplat::UsbOpen(any, 0);
  ASSERT_EQ(handle, 7);
  std::uint32_t bytes = 99;
  fvplat::UsbOverlapped done, failed, pending;
  EXPECT_EQ(fvplat::UsbIoctl(handle, 0, nullptr, 0, nullptr, 0, done, &bytes), fvplat::UsbIo::kDone);
  EXPECT_EQ(bytes, 5u);
  EXPECT_TRUE(done.Result(&bytes)) << "a finished request has completed its record";
  EXPECT_EQ(fvplat::UsbIoctl(handle, 1, nullptr, 0, nullptr, 0, failed, &bytes), fvplat::UsbIo::kFailed);
  EXPECT_FALSE(failed.Finished());
  EXPECT_EQ(fvplat::UsbIoctl(handle, 2, nullptr, 0, nullptr, 0, pending, &bytes), fvplat::UsbIo::kPending);
  EXPECT_FALSE(pending.Result(&bytes));
  backend.pending->Complete(0, false);
  EXPECT_TRUE(pending.Finished());
  EXPECT_FALSE(pending.Result(&bytes));
  EXPECT_EQ(fvplat::UsbIoctl(fvplat::kInvalidUsbHandle, 0, nullptr, 0, nullptr, 0, failed, &bytes),
            fvplat::UsbIo::kFailed);
  EXPECT_TRUE(fvplat::UsbClose(handle));
}

}  // namespace
