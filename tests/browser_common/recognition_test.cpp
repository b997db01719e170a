// The recognition worker on the fake clock: a match, no match and an offline capture in both
// builds, the page's template list, the score boundary, time-outs, stops and declines.

#include <gtest/gtest.h>

#include "base/flavour_testing.h"
#include "fvcommon/base64.h"
#include "fvcommon/json_text.h"
#include "settings/finger_settings.h"
#include "worker/finger_recog.h"
#include "worker_fixtures.h"

namespace {

using fvbrowser::FingerRecog;
using fvbrowser::Flavour;
using fvbrowser::Report;
using fvbrowser::ReportStage;
using fvbrowser::testing::ScopedFlavour;
using fvbtest::Prompt;
using fvbtest::Quoted;
using fvbtest::Recorded;

std::string B64(const fvbrowser::Bytes& bytes) {
  return fvcommon::Base64Encode(bytes.data(), bytes.size());
}

// The request the control builds around a page's template list.
std::string Request(const std::string& features) {
  Json::Value request;
  request["maxTime"] = 60;
  request["userId"] = "1";
  request["features"] = features;
  return fvcommon::writeCompactJson(request);
}

// A list of "num" entries; `keys` names the ones present, each a template of its key's letter.
std::string List(int num, const std::vector<int>& keys, const std::string& type = "") {
  std::string text = "{\"feature\":{";
  for (std::size_t i = 0; i < keys.size(); ++i) {
    text += (i ? "," : "") + ("\"" + std::to_string(keys[i]) + "\":\"" +
                              B64(fvbrowser::Bytes(3352, 'a' + keys[i])) + "\"");
  }
  text += "},\"num\":" + std::to_string(num);
  if (!type.empty()) text += ",\"type\":" + type;
  return text + "}";
}

class Recognition : public fvbtest::WorkerTest {
 protected:
  void confirm(FingerRecog& worker, int answer = 1) {
    owner_.setPage(
        [this, answer](const Report& r, fvbrowser::FingerBusiness& w) {
          if (r.code == 40) {
            person_.place(1);
            w.setStatus(answer);
          }
        },
        &worker);
  }
  void run(FingerRecog& worker, const std::string& request) {
    ASSERT_EQ(worker.startBusiness(request), 0);
    ASSERT_TRUE(fvbtest::RunEnds(worker));
    worker.stopThread();
  }
  // The frame the person gives and the probe template built from it.
  const std::string frame_ = B64(fvbtest::FrameOf(1, 1));
  const std::string probe_ = B64(fvbrowser::Bytes(3352, '1'));
  const std::vector<Recorded> head_ = {
      {ReportStage::kStart, 0, Prompt(0, 32)},
      {ReportStage::kStateChange, 40, Prompt(40, 33)},
      {ReportStage::kStep, 0,
       "{\"RETURNID\":0,\"RETURNVALUE\":\"0\",\"RETURNDESC\":\"" + fvbtest::English(36) + "\"}"}};
};

TEST_F(Recognition, MatchNamesThePagesKeyAndType) {
  FingerRecog worker(owner_, 60);
  confirm(worker);
  person_.indexPosition = 1;  // slot 1 holds the page's key "2"
  person_.indexScore = 0.9f;
  run(worker, Request(List(3, {0, 2}, R"({"0":{"fingertype":2},"2":{"fingertype":5}})")));
  const std::string type = "\"type\":{\"2\":{\"fingertype\":5}}";
  const std::string image =
      "{\"algtype\":3,\"images\":{\"0\":\"" + frame_ + "\"},\"num\":1," + type + "}\n";
  const std::string feature =
      "{\"algtype\":3,\"feature\":{\"0\":\"" + probe_ + "\"},\"num\":1," + type + "}\n";
  std::vector<Recorded> expected = head_;
  expected.push_back(
      {ReportStage::kStop, 0,
       "{\"FEATURE\":" + Quoted(feature) + ",\"IMAGE\":" + Quoted(image) +
           ",\"POS\":\"2\",\"RETURNDESC\":\"Authentication success!\",\"RETURNID\":0,"
           "\"RETURNVALUE\":\"0.9000\"}\n"});
  EXPECT_EQ(owner_.reports(), expected);
  EXPECT_EQ(person_.indexCount, 2);
  EXPECT_EQ(ledCalls(), (std::vector<std::string>{"led(0,1)", "led(1,0)", "led(1,0)"}));
  EXPECT_EQ(sounds_, (std::vector<std::string>{system_.path().string() + "/bg.wav"}));
}

TEST_F(Recognition, ScoreEqualToTheThresholdIsNoMatch) {
  const struct {
    float score;
    int id;
  } cases[] = {{0.51f, 1}, {0.5101f, 0}, {0.2f, 1}};
  for (const auto& c : cases) {
    fvbtest::ScriptedOwner owner;
    FingerRecog worker(owner, 60);
    person_.placements = 0;
    owner.setPage(
        [this](const Report& r, fvbrowser::FingerBusiness& w) {
          if (r.code == 40) {
            person_.place(1);
            w.setStatus(1);
          }
        },
        &worker);
    person_.indexPosition = 0;
    person_.indexScore = c.score;
    ASSERT_EQ(worker.startBusiness(Request(List(1, {0}))), 0);
    EXPECT_TRUE(fvbtest::RunEnds(worker));
    worker.stopThread();
    ASSERT_FALSE(owner.reports().empty());
    EXPECT_EQ(owner.reports().back().code, c.id) << c.score;
  }
}

TEST_F(Recognition, NoMatchAndNoProbeInTheControl) {
  for (bool probeBuilt : {true, false}) {
    fvbtest::ScriptedOwner owner;
    FingerRecog worker(owner, 60);
    person_.placements = 0;
    owner.setPage(
        [this](const Report& r, fvbrowser::FingerBusiness& w) {
          if (r.code == 40) {
            person_.place(1);
            w.setStatus(1);
          }
        },
        &worker);
    person_.extractFails = !probeBuilt;
    person_.indexPosition = 0;
    person_.indexScore = 0.3f;
    ASSERT_EQ(worker.startBusiness(Request(List(1, {0}))), 0);
    EXPECT_TRUE(fvbtest::RunEnds(worker));
    worker.stopThread();
    const std::string image =
        Quoted("{\"algtype\":3,\"images\":{\"0\":\"" + frame_ + "\"},\"num\":1}\n");
    const std::string expected =
        probeBuilt ? "{\"IMAGE\":" + image +
                         ",\"POS\":\"0\",\"RETURNDESC\":\"Authentication failed!\","
                         "\"RETURNID\":1,\"RETURNVALUE\":\"0.3000\"}\n"
                   : "{\"IMAGE\":" + image +
                         ",\"RETURNDESC\":\"Authentication failed!\","
                         "\"RETURNID\":1,\"RETURNVALUE\":\"0.0000\"}\n";
    EXPECT_EQ(owner.reports().back(), (Recorded{ReportStage::kStop, 1, expected})) << probeBuilt;
  }
}

TEST_F(Recognition, PluginPutsTheScoreIntoTheDescription) {
  ScopedFlavour plugin(Flavour::kPlugin);
  const struct {
    float score;
    int position;
    int id;
    bool typed;
    const char* desc;
  } cases[] = {
      {0.9f, 0, 0, true, "Authentication success!Matching score:0.9000"},
      {0.3f, 0, 1, true, "Authentication failed!Matching score:0.3000"},
      {0.3f, -1, 1, false, "Authentication failed!Matching score:0.3000"},
  };
  for (const auto& c : cases) {
    fvbtest::ScriptedOwner owner;
    FingerRecog worker(owner, 60);
    person_.placements = 0;
    owner.setPage(
        [this](const Report& r, fvbrowser::FingerBusiness& w) {
          if (r.code == 40) {
            person_.place(1);
            w.setStatus(1);
          }
        },
        &worker);
    person_.indexPosition = c.position;
    person_.indexScore = c.score;
    ASSERT_EQ(worker.startBusiness(Request(List(1, {0}, R"({"0":{"fingertype":4}})"))), 0);
    EXPECT_TRUE(fvbtest::RunEnds(worker));
    worker.stopThread();
    const std::string type = c.typed ? ",\"type\":{\"0\":{\"fingertype\":4}}" : "";
    const std::string image =
        Quoted("{\"algtype\":3,\"images\":{\"0\":\"" + frame_ + "\"},\"num\":1" + type + "}\n");
    const std::string feature =
        Quoted("{\"algtype\":3,\"feature\":{\"0\":\"" + probe_ + "\"},\"num\":1" + type + "}\n");
    const std::string expected = (c.typed ? "{\"FEATURE\":" + feature + "," : std::string("{")) +
                                 "\"IMAGE\":" + image + ",\"RETURNDESC\":\"" + c.desc +
                                 "\",\"RETURNID\":" + std::to_string(c.id) + "}\n";
    EXPECT_EQ(owner.reports().back(), (Recorded{ReportStage::kStop, c.id, expected})) << c.desc;
  }
}

TEST_F(Recognition, OfflineCaptureInBothBuilds) {
  const struct {
    Flavour flavour;
    std::string features;
  } cases[] = {{Flavour::kControl, ""}, {Flavour::kPlugin, ""}, {Flavour::kPlugin, "{\"num\":0}"}};
  for (const auto& c : cases) {
    ScopedFlavour scoped(c.flavour);
    fvbtest::ScriptedOwner owner;
    FingerRecog worker(owner, 60);
    person_.placements = 0;
    owner.setPage(
        [this](const Report& r, fvbrowser::FingerBusiness& w) {
          if (r.code == 40) {
            person_.place(1);
            w.setStatus(1);
          }
        },
        &worker);
    fakedrx::clearCalls();
    ASSERT_EQ(worker.startBusiness(Request(c.features)), 0);
    EXPECT_TRUE(fvbtest::RunEnds(worker));
    worker.stopThread();
    EXPECT_TRUE(worker.isOffline());
    const std::string image = Quoted("{\"algtype\":3,\"images\":{\"0\":\"" + frame_ +
                                     "\"},\"num\":1,\"type\":{\"fingertype\":1}}\n");
    const std::string feature = Quoted("{\"algtype\":3,\"feature\":{\"0\":\"" + probe_ +
                                       "\"},\"num\":1,\"type\":{\"0\":{\"fingertype\":1}}}\n");
    std::vector<Recorded> expected = head_;
    expected.push_back({ReportStage::kStop, 2,
                        "{\"FEATURE\":" + feature + ",\"IMAGE\":" + image +
                            ",\"RETURNDESC\":\"Certification "
                            "completed!\",\"RETURNID\":2,\"RETURNVALUE\":\"0.0000\"}\n"});
    EXPECT_EQ(owner.reports(), expected) << c.features;
    const auto calls = fakedrx::calls();
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                            [](const std::string& s) { return s.rfind("index", 0) == 0; }),
              0);
  }
}

