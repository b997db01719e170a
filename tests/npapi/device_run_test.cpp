// Runs through the browser host with the real device library on the simulated device, in real
// time: an enrolment and a recognition of the same finger reported to the page's callback,
// comparisons of a picture, a stop from inside the callback, and a page that goes away during
// a run, after which nothing of the plug-in is left.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <mutex>
#include <thread>

#include "fvcommon/base64.h"
#include "fvplatform/folders.h"
#include "fvplatform/messages.h"
#include "fvplatform/window.h"
#include "bounded_wait.h"
#include "finger_person.h"
#include "np_fixture.h"
#include "sim_device/sim_device.h"

namespace {

using namespace std::chrono_literals;
using simbrowser::PageCall;

constexpr unsigned long long kSeed = 4242;

int ThreadCount() {
  int count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
    ++count;
  }
  return count;
}

// A page on the simulated device and a person who follows its prompts: the finger goes down a
// moment after the page agreed to go on, and up when asked to loosen it.
class DevicePage : public nptest::LoadedPlugin {
 protected:
  void SetUp() override {
    ::unsetenv("FV_MODULE_DIR");
    fvsim_reset();
    ASSERT_GE(fvsim_plug_type(1), 0);
    baselineThreads_ = ThreadCount();
    LoadedPlugin::SetUp();
    page_ = host_->NewPage();
    ASSERT_GE(page_, 0);
    ASSERT_EQ(host_->CallInt(page_, "ORVEK_Init_Vein",
                             {std::string(R"({"Fingers":"2","FingerNum":1,"PlaySound":0,"ModelTimeout":600,"RecogTimeout":600})")}),
              0);
  }
  void TearDown() override {
    host_.reset();
    JoinPlacer();
    fvsim_set_finger(0, 0);
  }
  void JoinPlacer() {
    std::lock_guard<std::mutex> guard(placerLock_);
    if (placer_.joinable()) placer_.join();
  }
  void PlaceSoon() {
    JoinPlacer();
    std::lock_guard<std::mutex> guard(placerLock_);
    placer_ = std::thread([] {
      std::this_thread::sleep_for(200ms);
      fvsim_set_finger_seed(0, kSeed);
      fvsim_set_finger(0, 1);
    });
  }
  // The person's part for a run whose status method is `answer`.
  void FollowPrompts(const char* answer) {
    host_->OnPageCall([this, answer](int page, const PageCall& call) {
      if (call.code == 40) {
        PlaceSoon();
        host_->CallInt(page, answer, {1});
      } else if (call.code == 41 && call.text.find("Loosen") != std::string::npos) {
        fvsim_set_finger(0, 0);
      } else if (call.code == 41) {
        PlaceSoon();
      }
    });
  }
  // The run's last report with a "FEATURE", after waiting for it.
  Json::Value Result(std::chrono::seconds limit) {
    auto isResult = [](const PageCall& c) { return c.text.find("\"FEATURE\"") != std::string::npos; };
    EXPECT_TRUE(host_->WaitForPageCall(page_, isResult, limit));
    for (const PageCall& call : host_->PageCalls(page_)) {
      if (isResult(call)) return nptest::Parse(call.text);
    }
    return Json::Value();
  }
  // A start, tried again while the run before is still on its way out (it refuses with 1).
  int StartEnrolment() {
    const auto until = std::chrono::steady_clock::now() + 10s;
    int started = host_->CallInt(page_, "ORVEK_StartModel_Vein");
    while (started == 1 && std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(20ms);
      started = host_->CallInt(page_, "ORVEK_StartModel_Vein");
    }
    return started;
  }
  std::string TakePicture() {
    host_->ClearPageCalls();
    fvsim_set_finger_seed(0, kSeed);
    fvsim_set_finger(0, 1);
    const auto until = std::chrono::steady_clock::now() + 20s;
    while (std::chrono::steady_clock::now() < until) {
      if (host_->CallInt(page_, "ORVEK_TakeVeinPicture") == 0) break;
      std::this_thread::sleep_for(50ms);
    }
    const auto calls = host_->PageCalls(page_);
    fvsim_set_finger(0, 0);
    if (calls.empty()) return {};
    return nptest::Parse(calls.back().text)["IMAGE"].asString();
  }

