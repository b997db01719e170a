#pragma once
// The capture worker: one turn every 50 ms for the process life. A turn checks the device every
// 2 seconds and, with a ready device and a finger newly on the sensor, runs one enrolment or
// sign-in step. Tests call turn() themselves; run() is the thin loop around it.

#include <array>
#include <cstdint>

#include "dialog/torvane_dlg.h"

namespace torvane {

// The texts of a step that fails: the enrolment's and the sign-in's.
inline constexpr const char* kEnrolmentFailed = "此手指注册失败";
inline constexpr const char* kSignInFailed = "签到失败";

class CaptureWorker {
 public:
  explicit CaptureWorker(CTorvaneDlg& dialog);
  void run();
  // One turn; never throws.
  void turn();
  bool fingerMustLift() const { return m_fingerMustLift; }

 private:
  void turnSteps(const char*& failure);
  void stepFailed(const char* text, const char* what);
  void enrolFirstCapture(const DialogFields& at);
  void enrolLaterCapture(const DialogFields& at, int entry);
  void signIn();
  std::array<Bytes, 3> rebuildModel();
  // A refused capture: the prompt in red, the LED off for a second. After another finger the
  // finger must leave first; after poor quality the next turn may capture at once.
  void refuse(const char* prompt, bool mustLift);
  // True while the enrolment that `at` saw is still the one under way.
  bool stillCollecting(const DialogFields& at) const;

  CTorvaneDlg& m_dialog;
  std::int64_t m_lastCheck;  // seconds on the platform clock
  bool m_fingerMustLift = false;
};

}  // namespace torvane
