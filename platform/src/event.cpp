#include "fvplatform/event.h"

#include <chrono>

#include "fvplatform/clock.h"

namespace fvplat {

Event::Event(bool manualReset, bool signalled) : manualReset_(manualReset), signalled_(signalled) {}

void Event::Set() {
  // Notify under the lock: a waiter that sees the event may destroy it as soon as it returns.
  std::lock_guard<std::mutex> lock(mutex_);
  signalled_ = true;
  signal_.notify_all();
}

void Event::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  signalled_ = false;
}

bool Event::IsSet() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return signalled_;
}

bool Event::Wait(std::uint32_t ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  const auto take = [this] {
    if (!signalled_) return false;
    if (!manualReset_) signalled_ = false;
    return true;
  };
  if (ms == kWaitForever) {
    signal_.wait(lock, [this] { return signalled_; });
    return take();
  }
  Clock& clock = CurrentClock();
  if (&clock == &SystemClock()) {
    signal_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return signalled_; });
    return take();
  }
  // Another clock (a fake one in tests) only moves when someone sleeps on it: step through the
  // limit a millisecond at a time so the time-out is reached on that clock.
  const std::uint64_t deadline = clock.NowMs() + ms;
  while (!signalled_ && clock.NowMs() < deadline) {
    lock.unlock();
    clock.SleepMs(1);
    lock.lock();
  }
  return take();
}

}  // namespace fvplat
