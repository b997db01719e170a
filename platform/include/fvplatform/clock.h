#pragma once
// The platform clock: every time limit of the system reads it, so tests can swap in a fake.

#include <atomic>
#include <cstdint>

#include "fvplatform/export.h"
#include "fvplatform/win_types.h"

namespace fvplat {

class FVPLAT_API Clock {
 public:
  virtual ~Clock();
  // Milliseconds since an arbitrary start; never goes backwards.
  virtual std::uint64_t NowMs() = 0;
  virtual void SleepMs(std::uint32_t ms) = 0;
};

// Starts at 0 and moves only when a thread sleeps on it or a test advances it.
class FVPLAT_API FakeClock final : public Clock {
 public:
  std::uint64_t NowMs() override;
  void SleepMs(std::uint32_t ms) override;
  void Advance(std::uint64_t ms);

 private:
  std::atomic<std::uint64_t> now_{0};
};

FVPLAT_API Clock& SystemClock();
FVPLAT_API Clock& CurrentClock();
// Replaces the process-wide clock; nullptr restores the system clock. The clock must outlive its use.
FVPLAT_API void SetClock(Clock* clock);

// Milliseconds since the process started, as the system's `clock()` was on its original platform.
FVPLAT_API std::uint64_t ClockMs();

// Installs a fake clock for the lifetime of the object.
class FVPLAT_API ScopedFakeClock {
 public:
  ScopedFakeClock();
  ~ScopedFakeClock();
  ScopedFakeClock(const ScopedFakeClock&) = delete;
  ScopedFakeClock& operator=(const ScopedFakeClock&) = delete;
  FakeClock& clock() { return clock_; }

 private:
  FakeClock clock_;
  Clock* previous_;
};

}  // namespace fvplat

extern "C" {
FVPLAT_API DWORD GetTickCount();
FVPLAT_API void Sleep(DWORD ms);
}