TEST_F(Recognition, TemplateListRules) {
  fvbtest::ScriptedOwner owner;
  FingerRecog worker(owner, 60);
  struct Case {
    std::string list;
    bool loaded;
    int count;
    std::vector<int> keys;
  };
  const std::string longText = B64(fvbrowser::Bytes(4000, 'z'));
  const std::string tooLong = B64(fvbrowser::Bytes(6705, 'z'));
  const std::string shortText = B64(fvbrowser::Bytes(10, 'q'));
  const Case cases[] = {
      {List(3, {0, 2}), true, 2, {0, 2}},
      {List(17, {0, 1}), false, 0, {}},
      {List(16, {0, 15, 16}), true, 2, {0, 15}},
      {"{\"feature\":{\"0\":\"" + longText + "\",\"1\":\"" + shortText + "\",\"2\":\"" + tooLong +
           "\",\"3\":\"not*base64\",\"4\":7},\"num\":5}",
       true,
       2,
       {0, 1}},
      {"{\"num\":1}", false, 0, {}},
      {"{\"feature\":{},\"num\":\"1\"}", false, 0, {}},
      {"not json", false, 0, {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(worker.getFingerInputFeatures(c.list), c.loaded) << c.list.substr(0, 60);
    ASSERT_EQ(worker.candidateCount(), c.count) << c.list.substr(0, 60);
    for (int i = 0; i < c.count; ++i)
      EXPECT_EQ(worker.candidateKey(i), c.keys[static_cast<std::size_t>(i)]);
  }
  // Long texts are cut to one template, short ones filled with zeros.
  EXPECT_EQ(worker.candidate(0), fvbrowser::Bytes(3352, 'z'));
  fvbrowser::Bytes padded(3352, 0);
  std::fill(padded.begin(), padded.begin() + 10, 'q');
  EXPECT_EQ(worker.candidate(1), padded);
}

TEST_F(Recognition, EveryStartBeginsWithoutTheLastCandidates) {
  FingerRecog worker(owner_, 60);
  confirm(worker);
  run(worker, Request(List(2, {0, 1})));
  EXPECT_EQ(person_.indexCount, 2);
  run(worker, Request("{\"num\":17}"));
  EXPECT_EQ(person_.indexCount, 0) << "a bad list leaves no candidates of the run before";
  run(worker, Request(List(2, {0, 1})));
  EXPECT_EQ(person_.indexCount, 2);
  run(worker, "{\"maxTime\":60,\"userId\":\"1\"}");
  EXPECT_EQ(person_.indexCount, 0) << "nor does a start without a list";
  EXPECT_EQ(owner_.reports().back().code, 1) << "a search over no templates finds none";
}

TEST_F(Recognition, StartRefusesWhatIsNotARequest) {
  FingerRecog worker(owner_, 60);
  EXPECT_EQ(worker.startBusiness("not json"), -1);
  EXPECT_EQ(worker.startBusiness(R"({"userId":{"a":1},"features":""})"), -1);
  EXPECT_FALSE(worker.isRunning());
  EXPECT_TRUE(log_.contains("Finger Model reader.parse fail 1!"));
}

TEST_F(Recognition, DeclineTimeoutStopAndLostDevice) {
  struct Case {
    const char* what;
    std::function<void(FingerRecog&, fvbtest::ScriptedOwner&)> set;
    std::vector<Recorded> tail;
  };
  const Case cases[] = {
      {"declined",
       [](FingerRecog& w, auto& o) {
         o.setPage(
             [](const Report& r, fvbrowser::FingerBusiness& b) {
               if (r.code == 40) b.setStatus(-1);
             },
             &w);
       },
       {{ReportStage::kStateChange, 30, Prompt(30, 20)}, {ReportStage::kStop, -1, Prompt(-1, 38)}}},
      {"no answer",
       [](FingerRecog& w, auto& o) { o.setPage({}, &w); },
       {{ReportStage::kStateChange, 30, ""}, {ReportStage::kStop, -100, Prompt(-100, 3)}}},
      {"stopped",
       [](FingerRecog& w, auto& o) {
         o.setPage(
             [](const Report& r, fvbrowser::FingerBusiness& b) {
               if (r.code == 40) b.requestStop();
             },
             &w);
       },
       {{ReportStage::kStop, -3, Prompt(-3, 38)}, {ReportStage::kStop, -3, Prompt(-3, 38)}}},
      {"device lost",
       [](FingerRecog& w, auto& o) {
         o.deviceOpen = false;
         o.setPage(
             [](const Report& r, fvbrowser::FingerBusiness& b) {
               if (r.code == 40) b.setStatus(1);
             },
             &w);
       },
       {{ReportStage::kStateChange, 30, ""}, {ReportStage::kStop, -13, Prompt(-13, 2)}}},
  };
  for (const Case& c : cases) {
    fvbtest::ScriptedOwner owner;
    FingerRecog worker(owner, 60);
    person_.placements = 0;
    c.set(worker, owner);
    ASSERT_EQ(worker.startBusiness(Request(List(1, {0}))), 0);
    EXPECT_TRUE(fvbtest::RunEnds(worker));
    worker.stopThread();
    std::vector<Recorded> expected(head_.begin(), head_.begin() + 2);
    expected.insert(expected.end(), c.tail.begin(), c.tail.end());
    EXPECT_EQ(owner.reports(), expected) << c.what;
  }
}

TEST_F(Recognition, RecogTimeoutBoundsRetriesOfPoorCaptures) {
  fvbrowser::getFingerSettings()->parseSettings(R"({"RecogTimeout":2})");
  person_.verdicts.assign(100000, 2001);
  FingerRecog worker(owner_, 60);
  confirm(worker);
  const std::uint64_t start = fvplat::ClockMs();
  run(worker, Request(List(1, {0})));
  EXPECT_GT(fvplat::ClockMs() - start, 2000u);
  const auto reports = owner_.reports();
  ASSERT_GE(reports.size(), 4u);
  EXPECT_EQ(reports[reports.size() - 2], (Recorded{ReportStage::kStateChange, 30, ""}));
  EXPECT_EQ(reports.back(), (Recorded{ReportStage::kStop, -2, Prompt(-2, 4)}));
}

// A page that never answers ends the capture step after 60 s of the clock, in both builds
// (the control asks every 70 ms, the plug-in every 500 ms), with "acknowledge timeout".
TEST_F(Recognition, PageThatNeverAnswersEndsAfterSixtySeconds) {
  for (const auto& [flavour, step] : {std::pair{Flavour::kControl, 70u}, {Flavour::kPlugin, 500u}}) {
    ScopedFlavour scoped(flavour);
    FingerRecog worker(owner_, 60);
    std::uint64_t asked = 0;
    owner_.setPage(
        [&asked](const Report& r, fvbrowser::FingerBusiness&) {
          if (r.code == 40) asked = fvplat::ClockMs();
        },
        &worker);
    run(worker, Request(""));
    const auto reports = owner_.reports();
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back(), (Recorded{ReportStage::kStop, -100, Prompt(-100, 3)}));
    // The step's time is taken before the question, so the wait ends within one step past 60 s.
    const std::uint64_t waited = fvplat::ClockMs() - asked;
    EXPECT_GT(waited, 60000u - step);
    EXPECT_LE(waited, 60000u + 2 * step);
    owner_.setPage({}, nullptr);
  }
}

}  // namespace
