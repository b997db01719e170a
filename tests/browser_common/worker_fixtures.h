#pragma once
// A world for the capture workers: the fake clock, the stand-in device library bound by name,
// a person whose finger follows the page's prompts, and a scripted page that answers inside the
// report sink.

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "browser_fixtures.h"
#include "fake_dravex.h"
#include "fvplatform/clock.h"
#include "worker/finger_business.h"

namespace fvbtest {

// The English prompt text of a number, from the transcribed table.
std::string English(int number);
// {"RETURNID":id,"RETURNVALUE":"","RETURNDESC":"<English prompt>"}
std::string Prompt(int id, int number);
// `text` as a JSON string literal.
std::string Quoted(const std::string& text);

struct Recorded {
  fvbrowser::ReportStage stage;
  int code;
  std::string text;
  bool operator==(const Recorded&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Recorded& r);

// The front-end side of the workers, as the contract describes it for each build.
class ScriptedOwner : public fvbrowser::WorkerOwner {
 public:
  // Called inside the report sink, on the worker thread: the page's script.
  using Page = std::function<void(const fvbrowser::Report&, fvbrowser::FingerBusiness&)>;

  int fetchFrame(fvbrowser::FingerBusiness& worker, int& code, int limitMs, fvbrowser::Bytes& frame,
                 int& quality) override;
  int getFingerState() override;
  void deliverReport(const fvbrowser::Report& report) override;

  void setPage(Page page, fvbrowser::FingerBusiness* worker);
  std::vector<Recorded> reports() const;
  bool deviceOpen = true;
  // What a closed device answers: 206 by the contract, or -1 as a frame source may.
  int closedCode = 206;

 private:
  mutable std::mutex lock_;
  std::vector<Recorded> reports_;
  Page page_;
  fvbrowser::FingerBusiness* worker_ = nullptr;
};

// A person at the device: a finger that is on or off the sensor, and the frames it gives.
struct Person {
  std::mutex lock;
  bool on = false;
  int finger = 0;
  int placements = 0;
  int grabs = 0;  // a new frame every other grab, as a device hands out each frame once
  // Scores of later captures against the first, in order; 0.8 once they run out.
  std::vector<float> scores;
  std::size_t nextScore = 0;
  // Quality verdicts of frames, in order; 0 once they run out.
  std::vector<int> verdicts;
  std::size_t nextVerdict = 0;
  bool extractFails = false;
  bool emptyFrame = false;        // the grab succeeds with 0 bytes
  bool qualityCallFails = false;  // the quality call itself fails
  // The one-to-N search's answer.
  int indexResult = 1;
  int indexPosition = 0;
  float indexScore = 0.9f;
  int indexCount = -1;      // templates it was given
  int extractFailures = 0;  // the next n template builds fail

  void place(int code);
  void lift();
  // Installs the handlers of the stand-in library that follow this person.
  void installDevice();
};

// Frame of a finger's placement: "F", the finger digit, the placement digit and padding.
fvbrowser::Bytes FrameOf(int finger, int placement);

// Waits (in real time, bounded) until the worker's run has ended; whether it did.
bool RunEnds(const fvbrowser::FingerBusiness& worker);

class WorkerTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::vector<std::string> ledCalls() const;

  fvplat::ScopedFakeClock clock_;
  CapturedLog log_;
  TempFolder system_;
  ScriptedOwner owner_;
  Person person_;
  std::vector<std::string> sounds_;
  std::mutex soundLock_;
};

}  // namespace fvbtest
