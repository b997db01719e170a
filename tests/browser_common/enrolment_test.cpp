// The enrolment worker on the fake clock: the whole report sequence of a default run, score
// boundaries of both builds, time-outs, stops, declines and a lost device.

#include <gtest/gtest.h>

#include "base/flavour_testing.h"
#include "fvcommon/base64.h"
#include "settings/finger_settings.h"
#include "worker/finger_model.h"
#include "worker_fixtures.h"

namespace {

using fvbrowser::FingerModel;
using fvbrowser::Flavour;
using fvbrowser::Report;
using fvbrowser::ReportStage;
using fvbrowser::testing::ScopedFlavour;
using fvbtest::English;
using fvbtest::Prompt;
using fvbtest::Quoted;
using fvbtest::Recorded;

constexpr const char* kRequest = "{\"maxTime\":60, \"userId\":\"1\"}";

std::string B64(const fvbrowser::Bytes& bytes) {
  return fvcommon::Base64Encode(bytes.data(), bytes.size());
}

// The finger a prompt of `id` asks for (`first` + c for c from 1 to 6), or 0.
int FingerIn(const std::string& text, int id, int first) {
  for (int c = 1; c <= 6; ++c) {
    if (text == Prompt(id, first + c)) return c;
  }
  return 0;
}

class Enrolment : public fvbtest::WorkerTest {
 protected:
  // The page confirms every finger at once; the person places and lifts as told.
  void confirmEverything(FingerModel& worker) {
    owner_.setPage(
        [this](const Report& r, fvbrowser::FingerBusiness& w) {
          if (r.code == 40) {
            person_.place(FingerIn(r.text, 40, 7));
            w.setStatus(answer_);
          } else if (r.code == 41 && r.text == Prompt(41, 31)) {
            person_.lift();
          } else if (r.code == 41) {
            person_.place(FingerIn(r.text, 41, 13));
          }
        },
        &worker);
  }
  // Starts and waits (in real time, bounded) until the run has ended.
  void run(FingerModel& worker, const char* request = kRequest) {
    ASSERT_EQ(worker.startBusiness(request), 0);
    waitEnd(worker);
  }
  static void waitEnd(fvbrowser::FingerBusiness& worker) {
    ASSERT_TRUE(fvbtest::RunEnds(worker));
    worker.stopThread();
  }
  int matchCalls() const {
    const auto calls = fakedrx::calls();
    return static_cast<int>(std::count(calls.begin(), calls.end(), "match"));
  }
  int answer_ = 1;
};

TEST_F(Enrolment, DefaultRunReportsSoundsAndLedsInOrder) {
  FingerModel worker(owner_, 60);
  confirmEverything(worker);
  run(worker);

  // Worked out from the rules: fingers 2, 3, 5, 6 (four of the order), two captures each; the
  // person's placements count 1, 2 for the first finger, 3, 4 for the next and so on.
  const int fingers[] = {2, 3, 5, 6};
  const char* stems[] = {"lzz", "lwm", "rzz", "rwm"};
  std::vector<Recorded> expected = {{ReportStage::kStart, -2, Prompt(-2, 0)}};
  std::vector<std::string> sounds, leds;
  const std::string sys = system_.path().string() + "/";
  std::string images = "{\"algtype\":3,\"images\":{", types,
              features = "{\"algtype\":3,\"feature\":{", featureTypes;
  for (int k = 0; k < 4; ++k) {
    const int c = fingers[k];
    expected.push_back({ReportStage::kStateChange, 40, Prompt(40, 7 + c)});
    expected.push_back({ReportStage::kStateChange, 41, Prompt(41, 31)});
    expected.push_back({ReportStage::kStateChange, 41, Prompt(41, 13 + c)});
    const std::string second = B64(fvbtest::FrameOf(c, 2 * k + 2));
    expected.push_back({ReportStage::kStep, 0,
                        "{\"IMAGE\":\"" + second + "\",\"RETURNDESC\":\"" + English(24 + c) +
                            "\",\"RETURNID\":0,\"RETURNVALUE\":\"" + std::to_string(c) + "\"}\n"});
    sounds.insert(sounds.end(), {sys + stems[k] + "_bg.wav", sys + "release_finger.wav",
                                 sys + stems[k] + "_ag.wav"});
    leds.insert(leds.end(), {"led(0,1)", "led(1,0)", "led(0,1)"});
    for (int n = 0; n < 2; ++n) {
      const int slot = 2 * k + n;
      images += (slot ? "," : "") +
                ("\"" + std::to_string(slot) + "\":\"" + B64(fvbtest::FrameOf(c, slot + 1)) + "\"");
      types += (slot ? "," : "") + ("\"" + std::to_string(slot) +
                                    "\":{\"fingertype\":" + std::to_string(c) + ",\"len\":0}");
    }
    features += (k ? "," : "") +
                ("\"" + std::to_string(k) + "\":\"" + B64(fvbrowser::Bytes(3352, '0' + c)) + "\"");
    featureTypes += (k ? "," : "") +
                    ("\"" + std::to_string(k) + "\":{\"fingertype\":" + std::to_string(c) + "}");
  }
  images += "},\"num\":8,\"quality\":3,\"type\":{" + types + "}}\n";
  features += "},\"len\":3352,\"num\":4,\"quality\":3,\"type\":{" + featureTypes + "}}\n";
  expected.push_back(
      {ReportStage::kStop, 0,
       "{\"FEATURE\":" + Quoted(features) + ",\"IMAGE\":" + Quoted(images) +
           ",\"RETURNDESC\":\"Complete collection\",\"RETURNID\":0,\"RETURNVALUE\":\"\"}\n"});
  leds.push_back("led(1,0)");

  EXPECT_EQ(owner_.reports(), expected);
  EXPECT_EQ(sounds_, sounds);
  EXPECT_EQ(ledCalls(), leds);
  EXPECT_TRUE(log_.contains("exit finger model."));
}

TEST_F(Enrolment, LaterCaptureScoreBoundariesOfEachBuild) {
  const struct {
    Flavour flavour;
    float score;
    bool same;
  } cases[] = {
      {Flavour::kControl, 0.5f, false},   {Flavour::kControl, 0.5001f, true},
      {Flavour::kControl, 0.951f, false}, {Flavour::kControl, 0.9509f, true},
      {Flavour::kControl, 0.3f, false},   {Flavour::kPlugin, 0.4f, false},
      {Flavour::kPlugin, 0.4001f, true},  {Flavour::kPlugin, 0.99f, true},
  };
  for (const auto& c : cases) {
    ScopedFlavour scoped(c.flavour);
    fvbrowser::getFingerSettings()->parseSettings(R"({"Fingers":"2","FingerNum":1})");
    person_.scores = {c.score};
    person_.nextScore = 0;
    fakedrx::clearCalls();
    FingerModel worker(owner_, 60);
    confirmEverything(worker);
    run(worker);
    EXPECT_EQ(matchCalls(), c.same ? 1 : 2) << c.score;
    const auto reports = owner_.reports();
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back().code, 0) << "enrolled in the end, " << c.score;
  }
}

