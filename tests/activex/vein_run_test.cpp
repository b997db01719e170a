// The vein methods through the page with the real device library on the simulated device:
// opening and closing, an enrolment driven by the page and a person, quick restarts, suspend
// and teardown with a run in progress.

#include <gtest/gtest.h>
#include <json/json.h>

#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "device_page_fixture.h"
#include "fvcommon/base64.h"
#include "fvplatform/folders.h"
#include "finger_person.h"
#include "fvplatform/locale.h"
#include "fvplatform/messages.h"
#include "fvplatform/window.h"
#include "sim_device/sim_device.h"

namespace {

using namespace std::chrono_literals;
using V = std::vector<simbrowser::ScriptValue>;

constexpr DISPID kModelStart = 9, kModelStateChange = 10, kModelStep = 11, kModelStop = 12;
constexpr DISPID kRecogStart = 13, kRecogStateChange = 14, kRecogStop = 16;

Json::Value Parse(const std::string& text) {
  Json::Value root;
  Json::CharReaderBuilder builder;
  std::string errors;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  reader->parse(text.data(), text.data() + text.size(), &root, &errors);
  return root;
}

// A page with the control on a fresh simulated device.
class VeinPage : public pellacortest::ControlOnSimulatedDevice {
 protected:
  void SetUp() override {
    ControlOnSimulatedDevice::SetUp();
    if (HasFatalFailure()) return;
    page_ = std::make_unique<simbrowser::ComContainer>();
    ASSERT_EQ(page_->Create("PELLACOR.PellacorCtrl.1"), S_OK);
  }
  void TearDown() override {
    page_.reset();
    ControlOnSimulatedDevice::TearDown();
  }
  HWND ControlWindow() {
    HWND window = nullptr;
    page_->RunOnUi([&] {
      const auto children = fvplat::ChildWindows(page_->PageWindow());
      if (!children.empty()) window = children.front();
    });
    return window;
  }
  // Waits until an event with `id` came, playing the page's and the person's part on the way
  // (fvtest::Person::Follow); a finger asked for goes down a moment after the page's answer.
  bool RunUntil(DISPID id, std::chrono::seconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    std::size_t seen = 0;
    while (std::chrono::steady_clock::now() < until) {
      person_.PlaceIfDue();
      const auto events = page_->Events();
      for (; seen < events.size(); ++seen) {
        const auto& event = events[seen];
        if (event.id == id) return true;
        if (event.id != kModelStateChange && event.id != kRecogStateChange) continue;
        const Json::Value report = Parse(event.text);
        const bool recognition = event.id == kRecogStateChange;
        const int answer = person_.Follow(report["RETURNID"].asInt(),
                                         report["RETURNDESC"].asString(), recognition);
        if (answer != 0) {
          page_->CallInt(recognition ? "ORVEK_SetVeinRecogStatus" : "ORVEK_SetVeinModelStatus",
                         {answer});
        }
      }
      std::this_thread::sleep_for(5ms);
    }
    return false;
  }
  // A recognition of `list` in which the person puts the finger down when asked; the result.
  // The finger stays where it is: each placement is a new capture.
  Json::Value Recognise(const std::string& list) {
    page_->ClearEvents();
    if (page_->CallInt("ORVEK_StartRecog_Vein", {list}) != 0) return {};
    const auto until = std::chrono::steady_clock::now() + 60s;
    std::size_t seen = 0;
    while (std::chrono::steady_clock::now() < until) {
      const auto events = page_->Events();
      for (; seen < events.size(); ++seen) {
        const auto& event = events[seen];
        if (event.id == kRecogStop) return Parse(event.text);
        if (event.id == kRecogStateChange && Parse(event.text)["RETURNID"].asInt() == 40) {
          page_->CallInt("ORVEK_SetVeinRecogStatus", {1});
        }
      }
      std::this_thread::sleep_for(5ms);
    }
    return {};
  }
  // One finger enrolled from one capture, placed when asked for; it stays on. Its template.
  std::string EnrolOneCapture() {
    person_.fingers = {4242};
    person_.asked = 0;
    page_->ClearEvents();
    page_->CallInt("ORVEK_Init_Vein", {std::string(R"({"Fingers":"2","FingerNum":1,"TimesPerFinger":1,"PlaySound":0})")});
    if (page_->CallInt("ORVEK_StartModel_Vein") != 0 || !RunUntil(kModelStop, 60s)) return {};
    const Json::Value result = Parse(page_->Events().back().text);
    return Parse(result["FEATURE"].asString())["feature"]["0"].asString();
  }
  fvtest::Person person_;
  std::unique_ptr<simbrowser::ComContainer> page_;
};

// A template the engine refuses: no enrolment writes all ones.
std::string RefusedTemplate() {
  const std::vector<std::uint8_t> ones(3352, 0xFF);
  return fvcommon::Base64Encode(ones.data(), ones.size());
}

TEST_F(VeinPage, DeviceOpensClosesAndAnswersWhileClosed) {
  EXPECT_EQ(page_->CallInt("ORVEK_CloseVeinDev"), 0);  // not open
  EXPECT_EQ(page_->CallInt("ORVEK_StartModel_Vein"), -1);
  EXPECT_EQ(page_->CallInt("ORVEK_StartRecog_Vein", {std::string("")}), -1);
  EXPECT_EQ(page_->CallInt("ORVEK_GetVeinModelStatus"), 0);  // no worker yet
  EXPECT_EQ(page_->CallInt("ORVEK_SetVeinModelStatus", {5}), 1);
  EXPECT_EQ(page_->CallInt("ORVEK_Init_Vein", {std::string("not json")}), 0);

  ASSERT_EQ(page_->CallInt("ORVEK_OpenVeinDev"), 0);
  EXPECT_EQ(page_->CallInt("ORVEK_SetVeinModelStatus", {5}), 1);
  EXPECT_EQ(page_->CallInt("ORVEK_GetVeinModelStatus"), 5);
  EXPECT_EQ(page_->CallInt("ORVEK_GetFingerState"), 0);
  fvsim_set_finger(0, 1);
  const auto until = std::chrono::steady_clock::now() + 10s;
  while (page_->CallInt("ORVEK_GetFingerState") != 3 && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(10ms);
  }
  EXPECT_EQ(page_->CallInt("ORVEK_GetFingerState"), 3);
  EXPECT_EQ(page_->CallInt("ORVEK_SetLed", {0, 1}), 1);
  // Opening again closes and reopens; the workers stay.
  ASSERT_EQ(page_->CallInt("ORVEK_OpenVeinDev"), 0);
  EXPECT_EQ(page_->CallInt("ORVEK_GetVeinModelStatus"), -1);  // the close stopped its run
  EXPECT_EQ(page_->CallInt("ORVEK_CloseVeinDev"), 1);
  EXPECT_EQ(page_->CallInt("ORVEK_CloseVeinDev"), 0);
  EXPECT_EQ(page_->CallInt("ORVEK_SetLed", {0, 1}), 0);
}

// The whole road on the control's own settings: the page asks for the fingers of its order in
// turn and enrols two of them, then each is recognised against the two templates, and a finger
// never enrolled is refused.
TEST_F(VeinPage, TwoFingersEnrolledOnTheDefaultsAreEachRecognisedAndAStrangerIsRefused) {
  constexpr unsigned long long kFirst = 4242, kSecond = 5151, kStranger = 6060;
  person_.fingers = {kFirst, kSecond};
  ASSERT_EQ(page_->CallInt("ORVEK_OpenVeinDev"), 0);
  ASSERT_EQ(page_->CallInt("ORVEK_StartModel_Vein"), 0);
  ASSERT_TRUE(RunUntil(kModelStop, 100s));
  // Let a second stop report (there is none for a result) arrive if it would.
  page_->RunOnUi([] { fvplat::PumpPending(); });
  const auto events = page_->Events();
  ASSERT_GE(events.size(), 4u);
  EXPECT_EQ(events.front().id, kModelStart);
  EXPECT_EQ(Parse(events.front().text)["RETURNID"].asInt(), -2);
  EXPECT_EQ(Parse(events.front().text)["RETURNDESC"].asString(), "Finger vein modeling");
  EXPECT_EQ(std::count_if(events.begin(), events.end(), [](const auto& e) { return e.id == kModelStep; }), 2);
  const auto& last = events.back();
  ASSERT_EQ(last.id, kModelStop);
  const Json::Value result = Parse(last.text);
  EXPECT_EQ(result["RETURNID"].asInt(), 0) << last.text;
  EXPECT_EQ(result["RETURNDESC"].asString(), "Complete collection");
  ASSERT_TRUE(result.isMember("FEATURE")) << last.text;
  const std::string featureList = result["FEATURE"].asString();
  const Json::Value features = Parse(featureList);
  ASSERT_EQ(features["num"].asInt(), 2);
  EXPECT_EQ(features["feature"]["0"].asString().size(), 4472u);  // base64 of 3352 bytes
  // The defaults' order begins with the left middle and ring fingers.
  EXPECT_EQ(features["type"]["0"]["fingertype"].asInt(), 2);
  EXPECT_EQ(features["type"]["1"]["fingertype"].asInt(), 3);
  EXPECT_TRUE(page_->EventsOnUiThread());
  person_.ExpectFewPlacements("enrolment of two fingers", 2 * 2);  // two captures a finger

  const struct {
    unsigned long long finger;
    int returnId;
    const char* position;
  } recognitions[] = {{kFirst, 0, "0"}, {kSecond, 0, "1"}, {kStranger, 1, nullptr}};
  for (const auto& r : recognitions) {
    person_.seed = r.finger;
    page_->ClearEvents();
    ASSERT_EQ(page_->CallInt("ORVEK_StartRecog_Vein", {featureList}), 0);
    ASSERT_TRUE(RunUntil(kRecogStop, 60s)) << r.finger;
    const Json::Value answer = Parse(page_->Events().back().text);
    EXPECT_EQ(answer["RETURNID"].asInt(), r.returnId) << r.finger << ": " << answer["RETURNVALUE"];
    if (r.position != nullptr) {
      EXPECT_EQ(answer["POS"].asString(), r.position) << r.finger;
    }
    person_.ExpectFewPlacements("recognition", 1);
  }
  EXPECT_EQ(page_->CallInt("ORVEK_CloseVeinDev"), 1);
}

TEST_F(VeinPage, TwentyQuickRecognitionRestarts) {
  ASSERT_EQ(page_->CallInt("ORVEK_OpenVeinDev"), 0);
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(page_->CallInt("ORVEK_StartRecog_Vein", {std::string("")}), 0) << i;
  }
  ASSERT_TRUE(page_->WaitForEvent(kRecogStart, 10s));
  EXPECT_EQ(page_->CallInt("ORVEK_StopRecog_Vein"), 0);
  page_->RunOnUi([] { fvplat::PumpPending(); });
  const auto events = page_->Events();
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back().id, kRecogStop);
  EXPECT_EQ(Parse(events.back().text)["RETURNID"].asInt(), -3);
}