  int page_ = -1;
  int baselineThreads_ = 0;
  std::mutex placerLock_;
  std::thread placer_;
};

TEST_F(DevicePage, EnrolThenRecogniseThroughTheCallback) {
  ASSERT_EQ(host_->CallInt(page_, "ORVEK_OpenVeinDev"), 0);
  FollowPrompts("ORVEK_SetVeinModelStatus");
  ASSERT_EQ(host_->CallInt(page_, "ORVEK_StartModel_Vein"), 0);
  const Json::Value enrolled = Result(600s);
  ASSERT_EQ(enrolled["RETURNID"].asInt(), 0);
  EXPECT_EQ(enrolled["RETURNDESC"].asString(), "Complete collection");
  const Json::Value features = nptest::Parse(enrolled["FEATURE"].asString());
  EXPECT_EQ(features["num"].asInt(), 1);
  EXPECT_EQ(features["feature"]["len"].asInt(), 3352);
  const std::string model = features["feature"]["0"].asString();
  ASSERT_EQ(model.size(), 4472u);  // base64 of 3352 bytes
  const auto calls = host_->PageCalls(page_);
  EXPECT_EQ(calls.front().code, 0);
  EXPECT_EQ(nptest::Parse(calls.front().text)["RETURNDESC"].asString(), "Finger vein modeling");
  for (const PageCall& call : calls) EXPECT_TRUE(call.onUiThread) << call.text;
  EXPECT_EQ(host_->CallsOffUiThread(), 0);

  // The same finger against the template the enrolment gave.
  fvsim_set_finger(0, 0);
  host_->ClearPageCalls();
  FollowPrompts("ORVEK_SetVeinRecogStatus");
  Json::Value list;
  list["feature"]["0"] = model;
  list["num"] = 1;
  list["type"]["0"]["fingertype"] = 2;
  ASSERT_EQ(host_->CallInt(page_, "ORVEK_StartRecog_Vein", {Json::FastWriter().write(list)}), 0);
  const Json::Value recognised = Result(600s);
  EXPECT_EQ(recognised["RETURNID"].asInt(), 0);
  EXPECT_EQ(recognised["RETURNDESC"].asString().rfind("Authentication success!Matching score:", 0), 0u)
      << recognised["RETURNDESC"].asString();
  for (const PageCall& call : host_->PageCalls(page_)) EXPECT_TRUE(call.onUiThread);

  // A picture of the finger against the template and against a second picture.
  host_->OnPageCall({});
  const std::string first = TakePicture();
  ASSERT_FALSE(first.empty());
  const std::string second = TakePicture();
  ASSERT_FALSE(second.empty());
  host_->ClearPageCalls();
  EXPECT_EQ(host_->CallInt(page_, "ORVEK_VeinFeatureCompare", {first, model}), 0);
  EXPECT_EQ(host_->CallInt(page_, "ORVEK_VeinImageCompare", {first, second}), 0);
  const auto compared = host_->PageCalls(page_);
  ASSERT_EQ(compared.size(), 2u);
  EXPECT_EQ(nptest::Parse(compared[0].text)["RETURNDESC"].asString().rfind("Mark:0,Matching score:", 0), 0u);
  EXPECT_EQ(nptest::Parse(compared[1].text)["RETURNDESC"].asString().rfind("Matching score:", 0), 0u);
  EXPECT_EQ(host_->CallInt(page_, "ORVEK_CloseVeinDev"), 0);
}

