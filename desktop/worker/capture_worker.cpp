#include "worker/capture_worker.h"

#include <exception>
#include <string>

#include "fvplatform/clock.h"
#include "fvplatform/debug_output.h"

namespace torvane {
namespace {

std::int64_t nowSeconds() { return static_cast<std::int64_t>(fvplat::ClockMs() / 1000); }

}  // namespace

CaptureWorker::CaptureWorker(CTorvaneDlg& dialog) : m_dialog(dialog), m_lastCheck(nowSeconds()) {}

void CaptureWorker::run() {
  while (!m_dialog.fields().m_bStop) {
    Sleep(50);
    try {
      turn();
    } catch (const std::exception& e) {
      // One bad turn must not end the worker: the next turn sees the finger afresh.
      OutputDebugStringA((std::string("capture worker: ") + e.what() + "\n").c_str());
      m_fingerMustLift = false;
    }
  }
}

void CaptureWorker::turn() {
  const std::int64_t now = nowSeconds();
  if (now - m_lastCheck >= 2) {
    m_lastCheck = now;
    m_dialog.pollDevice();
  }
  if (!m_dialog.fields().m_bDeviceReady) return;
  const int state = m_dialog.device().fingerState();
  if (state <= 0) m_fingerMustLift = false;  // the finger has left
  const DialogFields at = m_dialog.fields();
  if (at.m_bBusy || state != 3 || m_fingerMustLift) return;
  if (!at.m_bCollecting) {
    signIn();
  } else if (at.captureCount == 0) {
    enrolFirstCapture(at);
  } else {
    enrolLaterCapture(at, at.captureCount);
  }
}

bool CaptureWorker::stillCollecting(const DialogFields& at) const {
  DialogFields now = m_dialog.fields();
  return now.m_bCollecting && now.m_collectId == at.m_collectId;
}

void CaptureWorker::refuse(const char* prompt, bool mustLift) {
  m_dialog.update([](DialogFields& f) { f.m_promptError = 1; });
  m_dialog.showStatusLines(prompt, "采集中...");
  m_dialog.device().setLed(0, 0);
  SetTimer(m_dialog.window(), kTimerLed, 1000, nullptr);
  m_fingerMustLift = mustLift;
}

}  // namespace torvane
