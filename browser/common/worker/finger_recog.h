#pragma once
// The recognition worker: the page hands it up to 16 enrolled templates; it asks for a finger,
// waits for the page's answer, takes one capture and searches the templates with the device
// library's one-to-N search. Without a template list it only captures (offline).

#include <json/json.h>

#include <array>
#include <vector>

#include "worker/finger_business.h"

namespace fvbrowser {

class FingerRecog : public FingerBusiness {
 public:
  static constexpr int kMaxCandidates = 16;

  FingerRecog(WorkerOwner& owner, int timeoutSeconds);
  ~FingerRecog() override;

  int startBusiness(const std::string& request) override;
  // Loads the page's template list; false (with no candidates) when it is unusable.
  bool getFingerInputFeatures(const std::string& text);

  bool isOffline() const { return m_bOffLine; }
  int candidateCount() const { return m_InputFeatureNum; }
  const Bytes& candidate(int slot) const { return m_Candidates[static_cast<std::size_t>(slot)]; }
  // The page's key ("0", "1", ...) of a filled slot.
  int candidateKey(int slot) const { return m_CandidateKeys[static_cast<std::size_t>(slot)]; }
  float bestScore() const { return m_BestScore; }

 private:
  void ThreadProcessFunc();
  int getFingerFeather();

  void onStart(int code, const std::string& text) override;
  void onStateChange(int code, const std::string& text) override;
  void onStop(int code, const std::string& text) override;
  void onStop() override;
  void onStep() override;
  void SaveData();
  // The one-to-N search of the frame in the candidates: the device library's result, the slot
  // of the best candidate (m_InputFeatureNum for none) and its score (negative: refused).
  int searchCandidates(int& slot, float& score);
  int searchSlots(const std::vector<int>& slots, int& slot, float& score);
  // The "type" object of the result: the page's type entry under the matched key.
  Json::Value typeOf(int key) const;

  bool m_bOffLine = false;
  std::string m_UserId;
  float m_BestScore = 0;
  Json::Value m_TypeMap;
  std::array<Bytes, kMaxCandidates> m_Candidates;
  std::array<int, kMaxCandidates> m_CandidateKeys{};
  int m_InputFeatureNum = 0;
  int m_RecogTimeout = 60;
  std::uint64_t m_RunStart = 0;
  Bytes m_Probe;
};

}  // namespace fvbrowser
