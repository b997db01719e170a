#include "fvplatform/mm_timer.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "fvplatform/clock.h"

namespace {

struct Timer {
  UINT id = 0;
  UINT delay = 0;
  std::uint64_t due = 0;  // platform clock of the next tick
  bool periodic = false;
  LPTIMECALLBACK callback = nullptr;
  DWORD_PTR user = 0;
  std::mutex lock;
  std::condition_variable wake;
  bool stop = false;
  std::thread thread;
};

struct Timers {
  std::mutex lock;
  std::map<UINT, std::shared_ptr<Timer>> byId;
  UINT nextId = 1;
};

// Never destroyed: a timer nobody killed keeps its thread to the end of the process.
Timers& AllTimers() {
  static Timers* timers = new Timers;
  return *timers;
}

thread_local UINT tTickingTimer = 0;

void Run(const std::shared_ptr<Timer>& timer) {
  tTickingTimer = timer->id;
  std::uint64_t due = timer->due;
  std::unique_lock<std::mutex> guard(timer->lock);
  while (!timer->stop) {
    const std::uint64_t now = fvplat::CurrentClock().NowMs();
    if (now < due) {
      // The platform clock may be a fake one that moves without telling: look again soon.
      const auto wait = std::min<std::uint64_t>(due - now, 10);
      timer->wake.wait_for(guard, std::chrono::milliseconds(wait));
      continue;
    }
    guard.unlock();
    timer->callback(timer->id, 0, timer->user, 0, 0);
    guard.lock();
    if (!timer->periodic) break;
    due += timer->delay;
  }
}

}  // namespace

extern "C" {

UINT timeSetEvent(UINT delayMs, UINT, LPTIMECALLBACK callback, DWORD_PTR user, UINT flags) {
  if (callback == nullptr || delayMs == 0) return 0;
  auto timer = std::make_shared<Timer>();
  timer->delay = delayMs;
  timer->due = fvplat::CurrentClock().NowMs() + delayMs;
  timer->periodic = (flags & TIME_PERIODIC) != 0;
  timer->callback = callback;
  timer->user = user;
  Timers& timers = AllTimers();
  std::lock_guard<std::mutex> guard(timers.lock);
  timer->id = timers.nextId++;
  timer->thread = std::thread(Run, timer);
  timers.byId[timer->id] = timer;
  return timer->id;
}

UINT timeKillEvent(UINT id) {
  std::shared_ptr<Timer> timer;
  {
    Timers& timers = AllTimers();
    std::lock_guard<std::mutex> guard(timers.lock);
    auto found = timers.byId.find(id);
    if (found == timers.byId.end()) return MMSYSERR_INVALPARAM;
    timer = found->second;
    timers.byId.erase(found);
  }
  {
    std::lock_guard<std::mutex> guard(timer->lock);
    timer->stop = true;
  }
  timer->wake.notify_all();
  if (tTickingTimer == id) {
    timer->thread.detach();  // the tick ends by itself when it returns
  } else {
    timer->thread.join();
  }
  return TIMERR_NOERROR;
}

}  // extern "C"