// A page on a fresh simulated device with the plug-in loaded as a Unix browser loads it, on the
// plug-in's own settings, and a person at the device.
class UnixDevicePage : public nptest::LoadedPlugin {
 protected:
  simbrowser::LoadWay Way() const override { return simbrowser::LoadWay::kUnix; }
  void SetUp() override {
    ::unsetenv("FV_MODULE_DIR");
    fvsim_reset();
    ASSERT_GE(fvsim_plug_type(1), 0);
    LoadedPlugin::SetUp();
    if (HasFatalFailure()) return;
    page_ = host_->NewPage();
    ASSERT_GE(page_, 0);
  }
  void TearDown() override {
    host_.reset();
    fvsim_set_finger(0, 0);
  }
  // Plays the page's and the person's part (fvtest::Person::Follow) until a report whose text
  // holds `end`; its text, empty when none came within `limit`. A finger asked for goes down a
  // moment after the page's answer.
  std::string RunUntil(const char* end, bool recognition, std::chrono::seconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    std::size_t seen = 0;
    while (std::chrono::steady_clock::now() < until) {
      person_.PlaceIfDue();
      const auto calls = host_->PageCalls(page_);
      for (; seen < calls.size(); ++seen) {
        const PageCall& call = calls[seen];
        if (call.text.find(end) != std::string::npos) return call.text;
        const int answer = person_.Follow(call.code, nptest::Parse(call.text)["RETURNDESC"].asString(),
                                         recognition);
        if (answer != 0) {
          host_->CallInt(page_, recognition ? "ORVEK_SetVeinRecogStatus" : "ORVEK_SetVeinModelStatus",
                         {answer});
        }
      }
      std::this_thread::sleep_for(5ms);
    }
    return {};
  }
  fvtest::Person person_;
  int page_ = -1;
};

// The whole road on the plug-in's own settings: the page enrols two fingers of the order it
// asks for, then each is recognised against the two templates, and a finger never enrolled is
// refused; every report reaches the page on the browser's thread.
TEST_F(UnixDevicePage, TwoFingersEnrolledOnTheDefaultsAreEachRecognisedAndAStrangerIsRefused) {
  constexpr unsigned long long kFirst = 4242, kSecond = 5151, kStranger = 6060;
  person_.fingers = {kFirst, kSecond};
  ASSERT_EQ(host_->CallInt(page_, "ORVEK_OpenVeinDev"), 0);
  ASSERT_EQ(host_->CallInt(page_, "ORVEK_StartModel_Vein"), 0);
  const std::string enrolled = RunUntil("\"FEATURE\"", false, 100s);
  ASSERT_FALSE(enrolled.empty());
  const Json::Value result = nptest::Parse(enrolled);
  EXPECT_EQ(result["RETURNID"].asInt(), 0) << enrolled;
  EXPECT_EQ(result["RETURNDESC"].asString(), "Complete collection");
  const std::string featureList = result["FEATURE"].asString();
  const Json::Value features = nptest::Parse(featureList);
  ASSERT_EQ(features["num"].asInt(), 2) << featureList;
  EXPECT_EQ(features["feature"]["0"].asString().size(), 4472u);  // base64 of 3352 bytes
  EXPECT_EQ(features["feature"]["1"].asString().size(), 4472u);
  // The defaults' order begins with the left middle and ring fingers.
  EXPECT_EQ(features["type"]["0"]["fingertype"].asInt(), 2);
  EXPECT_EQ(features["type"]["1"]["fingertype"].asInt(), 3);
  person_.ExpectFewPlacements("enrolment of two fingers", 2 * 2);  // two captures a finger

  const struct {
    unsigned long long finger;
    int returnId;
    const char* feature;  // the template the match names
  } recognitions[] = {{kFirst, 0, "0"}, {kSecond, 0, "1"}, {kStranger, 1, nullptr}};
  for (const auto& r : recognitions) {
    person_.seed = r.finger;
    host_->ClearPageCalls();
    ASSERT_EQ(host_->CallInt(page_, "ORVEK_StartRecog_Vein", {featureList}), 0);
    const std::string text = RunUntil("\"IMAGE\"", true, 60s);
    ASSERT_FALSE(text.empty()) << r.finger;
    const Json::Value answer = nptest::Parse(text);
    EXPECT_EQ(answer["RETURNID"].asInt(), r.returnId) << r.finger << ": " << answer["RETURNDESC"];
    if (r.feature != nullptr) {
      const Json::Value matched = nptest::Parse(answer["FEATURE"].asString());
      // The match names the enrolled finger by its place in the list, with its type.
      EXPECT_TRUE(matched["type"].isMember(r.feature)) << r.finger << ": " << matched["type"];
      EXPECT_EQ(matched["type"][r.feature], features["type"][r.feature]) << r.finger;
    }
    person_.ExpectFewPlacements("recognition", 1);
  }
  for (const PageCall& call : host_->PageCalls(page_)) EXPECT_TRUE(call.onUiThread);
  EXPECT_EQ(host_->CallsOffUiThread(), 0);
  EXPECT_EQ(host_->CallInt(page_, "ORVEK_CloseVeinDev"), 0);
}