TEST_F(VeinPage, SuspendClosesTheDeviceAndTheQueryIsRefused) {
  ASSERT_EQ(page_->CallInt("ORVEK_OpenVeinDev"), 0);
  ASSERT_EQ(page_->CallInt("ORVEK_StartModel_Vein"), 0);
  LRESULT query = 0;
  page_->RunOnUi([&] {
    query = SendMessageA(ControlWindow(), WM_POWERBROADCAST, 0x0000, 0);
    SendMessageA(ControlWindow(), WM_POWERBROADCAST, 0x0004, 0);
  });
  EXPECT_EQ(query, 0x424D5144);
  EXPECT_EQ(page_->CallInt("ORVEK_CloseVeinDev"), 0);  // already closed by the suspend
  EXPECT_EQ(page_->CallInt("ORVEK_StartModel_Vein"), -1);
}

TEST_F(VeinPage, PageGoesAwayWithARunInProgress) {
  ASSERT_EQ(page_->CallInt("ORVEK_OpenVeinDev"), 0);
  ASSERT_EQ(page_->CallInt("ORVEK_StartModel_Vein"), 0);
  ASSERT_EQ(page_->CallInt("ORVEK_StartRecog_Vein", {std::string("")}), 0);
  ASSERT_TRUE(page_->WaitForEvent(kModelStateChange, 10s));
  page_->Destroy();
  EXPECT_FALSE(page_->HasControl());
  const auto count = page_->Events().size();
  std::this_thread::sleep_for(50ms);
  page_->RunOnUi([] { fvplat::PumpPending(); });
  EXPECT_EQ(page_->Events().size(), count);  // nothing after the page went
  // The device was closed on the way out: a new control opens it again.
  ASSERT_EQ(page_->Create("PELLACOR.PellacorCtrl.1"), S_OK);
  EXPECT_EQ(page_->CallInt("ORVEK_OpenVeinDev"), 0);
}

