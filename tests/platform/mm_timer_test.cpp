#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "fvplatform/clock.h"
#include "fvplatform/mm_timer.h"
#include "scope_exit.h"

namespace {

struct Ticks {
  std::atomic<int> count{0};
  std::atomic<bool> inTick{false};
  std::atomic<bool> hold{false};
  std::atomic<UINT> killFromTick{0};
};

void OnTick(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
  auto* ticks = reinterpret_cast<Ticks*>(user);
  ticks->inTick = true;
  while (ticks->hold) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ++ticks->count;
  if (ticks->killFromTick != 0) timeKillEvent(ticks->killFromTick);
  ticks->inTick = false;
}

// Waits (real time, bounded) for the timer thread to catch up with the fake clock.
bool WaitFor(const std::function<bool()>& done) {
  for (int i = 0; i < 2000 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return done();
}

TEST(MultimediaTimer, PeriodicTicksFollowThePlatformClock) {
  fvplat::ScopedFakeClock fake;
  Ticks ticks;
  const UINT id = timeSetEvent(4000, 1, OnTick, reinterpret_cast<DWORD_PTR>(&ticks), TIME_PERIODIC);
  ASSERT_NE(id, 0u);
  fake.clock().Advance(3999);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(ticks.count, 0);
  fake.clock().Advance(1);
  EXPECT_TRUE(WaitFor([&] { return ticks.count == 1; }));
  fake.clock().Advance(4000);
  EXPECT_TRUE(WaitFor([&] { return ticks.count == 2; }));
  EXPECT_EQ(timeKillEvent(id), TIMERR_NOERROR);
  fake.clock().Advance(8000);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(ticks.count, 2);
  EXPECT_EQ(timeKillEvent(id), MMSYSERR_INVALPARAM);
}

TEST(MultimediaTimer, KillWaitsForARunningTickAndATickMayKillItself) {
  fvplat::ScopedFakeClock fake;
  Ticks ticks, once;
  UINT self = 0;
  ticks.hold = true;
  const UINT id = timeSetEvent(10, 1, OnTick, reinterpret_cast<DWORD_PTR>(&ticks), TIME_PERIODIC);
  // The timers tick on `ticks` and `once`: they end before those, also when the test stops short.
  const fvtest::ScopeExit killTimers([&] {
    ticks.hold = false;
    timeKillEvent(id);
    if (self != 0) timeKillEvent(self);
  });
  fake.clock().Advance(10);
  ASSERT_TRUE(WaitFor([&] { return ticks.inTick.load(); }));
  std::thread release([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ticks.hold = false;
  });
  EXPECT_EQ(timeKillEvent(id), TIMERR_NOERROR);
  EXPECT_FALSE(ticks.inTick);  // the kill returned only after the tick
  EXPECT_EQ(ticks.count, 1);
  release.join();

  self = timeSetEvent(5, 1, OnTick, reinterpret_cast<DWORD_PTR>(&once), TIME_PERIODIC);
  once.killFromTick = self;
  fake.clock().Advance(5);
  ASSERT_TRUE(WaitFor([&] { return once.count == 1 && !once.inTick; }));
  fake.clock().Advance(50);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(once.count, 1);

  EXPECT_EQ(timeSetEvent(0, 1, OnTick, 0, TIME_ONESHOT), 0u);
  EXPECT_EQ(timeSetEvent(5, 1, nullptr, 0, TIME_ONESHOT), 0u);
}

}  // namespace