TEST_F(DevicePage, AStopFromInsideTheCallbackEndsTheEnrolment) {
  ASSERT_EQ(host_->CallInt(page_, "ORVEK_OpenVeinDev"), 0);
  host_->OnPageCall([this](int page, const PageCall& call) {
    if (call.code == 40) {
      EXPECT_EQ(host_->CallInt(page, "ORVEK_StopModel_Vein"), 0);
    }
  });
  ASSERT_EQ(host_->CallInt(page_, "ORVEK_StartModel_Vein"), 0);
  ASSERT_TRUE(host_->WaitForPageCall(page_, [](const PageCall& c) { return c.code == -3; }, 30s));
  // The worker ends by itself, and a new run starts.
  host_->OnPageCall({});
  EXPECT_EQ(StartEnrolment(), 0);
}

TEST_F(DevicePage, DestroyDuringARunReturnsPromptlyAndLeavesNothing) {
  ASSERT_EQ(host_->CallInt(page_, "ORVEK_OpenVeinDev"), 0);
  const int second = host_->NewPage();
  ASSERT_GE(second, 0);
  ASSERT_NE(host_->Scriptable(second), nullptr);  // the newer page's object receives
  ASSERT_EQ(host_->CallInt(page_, "ORVEK_StartModel_Vein"), 0);
  ASSERT_TRUE(host_->WaitForPageCall(second, [](const PageCall& c) { return c.code == 40; }, 30s));
  // The newer page goes first: the run goes on, its reports now reach the first page.
  ASSERT_EQ(host_->DestroyPage(second), NPERR_NO_ERROR);
  EXPECT_EQ(host_->CallInt(page_, "ORVEK_GetVeinModelStatus"), 0);  // still waiting for an answer
  EXPECT_EQ(host_->CallInt(page_, "ORVEK_StopModel_Vein"), 0);
  ASSERT_TRUE(host_->WaitForPageCall(page_, [](const PageCall& c) { return c.code == -3; }, 30s));
  EXPECT_EQ(host_->PageCalls(page_).front().code, -3);  // nothing of the run before the handover

  host_->ClearPageCalls();
  ASSERT_EQ(StartEnrolment(), 0);
  ASSERT_TRUE(host_->WaitForPageCall(page_, [](const PageCall& c) { return c.code == 40; }, 30s));
  fvsim_set_finger(0, 1);
  host_->CallInt(page_, "ORVEK_SetVeinModelStatus", {1});  // capturing now
  const auto start = std::chrono::steady_clock::now();
  auto destroyed = std::async(std::launch::async, [&] { return host_->DestroyPage(page_); });
  if (destroyed.wait_for(10s) != std::future_status::ready) {
    ADD_FAILURE() << "NPP_Destroy did not return";
    std::abort();
  }
  EXPECT_EQ(destroyed.get(), NPERR_NO_ERROR);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
  EXPECT_EQ(host_->Shutdown(), NPERR_NO_ERROR);
  EXPECT_EQ(host_->LiveObjects(), 0);
  EXPECT_EQ(host_->OutstandingMemory(), 0);
  EXPECT_EQ(host_->CallsOffUiThread(), 0);
  // The device was closed and every worker thread has ended.
  EXPECT_EQ(ThreadCount(), baselineThreads_);  // as before the plug-in was loaded
  bool closed = false;
  for (int i = fvsim_trace_count() - 1; i >= 0 && !closed; --i) {
    FvSimTraceEntry entry{};
    if (fvsim_trace_get(i, &entry) != 0 && entry.kind == FVSIM_TRACE_CLOSE) closed = true;
  }
  EXPECT_TRUE(closed);
}

