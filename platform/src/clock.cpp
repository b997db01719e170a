#include "fvplatform/clock.h"

#include <chrono>
#include <thread>

namespace fvplat {
namespace {

class SteadyClock final : public Clock {
 public:
  std::uint64_t NowMs() override {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<milliseconds>(steady_clock::now() - start_).count());
  }
  void SleepMs(std::uint32_t ms) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

std::atomic<Clock*> g_clock{nullptr};

}  // namespace

Clock::~Clock() = default;

std::uint64_t FakeClock::NowMs() { return now_.load(std::memory_order_acquire); }

void FakeClock::SleepMs(std::uint32_t ms) {
  now_.fetch_add(ms, std::memory_order_acq_rel);
  // Let other threads run, as a real sleep would, without spending real time.
  std::this_thread::yield();
}

void FakeClock::Advance(std::uint64_t ms) { now_.fetch_add(ms, std::memory_order_acq_rel); }

Clock& SystemClock() {
  // Never destroyed: threads still running while a process exits keep reading it.
  static SteadyClock* clock = new SteadyClock;
  return *clock;
}

Clock& CurrentClock() {
  Clock* clock = g_clock.load(std::memory_order_acquire);
  return clock ? *clock : SystemClock();
}

void SetClock(Clock* clock) { g_clock.store(clock, std::memory_order_release); }

std::uint64_t ClockMs() { return CurrentClock().NowMs(); }

ScopedFakeClock::ScopedFakeClock() : previous_(g_clock.load(std::memory_order_acquire)) {
  SetClock(&clock_);
}

ScopedFakeClock::~ScopedFakeClock() { SetClock(previous_); }

}  // namespace fvplat

DWORD GetTickCount() { return static_cast<DWORD>(fvplat::ClockMs()); }

void Sleep(DWORD ms) { fvplat::CurrentClock().SleepMs(ms); }
