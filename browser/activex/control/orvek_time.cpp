#include "control/orvek_time.h"

#include "log/log_file.h"

COrvekTime::~COrvekTime() { killTimer(); }

void COrvekTime::setTimeoutSeconds(int seconds) {
  m_periodMs = static_cast<UINT>(seconds < 0 ? 0 : seconds) * 1000u;
}

UINT COrvekTime::setTimer(UINT delayMs) {
  if (m_dwTimeId != 0) {
    m_running = false;
    killTimer();
  }
  m_dwTimeId = timeSetEvent(delayMs, 1, &COrvekTime::timerCallback,
                            reinterpret_cast<DWORD_PTR>(this), TIME_PERIODIC);
  m_running = true;
  return m_dwTimeId;
}

void COrvekTime::startTimer() {
  setTimer(m_periodMs);
  m_running = true;
}

void COrvekTime::stopTimer() {
  m_running = false;
  killTimer();
}

void COrvekTime::killTimer() {
  fvbrowser::logf("m_dwTimeId = %d\n", static_cast<int>(m_dwTimeId.load()));
  const UINT id = m_dwTimeId.exchange(0);
  if (id != 0) timeKillEvent(id);
}

void COrvekTime::timerCallback(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
  auto* self = reinterpret_cast<COrvekTime*>(user);
  if (self->m_running) self->onTimer();
}