// Texts nested deeper than any of ours, from the page or the settings files, are answered as
// texts that are not JSON, and the plug-in goes on.
TEST_F(DevicePage, DeeplyNestedTextsAreAnsweredAsUnreadable) {
  const std::string deep(1001, '[');
  EXPECT_EQ(host_->CallInt(page_, "ORVEK_Init_Vein", {deep}), 0);
  ASSERT_EQ(host_->CallInt(page_, "ORVEK_OpenVeinDev"), 0);
  // A feature list that cannot be read fails quietly: the run starts with no candidates.
  EXPECT_EQ(host_->CallInt(page_, "ORVEK_StartRecog_Vein", {deep}), 0);
  ASSERT_TRUE(host_->WaitForPageCall(page_, [](const PageCall& c) { return c.code == 40; }, 30s));
  EXPECT_EQ(host_->CallInt(page_, "ORVEK_StopRecog_Vein"), 0);
  EXPECT_EQ(host_->CallInt(page_, "ORVEK_CloseVeinDev"), 0);

  // The service starts anew with each page; a deep settings or language file leaves the
  // built-in texts.
  const std::string before = fvplat::SystemDirectory();
  const std::filesystem::path folder = before;
  struct Case {
    std::string setting;
    std::string language;
  };
  const Case cases[] = {{deep, ""}, {R"({"FileName":"deep.lng","LanguageType":"EN"})", deep}};
  for (const Case& c : cases) {
    ASSERT_EQ(host_->DestroyPage(page_), NPERR_NO_ERROR);
    std::ofstream(folder / "FingerSetting.ini") << c.setting;
    std::ofstream(folder / "deep.lng") << c.language;
    page_ = host_->NewPage();
    ASSERT_GE(page_, 0);
    host_->ClearPageCalls();
    EXPECT_EQ(host_->CallText(page_, "ORVEK_GetVersion"), "V014R031C0001B01");
    EXPECT_EQ(host_->CallInt(page_, "ORVEK_TakeVeinPicture"), -1);  // not open
  }
}

// The enrolment's time limit is looked at after a failed step (here: the person declines the
// only finger). A negative limit has passed at once; one too large for milliseconds in an int
// is held at the largest that fits and does not pass.
TEST_F(DevicePage, TheEnrolmentLimitIsNegativeOrHeldWithinRange) {
  struct Case {
    const char* limit;
    bool timesOut;
  };
  const Case cases[] = {{"-1", true}, {"60", false}, {"3000000", false}};
  ASSERT_EQ(host_->CallInt(page_, "ORVEK_OpenVeinDev"), 0);
  host_->OnPageCall([this](int page, const PageCall& call) {
    if (call.code == 40) host_->CallInt(page, "ORVEK_ContinueDo", {1});
  });
  for (const Case& c : cases) {
    host_->ClearPageCalls();
    ASSERT_EQ(host_->CallInt(page_, "ORVEK_Init_Vein",
                             {std::string(R"({"Fingers":"2","FingerNum":1,"PlaySound":0,"ModelTimeout":)") +
                              c.limit + "}"}),
              0);
    ASSERT_EQ(StartEnrolment(), 0) << c.limit;
    // The run ends with the report that no finger was taken.
    ASSERT_TRUE(host_->WaitForPageCall(page_, [](const PageCall& p) { return p.code == -3; }, 30s));
    std::vector<int> stops;
    for (const PageCall& call : host_->PageCalls(page_)) {
      if (call.code == -2 || call.code == -3) stops.push_back(call.code);
    }
    const std::vector<int> expected = c.timesOut ? std::vector<int>{-2, -3} : std::vector<int>{-3};
    EXPECT_EQ(stops, expected) << c.limit;
  }
}

