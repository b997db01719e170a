// One capture with its quality gate, in both builds, and the state report of a failed step.

#include <gtest/gtest.h>

#include "base/flavour_testing.h"
#include "worker/finger_model.h"
#include "worker_fixtures.h"

namespace {

using fvbrowser::Flavour;
using fvbrowser::ReportStage;
using fvbrowser::testing::ScopedFlavour;
using fvbtest::Prompt;
using fvbtest::Recorded;

class CaptureStep : public fvbtest::WorkerTest {};

TEST_F(CaptureStep, ControlTable) {
  ScopedFlavour control(Flavour::kControl);
  struct Case {
    const char* what;
    std::function<void(fvbtest::Person&, fvbtest::ScriptedOwner&, fvbrowser::FingerBusiness&)> set;
    int expected;
    bool qualityAsked;
  };
  const Case cases[] = {
      {"good frame", [](auto& p, auto&, auto&) { p.place(1); }, 0, true},
      {"quality 2001",
       [](auto& p, auto&, auto&) {
         p.place(1);
         p.verdicts = {2001};
       },
       202, true},
      {"quality 2003",
       [](auto& p, auto&, auto&) {
         p.place(1);
         p.verdicts = {2003};
       },
       203, true},
      {"quality 2002",
       [](auto& p, auto&, auto&) {
         p.place(1);
         p.verdicts = {2002};
       },
       204, true},
      {"quality 3021",
       [](auto& p, auto&, auto&) {
         p.place(1);
         p.verdicts = {3021};
       },
       204, true},
      {"quality call fails",
       [](auto& p, auto&, auto&) {
         p.place(1);
         p.qualityCallFails = true;
       },
       204, true},
      {"frame of 0 bytes",
       [](auto& p, auto&, auto&) {
         p.place(1);
         p.emptyFrame = true;
       },
       207, false},
      {"no frame within 2000 ms", [](auto&, auto&, auto&) {}, 211, false},
      {"stop flag while waiting", [](auto&, auto&, auto& w) { w.setStopFlag(true); }, 209, false},
      {"device closed", [](auto&, auto& o, auto&) { o.deviceOpen = false; }, 206, false},
      {"device closed, answered -1",
       [](auto&, auto& o, auto&) {
         o.deviceOpen = false;
         o.closedCode = -1;
       },
       206, false},
      {"device closed while stopping",
       [](auto&, auto& o, auto& w) {
         o.deviceOpen = false;
         o.closedCode = -1;
         w.setStopFlag(true);
       },
       -1, false},
  };
  for (const Case& c : cases) {
    fvbtest::ScriptedOwner owner;
    fvbtest::Person person;
    person.installDevice();
    fvbrowser::FingerModel worker(owner, 60);
    worker.setStopFlag(false);
    c.set(person, owner, worker);
    const std::uint64_t start = fvplat::ClockMs();
    EXPECT_EQ(worker.getOneFeather(), c.expected) << c.what;
    const auto calls = fakedrx::calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "quality"), c.qualityAsked ? 1 : 0) << c.what;
    if (c.expected == 211) {
      const std::uint64_t waited = fvplat::ClockMs() - start;
      EXPECT_GT(waited, 2000u);
      EXPECT_LE(waited, 2000u + 35u);
    }
    worker.setStopFlag(true);
  }
}

TEST_F(CaptureStep, PluginTable) {
  ScopedFlavour plugin(Flavour::kPlugin);
  struct Case {
    const char* what;
    std::function<void(fvbtest::Person&, fvbtest::ScriptedOwner&, fvbrowser::FingerBusiness&)> set;
    int expected;
    int qualityCalls;
  };
  const Case cases[] = {
      {"good frame", [](auto& p, auto&, auto&) { p.place(1); }, 0, 1},
      {"poor frames are dropped",
       [](auto& p, auto&, auto&) {
         p.place(1);
         p.verdicts = {2001, 2003, 0};
       },
       0, 3},
      {"no template",
       [](auto& p, auto&, auto&) {
         p.place(1);
         p.extractFails = true;
       },
       205, 1},
      {"device closed", [](auto&, auto& o, auto&) { o.deviceOpen = false; }, 206, 0},
      {"stopped",
       [](auto& p, auto&, auto& w) {
         p.place(1);
         w.setStopFlag(true);
       },
       -1, 0},
  };
  for (const Case& c : cases) {
    fvbtest::ScriptedOwner owner;
    fvbtest::Person person;
    person.installDevice();
    fvbrowser::FingerModel worker(owner, 60);
    worker.setStopFlag(false);
    c.set(person, owner, worker);
    EXPECT_EQ(worker.getOneFeather(3000), c.expected) << c.what;
    const auto calls = fakedrx::calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "quality"), c.qualityCalls) << c.what;
    if (c.expected == 0) {
      EXPECT_EQ(calls.back(), "extract(6,0,0)") << "a template of the accepted frame alone";
    }
    worker.setStopFlag(true);
  }
}

TEST_F(CaptureStep, PluginLimitAppliesToEveryFrame) {
  ScopedFlavour plugin(Flavour::kPlugin);
  for (bool poorFrames : {false, true}) {
    fvbtest::ScriptedOwner owner;
    fvbtest::Person person;
    person.installDevice();
    if (poorFrames) {
      person.place(1);
      person.verdicts.assign(1000, 2001);  // frames keep coming, none good enough
    }
    fvbrowser::FingerModel worker(owner, 60);
    worker.setStopFlag(false);
    const std::uint64_t start = fvplat::ClockMs();
    EXPECT_EQ(worker.getOneFeather(3000), 209) << poorFrames;
    const std::uint64_t waited = fvplat::ClockMs() - start;
    EXPECT_GT(waited, 3000u);
    EXPECT_LE(waited, 3000u + 150u);
    EXPECT_TRUE(log_.contains("等待采集指静脉超时"));
    worker.setStopFlag(true);
  }
}

TEST_F(CaptureStep, StateReportsOfFailedStepsInBothBuilds) {
  const struct {
    int code;
    int prompt;
  } cases[] = {{203, 22}, {-4, 22},  {208, 21}, {210, 20}, {-6, 23}, {-7, 24}, {202, -1},
               {204, -1}, {206, -1}, {209, -1}, {211, -1}, {0, -1},  {-1, -1}, {-5, -1}};
  for (Flavour flavour : {Flavour::kControl, Flavour::kPlugin}) {
    ScopedFlavour scoped(flavour);
    for (const auto& c : cases) {
      fvbtest::ScriptedOwner owner;
      fvbrowser::FingerModel worker(owner, 60);
      worker.reportState(c.code);
      const std::string text = c.prompt < 0 ? "" : Prompt(30, c.prompt);
      EXPECT_EQ(owner.reports(), (std::vector<Recorded>{{ReportStage::kStateChange, 30, text}}))
          << c.code;
    }
  }
}

TEST_F(CaptureStep, VoicePromptsOnlyWhenSwitchedOn) {
  fvbtest::ScriptedOwner owner;
  fvbrowser::FingerModel worker(owner, 60);
  worker.playSound("bg.wav");
  fvbrowser::getFingerSettings()->parseSettings(R"({"PlaySound":0})");
  worker.playSound("release_finger.wav");
  EXPECT_EQ(sounds_, (std::vector<std::string>{system_.path().string() + "/bg.wav"}));
}

}  // namespace