TEST_F(Enrolment, PageThatNeverAnswersEndsAfterSixtySeconds) {
  FingerModel worker(owner_, 60);
  answer_ = 0;
  confirmEverything(worker);
  const std::uint64_t start = fvplat::ClockMs();
  run(worker);
  EXPECT_GT(fvplat::ClockMs() - start, 60000u);
  EXPECT_LT(fvplat::ClockMs() - start, 60000u + 5000u + 200u);
  const auto reports = owner_.reports();
  ASSERT_EQ(reports.size(), 5u);
  EXPECT_EQ(reports[2], (Recorded{ReportStage::kStateChange, 30, ""}));
  EXPECT_EQ(reports[3], (Recorded{ReportStage::kStop, -100, Prompt(-100, 3)}));
  EXPECT_EQ(reports[4], (Recorded{ReportStage::kStop, -3, Prompt(-3, 1)})) << "no finger enrolled";
}

TEST_F(Enrolment, DeclinedFingersUntilTheOrderRunsOut) {
  fvbrowser::getFingerSettings()->parseSettings(R"({"Fingers":"25"})");
  FingerModel worker(owner_, 60);
  answer_ = -1;
  confirmEverything(worker);
  run(worker);
  EXPECT_EQ(owner_.reports(),
            (std::vector<Recorded>{{ReportStage::kStart, -2, Prompt(-2, 0)},
                                   {ReportStage::kStateChange, 40, Prompt(40, 9)},
                                   {ReportStage::kStateChange, 30, Prompt(30, 20)},
                                   {ReportStage::kStateChange, 40, Prompt(40, 12)},
                                   {ReportStage::kStateChange, 30, Prompt(30, 20)},
                                   {ReportStage::kStop, -3, Prompt(-3, 1)}}));
}