// A template the engine refuses is left out of the page's list and the others keep their keys;
// a list of refused templates alone matches nothing, whatever the threshold the page asks for.
TEST_F(DevicePage, RefusedTemplatesAreLeftOutAndNeverMatch) {
  ASSERT_EQ(host_->CallInt(page_, "ORVEK_OpenVeinDev"), 0);
  // One placement for the whole test: each placement is a new capture.
  fvsim_set_finger_seed(0, kSeed);
  fvsim_set_finger(0, 1);
  host_->OnPageCall([this](int page, const PageCall& call) {
    if (call.code == 40) host_->CallInt(page, "ORVEK_SetVeinRecogStatus", {1});
  });
  // Without a list the capture's own template comes back.
  ASSERT_EQ(host_->CallInt(page_, "ORVEK_StartRecog_Vein", {std::string("")}), 0);
  const std::string model =
      nptest::Parse(Result(60s)["FEATURE"].asString())["feature"]["0"].asString();
  ASSERT_EQ(model.size(), 4472u);
  const std::vector<std::uint8_t> ones(3352, 0xFF), zeros(3352, 0);
  const std::string refused = fvcommon::Base64Encode(ones.data(), ones.size());
  auto recognise = [&](const Json::Value& list) {
    host_->ClearPageCalls();
    // Tried again while the run before is still on its way out (it refuses with 1).
    const std::string text = Json::FastWriter().write(list);
    EXPECT_TRUE(fvtest::WaitUntil(
        [&] { return host_->CallInt(page_, "ORVEK_StartRecog_Vein", {text}) == 0; }, 10s));
    auto isResult = [](const PageCall& c) { return c.text.find("\"IMAGE\"") != std::string::npos; };
    EXPECT_TRUE(host_->WaitForPageCall(page_, isResult, 60s));
    for (const PageCall& call : host_->PageCalls(page_)) {
      if (isResult(call)) return nptest::Parse(call.text);
    }
    return Json::Value();
  };

  Json::Value list;
  list["feature"]["0"] = refused;
  list["feature"]["1"] = model;
  list["num"] = 2;
  list["type"]["1"]["fingertype"] = 2;
  const Json::Value found = recognise(list);
  EXPECT_EQ(found["RETURNID"].asInt(), 0) << found.toStyledString();
  EXPECT_EQ(found["RETURNDESC"].asString().rfind("Authentication success!Matching score:", 0), 0u);
  EXPECT_EQ(nptest::Parse(found["FEATURE"].asString())["type"]["1"]["fingertype"].asInt(), 2);

  ASSERT_EQ(host_->CallInt(page_, "ORVEK_Init_Vein", {std::string(R"({"Thresh":-0.5})")}), 0);
  Json::Value none;
  none["feature"]["0"] = refused;
  none["feature"]["1"] = fvcommon::Base64Encode(zeros.data(), zeros.size());
  none["num"] = 2;
  const Json::Value missed = recognise(none);
  EXPECT_EQ(missed["RETURNID"].asInt(), 1) << missed.toStyledString();
  EXPECT_EQ(missed["RETURNDESC"].asString(), "Authentication failed!Matching score:0.0000");
  EXPECT_FALSE(missed.isMember("FEATURE"));
  EXPECT_EQ(host_->CallInt(page_, "ORVEK_CloseVeinDev"), 0);
}

// A page's long text is logged as the start of one line with the mark of the cut.
TEST_F(DevicePage, LongPageTextsAreLoggedCut) {
  const std::string settings = "{\"Version\":\"" + std::string(20u << 20, 'v') + "\"}";
  EXPECT_EQ(host_->CallInt(page_, "ORVEK_Init_Vein", {settings}), 0);
  std::istringstream log(folders_.LogText());
  std::size_t longest = 0;
  bool marked = false;
  for (std::string line; std::getline(log, line);) {
    longest = std::max(longest, line.size());
    marked = marked || line.find("vvv ...[20971534 bytes, cut]") != std::string::npos;
  }
  EXPECT_TRUE(marked);
  EXPECT_LE(longest, 4096u + 21u);  // the text and the time before it
}