// Texts nested deeper than any of ours, from the page or the settings files, are answered as
// texts that are not JSON, and the control goes on.
TEST_F(VeinPage, DeeplyNestedPageTextsAreAnsweredAsUnreadable) {
  const std::string deep(1001, '[');
  EXPECT_EQ(page_->CallInt("ORVEK_Init_Vein", {deep}), 0);
  EXPECT_EQ(page_->CallInt("InitParam", {deep}), 1);
  EXPECT_EQ(page_->CallInt("InitParam", {std::string(R"({"Xratio":5})")}), 0);
  EXPECT_EQ(page_->CallInt("ORVEK_VeinFeatureCompare", {deep, std::string("AAAA")}), -1);
  ASSERT_EQ(page_->CallInt("ORVEK_OpenVeinDev"), 0);
  // A feature list that cannot be read fails quietly: the run starts with no candidates.
  EXPECT_EQ(page_->CallInt("ORVEK_StartRecog_Vein", {deep}), 0);
  ASSERT_TRUE(page_->WaitForEvent(kRecogStart, 10s));
  EXPECT_EQ(page_->CallInt("ORVEK_StopRecog_Vein"), 0);
  EXPECT_EQ(page_->CallInt("ORVEK_CloseVeinDev"), 1);
}

TEST_F(VeinPage, DeeplyNestedSettingsFilesLeaveTheBuiltInTexts) {
  const std::string before = fvplat::SystemDirectory();
  const auto folder = documents_ / "system";
  std::filesystem::create_directories(folder);
  fvplat::SetSystemDirectory(folder.string());
  const std::string deep(1001, '[');
  struct Case {
    std::string setting;
    std::string language;
  };
  const Case cases[] = {{deep, ""}, {R"({"FileName":"deep.lng","LanguageType":"EN"})", deep}};
  for (const Case& c : cases) {
    std::ofstream(folder / "FingerSetting.ini") << c.setting;
    std::ofstream(folder / "deep.lng") << c.language;
    page_->Destroy();
    ASSERT_EQ(page_->Create("PELLACOR.PellacorCtrl.1"), S_OK) << c.setting;
    EXPECT_EQ(page_->CallText("GetVersion"), "1.0.2");
  }
  fvplat::SetSystemDirectory(before);
}