TEST_F(Enrolment, EightDeclinedFingersWithoutAnEndStayInsideTheOrder) {
  fvbrowser::getFingerSettings()->parseSettings(R"({"Fingers":"12345612","FingerNum":8})");
  FingerModel worker(owner_, 60);
  answer_ = -1;
  confirmEverything(worker);
  run(worker);
  const auto reports = owner_.reports();
  ASSERT_EQ(reports.size(), 1u + 8u * 2u + 1u);
  EXPECT_EQ(
      std::count_if(reports.begin(), reports.end(), [](const Recorded& r) { return r.code == 40; }),
      8);
  EXPECT_EQ(reports.back(), (Recorded{ReportStage::kStop, -3, Prompt(-3, 1)}));
}

TEST_F(Enrolment, ModelTimeoutEndsARunOfFailingCaptures) {
  fvbrowser::getFingerSettings()->parseSettings(R"({"ModelTimeout":3})");
  person_.verdicts.assign(100000, 2003);
  FingerModel worker(owner_, 60);
  confirmEverything(worker);
  run(worker);
  const auto reports = owner_.reports();
  ASSERT_GE(reports.size(), 4u);
  EXPECT_EQ(reports[2], (Recorded{ReportStage::kStateChange, 30, Prompt(30, 22)}));
  EXPECT_EQ(reports[reports.size() - 2], (Recorded{ReportStage::kStop, -2, Prompt(-2, 4)}));
  EXPECT_EQ(reports.back(), (Recorded{ReportStage::kStop, -3, Prompt(-3, 1)}));
  // One prompt for the finger, then failures repeated without new questions.
  EXPECT_EQ(
      std::count_if(reports.begin(), reports.end(), [](const Recorded& r) { return r.code == 40; }),
      1);
}

TEST_F(Enrolment, StopWhileWaitingIsReportedTwice) {
  FingerModel worker(owner_, 60);
  owner_.setPage(
      [](const Report& r, fvbrowser::FingerBusiness& w) {
        if (r.code == 40) w.setStopFlag(true);
      },
      &worker);
  run(worker);
  EXPECT_EQ(owner_.reports(), (std::vector<Recorded>{{ReportStage::kStart, -2, Prompt(-2, 0)},
                                                     {ReportStage::kStateChange, 40, Prompt(40, 9)},
                                                     {ReportStage::kStop, -3, Prompt(-3, 1)},
                                                     {ReportStage::kStop, -3, Prompt(-3, 1)}}));
}

TEST_F(Enrolment, ClosedDeviceEndsTheRunInsteadOfLooping) {
  for (Flavour flavour : {Flavour::kControl, Flavour::kPlugin}) {
    ScopedFlavour scoped(flavour);
    for (int closedCode : {206, -1}) {
      fvbtest::ScriptedOwner owner;
      owner.deviceOpen = false;
      owner.closedCode = closedCode;
      FingerModel worker(owner, 60);
      owner.setPage(
          [](const Report& r, fvbrowser::FingerBusiness& w) {
            if (r.code == 40) w.setStatus(1);
          },
          &worker);
      ASSERT_EQ(worker.startBusiness(kRequest), 0);
      waitEnd(worker);
      const int lost = flavour == Flavour::kPlugin ? -13 : -3;
      const int start = flavour == Flavour::kPlugin ? 0 : -2;
      EXPECT_EQ(owner.reports(),
                (std::vector<Recorded>{{ReportStage::kStart, start, Prompt(start, 0)},
                                       {ReportStage::kStateChange, 40, Prompt(40, 9)},
                                       {ReportStage::kStateChange, 30, ""},
                                       {ReportStage::kStop, lost, Prompt(lost, 2)},
                                       {ReportStage::kStop, -3, Prompt(-3, 1)}}))
          << static_cast<int>(flavour) << " " << closedCode;
    }
  }
}

