#pragma once
// The enrolment worker: for each finger of the configured order it asks the person for that
// finger, waits for the page's answer, takes a first capture and then as many further captures
// of the same finger as the settings ask, each kept only when it matches the first. A step
// report follows each finger, and a result with every image and template ends the run.

#include <array>

#include "settings/finger_settings.h"
#include "worker/finger_business.h"

namespace fvbrowser {

class FingerModel : public FingerBusiness {
 public:
  FingerModel(WorkerOwner& owner, int timeoutSeconds);
  ~FingerModel() override;

  int startBusiness(const std::string& request) override;

 private:
  void ThreadProcessFunc();
  int getFingerFeather();
  int firstCapture(int finger, std::uint64_t t0);
  int laterCaptures(int finger, std::uint64_t t0);
  // The finger code at `index` of the order; 0 (the end) past it.
  int fingerAt(int index) const;

  void onStart(int code, const std::string& text) override;
  void onStateChange(int code, const std::string& text) override;
  void onStop(int code, const std::string& text) override;
  void onStop() override;
  void onStep() override;
  void SaveData();

  Bytes m_MergedModel;
  int m_FingerType = 0;
  int m_LastFinger = -1;
  int m_Index = 1;
  int m_ErrorTime = 0;
  int m_CancelTime = 0;
  FingerOrder m_Fingers{};
  int m_FingerNum = 0;
  int m_NumTmptPerFinger = 2;
  int m_ModelTimeout = 60;
  bool m_MergedBuilt = false;
  Bytes m_FirstModel;
  std::array<Bytes, 3> m_Captures;
};

// Voice-file stem of a finger code 1 to 6 ("lsz" ...), empty for any other.
std::string fingerSoundStem(int finger);

}  // namespace fvbrowser