// A later capture of another finger fails the step; the next one of the right finger finishes
// it from the captures kept, so the result holds the finger's images and template.
TEST_F(DevicePage, AFailedLaterCaptureKeepsTheCapturesBefore) {
  ASSERT_EQ(host_->CallInt(page_, "ORVEK_Init_Vein",
                           {std::string(R"({"Fingers":"2","FingerNum":1,"TimesPerFinger":2})")}),
            0);
  ASSERT_EQ(host_->CallInt(page_, "ORVEK_OpenVeinDev"), 0);
  int putDown = 0;
  host_->OnPageCall([this, &putDown](int page, const PageCall& call) {
    if (call.code == 40) {
      PlaceSoon();
      host_->CallInt(page, "ORVEK_SetVeinModelStatus", {1});
    } else if (call.code == 41 && call.text.find("Loosen") != std::string::npos) {
      fvsim_set_finger(0, 0);
    } else if (call.code == 41 && putDown++ == 0) {
      fvsim_set_finger_seed(0, kSeed + 1);  // another finger
      fvsim_set_finger(0, 1);
    } else if (call.code == 41) {
      PlaceSoon();
    }
  });
  auto guard = EndHostBeforeLocals();
  ASSERT_EQ(host_->CallInt(page_, "ORVEK_StartModel_Vein"), 0);
  const Json::Value result = Result(120s);
  EXPECT_EQ(result["RETURNID"].asInt(), 0);
  EXPECT_EQ(result["RETURNDESC"].asString(), "Complete collection");
  const Json::Value features = nptest::Parse(result["FEATURE"].asString());
  EXPECT_EQ(features["num"].asInt(), 1) << result.toStyledString();
  EXPECT_EQ(features["feature"]["0"].asString().size(), 4472u);
  bool wrongFinger = false, step = false;
  for (const PageCall& call : host_->PageCalls(page_)) {
    const Json::Value report = nptest::Parse(call.text);
    wrongFinger = wrongFinger ||
                  report["RETURNDESC"].asString() ==
                      "Please put down the right finger according to the instruction";
    if (report["RETURNDESC"].asString() ==
        "You have successfully collected the middle finger of the left hand.") {
      step = true;
      EXPECT_FALSE(report["IMAGE"].asString().empty());
    }
  }
  EXPECT_TRUE(wrongFinger);
  EXPECT_TRUE(step);
}

// A device that goes during a later capture ends the run at once, as during the first.
TEST_F(DevicePage, ADeviceLostInALaterCaptureEndsTheRun) {
  ASSERT_EQ(host_->CallInt(page_, "ORVEK_Init_Vein",
                           {std::string(R"({"Fingers":"2","FingerNum":1,"TimesPerFinger":2})")}),
            0);
  ASSERT_EQ(host_->CallInt(page_, "ORVEK_OpenVeinDev"), 0);
  host_->OnPageCall([this](int page, const PageCall& call) {
    if (call.code == 40) {
      PlaceSoon();
      host_->CallInt(page, "ORVEK_SetVeinModelStatus", {1});
    } else if (call.code == 41 && call.text.find("Loosen") != std::string::npos) {
      fvsim_set_finger(0, 0);
      fvsim_unplug(0);
    }
  });
  ASSERT_EQ(host_->CallInt(page_, "ORVEK_StartModel_Vein"), 0);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(host_->WaitForPageCall(page_, [](const PageCall& c) { return c.code == -13; }, 20s));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 20s);
  EXPECT_TRUE(host_->WaitForPageCall(
      page_, [](const PageCall& c) { return c.text.find("Device connection exception") != std::string::npos; },
      1s));
}

// The page destroys its own instance from inside the callback while the run waits for that
// callback: the destroy returns at once, and the run's later results are dropped.
TEST_F(DevicePage, DestroyFromInsideTheCallbackReturnsPromptly) {
  ASSERT_EQ(host_->CallInt(page_, "ORVEK_OpenVeinDev"), 0);
  std::atomic<bool> destroyed{false};
  std::atomic<int> afterwards{0};
  host_->OnPageCall([this, &destroyed, &afterwards](int page, const PageCall& call) {
    if (destroyed.load()) {
      ++afterwards;
    } else if (call.code == 40) {
      EXPECT_EQ(host_->DestroyPage(page), NPERR_NO_ERROR);
      destroyed.store(true);
    }
  });
  auto guard = EndHostBeforeLocals();
  ASSERT_EQ(host_->CallInt(page_, "ORVEK_StartModel_Vein"), 0);
  if (!fvtest::WaitUntil([&] { return destroyed.load(); }, 10s)) {
    ADD_FAILURE() << "NPP_Destroy did not return";
    std::abort();
  }
  EXPECT_EQ(host_->Shutdown(), NPERR_NO_ERROR);  // joins what was left running
  EXPECT_EQ(afterwards.load(), 0);
  EXPECT_EQ(host_->LiveObjects(), 0);
  EXPECT_EQ(ThreadCount(), baselineThreads_);
}