TEST_F(Enrolment, FailedFirstTemplateTakesCaptureOneAgain) {
  fvbrowser::getFingerSettings()->parseSettings(R"({"Fingers":"2","FingerNum":1})");
  person_.extractFailures = 1;
  FingerModel worker(owner_, 60);
  confirmEverything(worker);
  run(worker);
  const auto calls = fakedrx::calls();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "extract(6,0,0)"), 2) << "capture 1 twice";
  const auto reports = owner_.reports();
  EXPECT_EQ(reports.back().code, 0);
  EXPECT_EQ(
      std::count_if(reports.begin(), reports.end(), [](const Recorded& r) { return r.code == 40; }),
      1)
      << "taken again without a new question";
}

TEST_F(Enrolment, PluginFailureOfALaterCaptureEndsTheStepAndAsksAgainOnTheSecond) {
  ScopedFlavour plugin(Flavour::kPlugin);
  fvbrowser::getFingerSettings()->parseSettings(R"({"Fingers":"2","FingerNum":1})");
  person_.scores = {0.1f, 0.1f};  // two failures: the finger is asked for again
  FingerModel worker(owner_, 60);
  confirmEverything(worker);
  run(worker);
  const auto reports = owner_.reports();
  std::vector<Recorded> expected = {
      {ReportStage::kStart, 0, Prompt(0, 0)},
      {ReportStage::kStateChange, 40, Prompt(40, 9)},
      {ReportStage::kStateChange, 41, Prompt(41, 31)},
      {ReportStage::kStateChange, 41, Prompt(41, 15)},
      {ReportStage::kStateChange, 41, Prompt(41, 31)},
      {ReportStage::kStateChange, 30, Prompt(30, 21)},
      // the first failure only counts: the same finger goes on without a question
      {ReportStage::kStateChange, 41, Prompt(41, 31)},
      {ReportStage::kStateChange, 41, Prompt(41, 15)},
      {ReportStage::kStateChange, 41, Prompt(41, 31)},
      {ReportStage::kStateChange, 30, Prompt(30, 21)},
      // the second asks for the finger again, from its first capture
      {ReportStage::kStateChange, 40, Prompt(40, 9)},
      {ReportStage::kStateChange, 41, Prompt(41, 31)},
      {ReportStage::kStateChange, 41, Prompt(41, 15)},
  };
  ASSERT_GE(reports.size(), expected.size() + 2);
  EXPECT_EQ(
      std::vector<Recorded>(reports.begin(), reports.begin() + static_cast<long>(expected.size())),
      expected);
  EXPECT_EQ(reports[expected.size()].stage, ReportStage::kStep);
  EXPECT_EQ(reports.back().code, 0);
  EXPECT_NE(reports.back().text.find("\\\"len\\\":3352},"), std::string::npos)
      << "len inside feature";
}

// A finger still on the sensor when the next finger is asked for is waited for at most 5 s of
// the clock; then the capture goes on with it.
TEST_F(Enrolment, AFingerLeftOnTheSensorIsWaitedForFiveSeconds) {
  fvbrowser::getFingerSettings()->parseSettings(R"({"Fingers":"2","FingerNum":1,"TimesPerFinger":1})");
  FingerModel worker(owner_, 60);
  std::uint64_t asked = 0, stepped = 0;
  person_.place(2);  // and never lifted
  owner_.setPage(
      [&](const Report& r, fvbrowser::FingerBusiness& w) {
        if (r.code == 40) {
          asked = fvplat::ClockMs();
          w.setStatus(1);
        } else if (r.stage == ReportStage::kStep) {
          stepped = fvplat::ClockMs();
        }
      },
      &worker);
  run(worker);
  ASSERT_NE(stepped, 0u);
  EXPECT_GT(stepped - asked, 5000u);
  EXPECT_LT(stepped - asked, 5000u + 300u);
  owner_.setPage({}, nullptr);
}

}  // namespace
