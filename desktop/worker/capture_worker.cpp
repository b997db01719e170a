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
    turn();
  }
}

void CaptureWorker::turn() {
  const char* failure = nullptr;  // the text a step that throws ends with
  try {
    turnSteps(failure);
  } catch (const std::exception& e) {
    stepFailed(failure, e.what());
  } catch (...) {
    stepFailed(failure, "unknown error");
  }
}

// One bad step must not end the worker, nor leave the window up: it ends as a failed outcome,
// shown with its timers, and the finger must leave before the next capture.
void CaptureWorker::stepFailed(const char* text, const char* what) {
  OutputDebugStringA((std::string("capture worker: ") + what + "\n").c_str());
  if (text == nullptr) return;  // the device check: the next one comes in 2 seconds
  m_fingerMustLift = true;
  try {
    const bool enrolling = text == kEnrolmentFailed;
    if (enrolling || !m_dialog.fields().m_bCollecting) m_dialog.showErrorText(text);
  } catch (const std::exception& e) {
    OutputDebugStringA((std::string("capture worker: ") + e.what() + "\n").c_str());
  }
}

void CaptureWorker::turnSteps(const char*& failure) {
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
  failure = at.m_bCollecting ? kEnrolmentFailed : kSignInFailed;
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
