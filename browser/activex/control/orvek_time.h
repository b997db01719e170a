#pragma once
// The control's periodic multimedia timer: a tick on the timer's own thread while running.

#include <atomic>
#include <cstdint>

#include "fvplatform/mm_timer.h"

class COrvekTime {
 public:
  COrvekTime() = default;
  // Kills the timer. A derived class stops it in its own destructor, before its members go.
  virtual ~COrvekTime();
  COrvekTime(const COrvekTime&) = delete;
  COrvekTime& operator=(const COrvekTime&) = delete;

  // Runs on the timer thread.
  virtual void onTimer() = 0;

  void setTimeoutSeconds(int seconds);
  // Replaces any running timer by a periodic one of `delayMs`; its id.
  UINT setTimer(UINT delayMs);
  void startTimer();
  void stopTimer();
  // Ends the timer; a tick in progress is waited for.
  void killTimer();
  bool isRunning() const { return m_running; }

 private:
  static void timerCallback(UINT id, UINT message, DWORD_PTR user, DWORD_PTR, DWORD_PTR);

  std::atomic<UINT> m_dwTimeId{0};
  std::atomic<bool> m_running{false};  // read by the timer thread
  UINT m_periodMs = 0;
};