// The enrolment's time limit is looked at after a failed step (here: the person declines the
// only finger). A negative limit has passed at once; one too large for milliseconds in an int
// is held at the largest that fits and does not pass.
TEST_F(VeinPage, TheEnrolmentLimitIsNegativeOrHeldWithinRange) {
  struct Case {
    const char* limit;
    bool timesOut;
  };
  const Case cases[] = {{"-1", true}, {"60", false}, {"3000000", false}};
  ASSERT_EQ(page_->CallInt("ORVEK_OpenVeinDev"), 0);
  for (const Case& c : cases) {
    page_->ClearEvents();
    ASSERT_EQ(page_->CallInt("ORVEK_Init_Vein",
                             {std::string(R"({"Fingers":"2","FingerNum":1,"PlaySound":0,"ModelTimeout":)") +
                              c.limit + "}"}),
              0);
    ASSERT_EQ(page_->CallInt("ORVEK_StartModel_Vein"), 0);
    ASSERT_TRUE(page_->WaitForEvent(kModelStateChange, 10s));
    EXPECT_EQ(page_->CallInt("ORVEK_SetVeinModelStatus", {-1}), 1);
    ASSERT_TRUE(page_->WaitForEvent(kModelStop, 10s));
    EXPECT_EQ(page_->CallInt("ORVEK_StopModel_Vein"), 0);  // joins the run
    page_->RunOnUi([] { fvplat::PumpPending(); });
    std::vector<int> stops;
    for (const auto& event : page_->Events()) {
      if (event.id == kModelStop) stops.push_back(Parse(event.text)["RETURNID"].asInt());
    }
    // "timeout" (-2) before the final report, which has no finger to show (-3).
    const std::vector<int> expected = c.timesOut ? std::vector<int>{-2, -3} : std::vector<int>{-3};
    EXPECT_EQ(stops, expected) << c.limit;
  }
}

