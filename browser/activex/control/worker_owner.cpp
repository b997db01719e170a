// What the control gives its workers: frames, the finger state, and delivery of their reports
// to the control's window.

#include "binding/device_library.h"
#include "control/pellacor_ctrl.h"
#include "control/window_messages.h"
#include "fvplatform/clock.h"

int CPellacorCtrl::fetchFrame(fvbrowser::FingerBusiness& worker, int& code, int limitMs,
                              fvbrowser::Bytes& frame, int& quality) {
  code = -1;
  quality = -1;
  frame.clear();
  if (!m_bHasOpenVein) return code;
  fvbrowser::DeviceLibrary& library = fvbrowser::boundDeviceLibrary();
  const std::uint64_t start = fvbrowser::nowMs();
  while (true) {
    if (fvbrowser::nowMs() - start > static_cast<std::uint64_t>(limitMs)) {
      code = 211;
      break;
    }
    if (worker.isStopped()) {
      code = 209;
      break;
    }
    if (library.grab(frame) != 0) {
      code = 0;
      break;
    }
    // A device no longer present gives no frame however long one waits.
    if (library.getCount() < 1) {
      code = 206;
      break;
    }
    Sleep(35);
  }
  // A failed grab leaves its whole buffer behind; only a frame may reach the quality gate.
  if (code != 0) frame.clear();
  return code;
}

int CPellacorCtrl::getFingerState() { return ORVEK_GetFingerState(); }

void CPellacorCtrl::deliverReport(const fvbrowser::Report& report) {
  const UINT message = report.kind == fvbrowser::WorkerKind::kModel ? pellacor::WM_VEIN_MODEL
                                                                    : pellacor::WM_VEIN_RECOG;
  PostText(message, static_cast<WPARAM>(report.stage), report.text);
}

void CPellacorCtrl::postVedioStep(const std::string& text) {
  PostText(pellacor::WM_VEDIO_STEP, 0, text);
}

// The liveness prompts of the recording road: one a tick, steps 1 to 7 and round again.
void CPellacorCtrl::onTimer() {
  // The prompt's voice file goes to a sound member that plays nothing.
  if (const pellacor::LivenessPrompt* prompt = m_liveness.next()) postVedioStep(prompt->text);
}
