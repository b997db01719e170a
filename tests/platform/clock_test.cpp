#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "fvplatform/clock.h"

namespace {

TEST(FakeClock, MovesOnlyOnSleepOrAdvance) {
  fvplat::ScopedFakeClock fake;
  EXPECT_EQ(fvplat::ClockMs(), 0u);
  Sleep(60000);  // a one-minute limit passes at once
  EXPECT_EQ(fvplat::ClockMs(), 60000u);
  EXPECT_EQ(GetTickCount(), 60000u);
  fake.clock().Advance(5);
  EXPECT_EQ(fvplat::ClockMs(), 60005u);
}

TEST(FakeClock, ScopeRestoresPreviousClock) {
  {
    fvplat::ScopedFakeClock outer;
    outer.clock().Advance(100);
    {
      fvplat::ScopedFakeClock inner;
      EXPECT_EQ(fvplat::ClockMs(), 0u);
    }
    EXPECT_EQ(fvplat::ClockMs(), 100u);
  }
  EXPECT_EQ(&fvplat::CurrentClock(), &fvplat::SystemClock());
}

TEST(FakeClock, SleepsFromManyThreadsAllCount) {
  fvplat::ScopedFakeClock fake;
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([] {
      for (int i = 0; i < 100; ++i) Sleep(1);
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(fvplat::ClockMs(), 800u);
}

TEST(SystemClock, NeverGoesBackwards) {
  const auto first = fvplat::SystemClock().NowMs();
  fvplat::SystemClock().SleepMs(2);
  EXPECT_GE(fvplat::SystemClock().NowMs(), first + 1);
}

}  // namespace