// The page's list goes to the recognition as the request's feature list: a finger enrolled
// through the control is recognised at its key. A template the engine refuses is left out and
// the others keep their keys; a list of refused templates alone matches nothing, whatever the
// threshold the page asks for.
TEST_F(VeinPage, RefusedTemplatesAreLeftOutAndNeverMatch) {
  ASSERT_EQ(page_->CallInt("ORVEK_OpenVeinDev"), 0);
  const std::string enrolled = EnrolOneCapture();
  ASSERT_EQ(enrolled.size(), 4472u);

  Json::Value list;
  list["feature"]["0"] = RefusedTemplate();
  list["feature"]["1"] = enrolled;
  list["num"] = 2;
  list["type"]["1"]["fingertype"] = 2;
  const Json::Value found = Recognise(Json::FastWriter().write(list));
  EXPECT_EQ(found["RETURNID"].asInt(), 0) << found.toStyledString();
  EXPECT_EQ(found["RETURNDESC"].asString(), "Authentication success!");
  EXPECT_EQ(found["POS"].asString(), "1");
  EXPECT_GT(std::stof(found["RETURNVALUE"].asString()), 0.51f);
  EXPECT_EQ(Parse(found["FEATURE"].asString())["type"]["1"]["fingertype"].asInt(), 2);

  // The threshold is not taken below 0: the refusal's -1 stays below the one before.
  ASSERT_EQ(page_->CallInt("ORVEK_Init_Vein", {std::string(R"({"Thresh":-0.5})")}), 0);
  Json::Value refused;
  refused["feature"]["0"] = RefusedTemplate();
  refused["feature"]["1"] = fvcommon::Base64Encode(std::vector<std::uint8_t>(3352, 0).data(), 3352);
  refused["num"] = 2;
  const Json::Value none = Recognise(Json::FastWriter().write(refused));
  EXPECT_EQ(none["RETURNID"].asInt(), 1) << none.toStyledString();
  EXPECT_EQ(none["RETURNDESC"].asString(), "Authentication failed!");
  EXPECT_EQ(none["RETURNVALUE"].asString(), "0.0000");
  EXPECT_FALSE(none.isMember("FEATURE"));
  EXPECT_EQ(page_->CallInt("ORVEK_CloseVeinDev"), 1);
}

