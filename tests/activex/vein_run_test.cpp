// The vein methods through the page with the real device library on the simulated device:
// opening and closing, an enrolment driven by the page and a person, quick restarts, suspend
// and teardown with a run in progress.

#include <gtest/gtest.h>
#include <json/json.h>

#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "device_page_fixture.h"
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
  // Waits until an event with `id` came, playing the page's and the person's part on the way:
  // the page confirms the first `person_.fingers` fingers it asks for and declines the rest; the
  // person lifts the finger before putting the one asked for down a moment later, lifts it when
  // asked to loosen it and puts it down again when asked.
  bool RunUntil(DISPID id, std::chrono::seconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    std::size_t seen = 0;
    auto placeAt = std::chrono::steady_clock::time_point::max();  // no placement due
    while (std::chrono::steady_clock::now() < until) {
      if (std::chrono::steady_clock::now() >= placeAt) {
        person_.Place();
        placeAt = std::chrono::steady_clock::time_point::max();
      }
      const auto events = page_->Events();
      for (; seen < events.size(); ++seen) {
        const auto& event = events[seen];
        if (event.id == id) return true;
        if (event.id != kModelStateChange && event.id != kRecogStateChange) continue;
        const Json::Value report = Parse(event.text);
        const int code = report["RETURNID"].asInt();
        const std::string prompt = report["RETURNDESC"].asString();
        if (code == 40 && event.id == kRecogStateChange) {
          person_.Lift();
          placeAt = std::chrono::steady_clock::now() + 300ms;
          page_->CallInt("ORVEK_SetVeinRecogStatus", {1});
        } else if (code == 40 && person_.asked < person_.fingers.size()) {
          person_.seed = person_.fingers[person_.asked++];
          person_.Lift();
          placeAt = std::chrono::steady_clock::now() + 300ms;
          page_->CallInt("ORVEK_SetVeinModelStatus", {1});
        } else if (code == 40) {
          person_.Lift();
          page_->CallInt("ORVEK_SetVeinModelStatus", {-1});
        } else if (code == 41 && prompt.find("Loosen") != std::string::npos) {
          person_.Lift();
        } else if (code == 41) {
          person_.Place();
        }
      }
      std::this_thread::sleep_for(5ms);
    }
    return false;
  }
  // Fails when the person had to put a finger down more than three times a capture on average.
  void ExpectFewPlacements(const char* run, int captures) {
    const int placements = person_.placements;
    const int refused = placements - captures;
    std::printf("%s: %d placements for %d captures, %d refused\n", run, placements, captures, refused);
    std::fflush(stdout);
    EXPECT_LE(placements, 3 * captures) << run << ": " << refused << " placements refused";
    person_.placements = 0;
  }
  fvtest::Person person_;
  std::unique_ptr<simbrowser::ComContainer> page_;
};

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
  ExpectFewPlacements("enrolment of two fingers", 2 * 2);  // two captures a finger

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
    ExpectFewPlacements("recognition", 1);
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

}  // namespace