// One window given to two instances runs the plug-in's procedure once, which chains to the
// browser's own; the module's shutdown gives every window it subclassed its own procedure back.
TEST_F(DevicePage, AWindowGivenTwiceChainsOnceAndShutdownGivesItBack) {
  // Pages whose objects the host never took, so nothing of the module is left with the host.
  ASSERT_EQ(host_->DestroyPage(page_), NPERR_NO_ERROR);
  page_ = host_->NewPage();
  ASSERT_GE(page_, 0);
  const int second = host_->NewPage();
  ASSERT_GE(second, 0);
  const HWND first = host_->PluginWindow(page_);
  NPP_t extra{};
  NPWindow window{};
  window.window = first;
  host_->RunOnUi([&] {
    ASSERT_EQ(host_->PluginTable().newp(const_cast<char*>("application/sorvik-plugin"), &extra, 1, 0,
                                        nullptr, nullptr, nullptr),
              NPERR_NO_ERROR);
    // The first page's window, while the second page's is the one set up last.
    EXPECT_EQ(host_->PluginTable().setwindow(&extra, &window), NPERR_NO_ERROR);
  });
  const std::size_t seen = host_->WindowMessages(page_).size();
  host_->RunOnUi([&] { SendMessageA(first, WM_USER + 77, 0, 0); });
  const auto messages = host_->WindowMessages(page_);
  ASSERT_EQ(messages.size(), seen + 1);
  EXPECT_EQ(messages.back(), static_cast<UINT>(WM_USER + 77));
  // The extra instance goes; the first page still holds the window.
  host_->RunOnUi([&] { EXPECT_EQ(host_->PluginTable().destroy(&extra, nullptr), NPERR_NO_ERROR); });
  host_->RunOnUi([&] { SendMessageA(first, WM_USER + 78, 0, 0); });
  EXPECT_EQ(host_->WindowMessages(page_).back(), static_cast<UINT>(WM_USER + 78));

  // Shut down with both pages still there.
  EXPECT_EQ(host_->Shutdown(), NPERR_NO_ERROR);
  for (const int page : {page_, second}) {
    const HWND w = host_->PluginWindow(page);
    LONG_PTR proc = 0;
    host_->RunOnUi([&] {
      proc = GetWindowLongPtrA(w, GWLP_WNDPROC);
      SendMessageA(w, WM_USER + 79, 0, 0);
    });
    EXPECT_EQ(proc, reinterpret_cast<LONG_PTR>(&simbrowser::NpHost::PageWindowProc)) << page;
    EXPECT_EQ(host_->WindowMessages(page).back(), static_cast<UINT>(WM_USER + 79));
  }
}

// Closing the device ends the run on it: its stop reaches the page, and a new run starts.
TEST_F(DevicePage, ClosingTheDeviceEndsTheRun) {
  ASSERT_EQ(host_->CallInt(page_, "ORVEK_OpenVeinDev"), 0);
  ASSERT_EQ(host_->CallInt(page_, "ORVEK_StartModel_Vein"), 0);
  ASSERT_TRUE(host_->WaitForPageCall(page_, [](const PageCall& c) { return c.code == 40; }, 30s));
  EXPECT_EQ(host_->CallInt(page_, "ORVEK_CloseVeinDev"), 0);
  EXPECT_TRUE(host_->WaitForPageCall(page_, [](const PageCall& c) { return c.code == -3; }, 10s));
  EXPECT_EQ(host_->CallInt(page_, "ORVEK_GetVeinModelStatus"), -1);
  EXPECT_EQ(host_->CallInt(page_, "ORVEK_StartModel_Vein"), -1);  // closed
}

}  // namespace