// A page's long text is logged as the start of one line with the mark of the cut.
TEST_F(VeinPage, LongPageTextsAreLoggedCut) {
  // A log line written after an earlier test's control let its log go may have kept that log
  // open in the earlier test's folder; this test's page lets it go and opens its own.
  page_->Destroy();
  ASSERT_EQ(page_->Create("PELLACOR.PellacorCtrl.1"), S_OK);
  const std::string settings = "{\"Version\":\"" + std::string(20u << 20, 'v') + "\"}";
  EXPECT_EQ(page_->CallInt("ORVEK_Init_Vein", {settings}), 0);
  page_.reset();  // the log is closed with the control
  std::size_t longest = 0;
  bool marked = false;
  for (const auto& entry : std::filesystem::directory_iterator(documents_ / "Orvek")) {
    std::ifstream in(entry.path());
    for (std::string line; std::getline(in, line);) {
      longest = std::max(longest, line.size());
      marked = marked || line.find("vvv ...[20971534 bytes, cut]") != std::string::npos;
    }
  }
  EXPECT_TRUE(marked);
  EXPECT_LE(longest, 4096u + 100u);  // the text and the program's name and time before it
}

// A device that goes during a later capture ends the run at once, as during the first.
TEST_F(VeinPage, ADeviceLostInALaterCaptureEndsTheRun) {
  ASSERT_EQ(page_->CallInt("ORVEK_Init_Vein", {std::string(R"({"Fingers":"2","FingerNum":1,"TimesPerFinger":2,"PlaySound":0})")}), 0);
  ASSERT_EQ(page_->CallInt("ORVEK_OpenVeinDev"), 0);
  ASSERT_EQ(page_->CallInt("ORVEK_StartModel_Vein"), 0);
  const auto start = std::chrono::steady_clock::now();
  bool lost = false;
  std::size_t seen = 0;
  while (!lost && std::chrono::steady_clock::now() - start < 30s) {
    const auto events = page_->Events();
    for (; seen < events.size() && !lost; ++seen) {
      const Json::Value report = Parse(events[seen].text);
      if (events[seen].id == kModelStateChange && report["RETURNID"].asInt() == 40) {
        fvsim_set_finger_seed(0, 4242);
        fvsim_set_finger(0, 1);
        page_->CallInt("ORVEK_SetVeinModelStatus", {1});
      } else if (events[seen].id == kModelStateChange && report["RETURNID"].asInt() == 41) {
        fvsim_set_finger(0, 0);
        fvsim_unplug(0);
      } else if (events[seen].id == kModelStop) {
        EXPECT_EQ(report["RETURNDESC"].asString(), "Device connection exception");
        lost = true;
      }
    }
    std::this_thread::sleep_for(5ms);
  }
  EXPECT_TRUE(lost);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 30s);
}

// A liveness prompt reaches the page as "OnVedioStep" (DISPID 25) from the message 1912 that
// carries its heap text, which the window procedure takes over.
TEST_F(VeinPage, ALivenessPromptMessageFiresOnVedioStep) {
  const std::string prompt = R"({"RETURNID":70,"RETURNVALUE":"","RETURNDESC":"Please face the camera"})";
  const HWND window = ControlWindow();
  ASSERT_NE(window, nullptr);
  page_->RunOnUi([&] {
    PostMessageA(window, 1912, 0, reinterpret_cast<LPARAM>(new std::string(prompt)));
    fvplat::PumpPending();
  });
  const auto events = page_->Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].id, 25);
  EXPECT_EQ(events[0].text, prompt);
}

// Closing the device ends the runs on it: the enrolment reports its stop before the close
// answers.
TEST_F(VeinPage, ClosingTheDeviceEndsTheRun) {
  ASSERT_EQ(page_->CallInt("ORVEK_OpenVeinDev"), 0);
  ASSERT_EQ(page_->CallInt("ORVEK_StartModel_Vein"), 0);
  ASSERT_TRUE(page_->WaitForEvent(kModelStateChange, 10s));
  EXPECT_EQ(page_->CallInt("ORVEK_CloseVeinDev"), 1);
  page_->RunOnUi([] { fvplat::PumpPending(); });
  const auto events = page_->Events();
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back().id, kModelStop);
  EXPECT_EQ(Parse(events.back().text)["RETURNID"].asInt(), -3);
  EXPECT_EQ(page_->CallInt("ORVEK_GetVeinModelStatus"), -1);
}

}  // namespace
