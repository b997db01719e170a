// The service behind the script methods with the stand-in device library: the device, the
// picture and compare methods with their page reports, runs started and stopped by the page,
// the page callback's own rules, and several instances sharing the service.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <thread>

#include "fake_dravex.h"
#include "fvcommon/base64.h"
#include "fvplatform/clock.h"
#include "fvplatform/messages.h"
#include "fvplatform/module.h"
#include "fvplatform/window.h"
#include "np_fixture.h"

namespace {

using namespace std::chrono_literals;
using simbrowser::PageCall;
using simbrowser::PageCallback;
using V = std::vector<simbrowser::NpValue>;

class Service : public nptest::LoadedPlugin {
 protected:
  void SetUp() override {
    ::setenv(fvplat::kModuleDirEnv, FAKE_DIR, 1);
    fakedrx::reset();
    LoadedPlugin::SetUp();
  }
  void TearDown() override {
    host_.reset();
    fakedrx::reset();
  }
  int OpenPage(PageCallback callback = PageCallback::kFunction) {
    const int page = host_->NewPage(callback);
    EXPECT_GE(page, 0);
    EXPECT_EQ(host_->CallInt(page, "ORVEK_OpenVeinDev"), 0);
    fakedrx::clearCalls();
    return page;
  }
  static bool Called(const std::string& call) {
    const auto calls = fakedrx::calls();
    return std::find(calls.begin(), calls.end(), call) != calls.end();
  }
};

std::string Encode(const std::vector<std::uint8_t>& bytes) {
  return fvcommon::Base64Encode(bytes.data(), bytes.size());
}

TEST_F(Service, OpenTakesTheLastDeviceAndCloseLetsItGo) {
  struct Case {
    int devices;
    int answer;
    const char* open;
  };
  const Case cases[] = {{0, 1, nullptr}, {1, 0, "open(0)"}, {2, 0, "open(1)"}, {3, 0, "open(2)"}};
  const int page = host_->NewPage();
  for (const Case& c : cases) {
    fakedrx::Handlers h;
    h.count = [n = c.devices] { return n; };
    fakedrx::install(h);
    EXPECT_EQ(host_->CallInt(page, "ORVEK_OpenVeinDev"), c.answer) << c.devices;
    const auto calls = fakedrx::calls();
    if (c.open == nullptr) {
      EXPECT_FALSE(Called("open(0)"));
      EXPECT_EQ(host_->CallInt(page, "ORVEK_CloseVeinDev"), 1);
      continue;
    }
    ASSERT_TRUE(Called(c.open)) << c.devices;
    EXPECT_EQ(calls.back(), "led(1,0)");
    fakedrx::clearCalls();
    EXPECT_EQ(host_->CallInt(page, "ORVEK_CloseVeinDev"), 0);
    EXPECT_EQ(fakedrx::calls(), (std::vector<std::string>{"led(1,0)", "backlight_off", "close"}));
    EXPECT_EQ(host_->CallInt(page, "ORVEK_CloseVeinDev"), 1);
  }
  EXPECT_NE(folders_.LogText().find("]DevCnt <= 0\n"), std::string::npos);
}

TEST_F(Service, TakePictureSendsTheCaptureOrSaysThereIsNoFinger) {
  fvplat::ScopedFakeClock clock;
  const int page = OpenPage();
  std::atomic<int> state{0};
  std::atomic<bool> frames{true};
  fakedrx::Handlers h;
  h.fingerState = [&] { return state.load(); };
  h.grab = [&](fakedrx::Bytes& frame) {
    if (!frames.load()) return false;
    frame = {1, 2, 3, 4, 5};
    return true;
  };
  h.quality = [](const fakedrx::Bytes&, int& quality) {
    quality = 2003;
    return 1;
  };
  fakedrx::install(h);

  EXPECT_EQ(host_->CallInt(page, "ORVEK_TakeVeinPicture"), -2);
  auto calls = host_->PageCalls(page);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].code, 11);
  EXPECT_EQ(calls[0].text,
            "{\"RETURNDESC\":\"There are no fingers now, please put down your fingers and take "
            "photos\",\"RETURNID\":-1,\"RETURNVALUE\":\"\"}\n");

  host_->ClearPageCalls();
  state = 3;
  fakedrx::clearCalls();
  EXPECT_EQ(host_->CallInt(page, "ORVEK_TakeVeinPicture"), 0);
  calls = host_->PageCalls(page);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].code, 11);
  EXPECT_EQ(calls[0].text,
            "{\"IMAGE\":\"AQIDBAU=\",\"QUALITY\":2003,\"RETURNDESC\":\"Photo finish\","
            "\"RETURNID\":0,\"RETURNVALUE\":\"\"}\n");
  auto device = fakedrx::calls();
  EXPECT_EQ(device.front(), "state");
  EXPECT_EQ(device[1], "led(0,1)");
  EXPECT_EQ(device.back(), "led(1,0)");

  // A quality check that fails gives no verdict: the report keeps 1.
  host_->ClearPageCalls();
  h.quality = [](const fakedrx::Bytes&, int&) { return 0; };
  fakedrx::install(h);
  EXPECT_EQ(host_->CallInt(page, "ORVEK_TakeVeinPicture"), 0);
  calls = host_->PageCalls(page);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(nptest::Parse(calls[0].text)["QUALITY"].asInt(), 1);

  // No frame within the limit: no report, and the light goes back.
  host_->ClearPageCalls();
  frames = false;
  fakedrx::clearCalls();
  const std::uint64_t start = fvplat::ClockMs();
  EXPECT_EQ(host_->CallInt(page, "ORVEK_TakeVeinPicture"), -2);
  EXPECT_GE(fvplat::ClockMs() - start, 2000u);
  EXPECT_LT(fvplat::ClockMs() - start, 2100u);
  EXPECT_TRUE(host_->PageCalls(page).empty());
  EXPECT_EQ(fakedrx::calls().back(), "led(1,0)");
}

TEST_F(Service, FeatureCompareMatchesAboveSixTenthsAndAlwaysReports) {
  const int page = OpenPage();
  struct Case {
    float score;
    int result;
    int answer;
    const char* text;
  };
  const Case cases[] = {
      {0.6f, 1, -1, "Mark:1,Matching score:0.6000 "},
      {0.6001f, 1, 0, "Mark:1,Matching score:0.6001 "},
      {0.95f, 0, -1, "Mark:1,Matching score:0.9500 "},  // the call itself failed
  };
  const std::vector<std::uint8_t> templates(2 * 3352 + 100, 7);
  for (const Case& c : cases) {
    fakedrx::Handlers h;
    h.index = [c](const std::vector<fakedrx::Bytes>&, const fakedrx::Bytes&, int& position,
                  float& score) {
      position = 1;
      score = c.score;
      return c.result;
    };
    fakedrx::install(h);
    host_->ClearPageCalls();
    EXPECT_EQ(host_->CallInt(page, "ORVEK_VeinFeatureCompare",
                             {Encode({9, 9, 9}), Encode(templates)}),
              c.answer);
    const auto calls = host_->PageCalls(page);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].code, 11);
    EXPECT_EQ(calls[0].text,
              std::string("{\"RETURNID\":37,\"RETURNVALUE\":\"\",\"RETURNDESC\":\"") + c.text + "\"}");
    const auto device = fakedrx::calls();
    EXPECT_EQ(device.front(), "led(0,0)");
    EXPECT_TRUE(Called("index(2)"));  // whole templates only
    EXPECT_EQ(device.back(), "led(1,0)");
  }
  // Texts that are no base64 reach no comparison, and the page still hears of it.
  host_->ClearPageCalls();
  fakedrx::clearCalls();
  EXPECT_EQ(host_->CallInt(page, "ORVEK_VeinFeatureCompare", {std::string("**"), Encode(templates)}),
            -1);
  EXPECT_FALSE(Called("index(2)"));
  const auto calls = host_->PageCalls(page);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].text,
            "{\"RETURNID\":37,\"RETURNVALUE\":\"\",\"RETURNDESC\":\"Mark:-1,Matching score:0.0000 \"}");
}

TEST_F(Service, ImageCompareBuildsATemplateFromTheSecondImageAndUsesTheThreshold) {
  const int page = OpenPage();
  struct Case {
    const char* settings;
    float score;
    int answer;
  };
  const Case cases[] = {{"{}", 0.51f, -1},
                        {"{}", 0.5101f, 0},
                        {R"({"Thresh":0.7})", 0.69f, -1},
                        {R"({"Thresh":0.7})", 0.71f, 0}};
  for (const Case& c : cases) {
    ASSERT_EQ(host_->CallInt(page, "ORVEK_Init_Vein", {std::string(c.settings)}), 0);
    fakedrx::Handlers h;
    std::vector<std::uint8_t> firstOfModel;
    h.match = [&, c](const fakedrx::Bytes& blob, const fakedrx::Bytes& model, float& score) {
      firstOfModel = {blob.front(), model.front()};
      score = c.score;
      return 1;
    };
    fakedrx::install(h);
    host_->ClearPageCalls();
    EXPECT_EQ(host_->CallInt(page, "ORVEK_VeinImageCompare", {Encode({1, 1}), Encode({2, 2, 2})}),
              c.answer)
        << c.score;
    EXPECT_TRUE(Called("extract(3,0,0)"));
    EXPECT_EQ(firstOfModel, (std::vector<std::uint8_t>{1, 2}));  // image 1 against image 2's template
    const auto calls = host_->PageCalls(page);
    ASSERT_EQ(calls.size(), 1u);
    char score[16];
    std::snprintf(score, sizeof score, "%.4f", static_cast<double>(c.score));
    EXPECT_EQ(calls[0].text, std::string("{\"RETURNID\":37,\"RETURNVALUE\":\"\",\"RETURNDESC\":"
                                         "\"Matching score:") + score + " \"}");
  }
}

TEST_F(Service, StartsNeedAnOpenDeviceAndARunThatEnded) {
  const int page = host_->NewPage();
  EXPECT_EQ(host_->CallInt(page, "ORVEK_StartModel_Vein"), -1);
  EXPECT_EQ(host_->CallInt(page, "ORVEK_StartRecog_Vein", {std::string("")}), -1);
  ASSERT_EQ(host_->CallInt(page, "ORVEK_OpenVeinDev"), 0);
  // The first run waits for the page to answer its prompt; a second start meanwhile is refused.
  ASSERT_EQ(host_->CallInt(page, "ORVEK_StartModel_Vein"), 0);
  ASSERT_TRUE(host_->WaitForPageCall(page, [](const PageCall& c) { return c.code == 40; }, 10s));
  fakedrx::clearCalls();
  EXPECT_EQ(host_->CallInt(page, "ORVEK_StartModel_Vein"), 1);
  EXPECT_TRUE(Called("led(1,0)"));
  EXPECT_NE(folders_.LogText().find("]SendVeinModelRequest fail!\n"), std::string::npos);
  ASSERT_TRUE(host_->WaitForPageCall(page, [](const PageCall& c) { return c.code == -3; }, 10s));
}

TEST_F(Service, RunRequestsCarryThePageSettingsAndItsTemplates) {
  const int page = OpenPage();
  ASSERT_EQ(host_->CallInt(page, "ORVEK_Init_Vein",
                           {std::string(R"({"ModelTimeout":44,"RecogTimeout":33,"PlaySound":0})")}),
            0);
  fakedrx::Handlers h;
  h.grab = [](fakedrx::Bytes& frame) {
    frame = {5, 6, 7};
    return true;
  };
  std::atomic<int> searched{-1};
  h.index = [&](const std::vector<fakedrx::Bytes>& models, const fakedrx::Bytes&, int& position,
                float& score) {
    searched = static_cast<int>(models.size());
    position = 1;
    score = 0.9f;
    return 1;
  };
  fakedrx::install(h);
  host_->OnPageCall([&](int p, const PageCall& call) {
    if (call.code == 40) host_->CallInt(p, "ORVEK_ContinueDo", {0});
  });
  Json::Value list;
  list["feature"]["0"] = Encode(std::vector<std::uint8_t>(3352, 1));
  list["feature"]["1"] = Encode(std::vector<std::uint8_t>(3352, 2));
  list["num"] = 2;
  list["type"]["1"]["fingertype"] = 5;
  const auto hostEnds = EndHostBeforeLocals();  // the run ends before the locals it uses
  ASSERT_EQ(host_->CallInt(page, "ORVEK_StartRecog_Vein", {Json::FastWriter().write(list)}), 0);
  auto isResult = [](const PageCall& c) { return c.text.find("\"FEATURE\"") != std::string::npos; };
  ASSERT_TRUE(host_->WaitForPageCall(page, isResult, 10s));
  EXPECT_EQ(searched.load(), 2);  // both templates of the page reached the search
  for (const PageCall& call : host_->PageCalls(page)) {
    if (!isResult(call)) continue;
    const Json::Value result = nptest::Parse(call.text);
    EXPECT_EQ(result["RETURNID"].asInt(), 0) << call.text;
    EXPECT_EQ(result["RETURNDESC"].asString(), "Authentication success!Matching score:0.9000");
  }
  host_->OnPageCall({});
  ASSERT_EQ(host_->CallInt(page, "ORVEK_StartModel_Vein"), 0);
  const std::string log = folders_.LogText();
  EXPECT_NE(log.find("]{\"maxTime\":33,\"userId\":\"1\"}\n"), std::string::npos);
  EXPECT_NE(log.find("]{\"maxTime\":44, \"userId\":\"1\"}\n"), std::string::npos);
}

TEST_F(Service, ADeviceThatGoesDuringARunEndsItAsLost) {
  const int page = OpenPage();
  std::atomic<int> devices{1};
  fakedrx::Handlers h;
  h.count = [&] { return devices.load(); };
  fakedrx::install(h);
  host_->OnPageCall([&](int p, const PageCall& call) {
    if (call.code != 40) return;
    devices = 0;  // unplugged while the page answers
    host_->CallInt(p, "ORVEK_ContinueDo", {0});
  });
  const auto hostEnds = EndHostBeforeLocals();  // the run ends before the locals it uses
  ASSERT_EQ(host_->CallInt(page, "ORVEK_StartModel_Vein"), 0);
  ASSERT_TRUE(host_->WaitForPageCall(page, [](const PageCall& c) { return c.code == -13; }, 10s));
  host_->OnPageCall({});
  for (const PageCall& call : host_->PageCalls(page)) EXPECT_NE(call.code, -100) << call.text;
  const auto calls = fakedrx::calls();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "grab"), 0);  // no grab without a device
}

TEST_F(Service, AFailedGrabInARunIsTriedAgainAfter150Ms) {
  fvplat::ScopedFakeClock clock;
  const int page = OpenPage();
  std::mutex lock;
  std::vector<std::uint64_t> grabs;  // clock of each grab
  fakedrx::Handlers h;
  h.grab = [&](fakedrx::Bytes&) {
    std::lock_guard<std::mutex> guard(lock);
    grabs.push_back(fvplat::ClockMs());
    return false;
  };
  fakedrx::install(h);
  host_->OnPageCall([&](int p, const PageCall& call) {
    if (call.code == 40) host_->CallInt(p, "ORVEK_ContinueDo", {0});
  });
  const auto hostEnds = EndHostBeforeLocals();  // the run ends before the locals it uses
  ASSERT_EQ(host_->CallInt(page, "ORVEK_StartModel_Vein"), 0);
  const auto until = std::chrono::steady_clock::now() + 10s;
  while (std::chrono::steady_clock::now() < until) {
    {
      std::lock_guard<std::mutex> guard(lock);
      if (grabs.size() >= 4) break;
    }
    std::this_thread::sleep_for(2ms);
  }
  EXPECT_EQ(host_->CallInt(page, "ORVEK_StopModel_Vein"), 0);
  host_->OnPageCall({});
  std::lock_guard<std::mutex> guard(lock);
  ASSERT_GE(grabs.size(), 4u);
  // 100 ms after the device's failed grab, then 50 ms before the worker asks again.
  for (std::size_t i = 1; i < 4; ++i) EXPECT_EQ(grabs[i] - grabs[i - 1], 150u) << i;
}

TEST_F(Service, AStopFromInsideTheCallbackEndsTheRun) {
  const int page = OpenPage();
  std::atomic<int> stopAnswer{-99};
  host_->OnPageCall([&](int p, const PageCall& call) {
    if (call.code == 40) stopAnswer = host_->CallInt(p, "ORVEK_StopModel_Vein");
  });
  const auto hostEnds = EndHostBeforeLocals();  // the run ends before the locals it uses
  ASSERT_EQ(host_->CallInt(page, "ORVEK_StartModel_Vein"), 0);
  ASSERT_TRUE(host_->WaitForPageCall(page, [](const PageCall& c) { return c.code == -3; }, 10s));
  EXPECT_EQ(stopAnswer.load(), 0);
  const auto calls = host_->PageCalls(page);
  EXPECT_EQ(calls.front().code, 0);  // the plug-in's start report
  EXPECT_EQ(nptest::Parse(calls.back().text)["RETURNDESC"].asString(), "Termination modeling");
  for (const PageCall& call : calls) {
    EXPECT_TRUE(call.onUiThread);
    EXPECT_EQ(call.argCount, 2);
  }
  EXPECT_EQ(host_->CallsOffUiThread(), 0);
}

TEST_F(Service, EnrolmentStartedInsideARecognitionPromptStopsItFirst) {
  fvplat::ScopedFakeClock clock;
  const int page = OpenPage();
  std::atomic<int> started{-99};
  std::atomic<std::uint64_t> paused{0};
  host_->OnPageCall([&](int p, const PageCall& call) {
    if (call.code != 40 || started != -99) return;
    const std::uint64_t before = fvplat::ClockMs();
    started = host_->CallInt(p, "ORVEK_StartModel_Vein");
    paused = fvplat::ClockMs() - before;
    host_->CallInt(p, "ORVEK_StopModel_Vein");
  });
  const auto hostEnds = EndHostBeforeLocals();  // the run ends before the locals it uses
  ASSERT_EQ(host_->CallInt(page, "ORVEK_StartRecog_Vein", {std::string("")}), 0);
  ASSERT_TRUE(host_->WaitForPageCall(page, [](const PageCall& c) { return c.code == -3; }, 10s));
  EXPECT_EQ(started.load(), 0);
  EXPECT_GE(paused.load(), 600u);
  EXPECT_EQ(host_->CallInt(page, "ORVEK_GetVeinRecogStatus"), -1);
}

TEST_F(Service, ThePageCallbackIsCalledOnlyWhenItIsAFunctionAndNothingIsKept) {
  for (PageCallback kind : {PageCallback::kMissing, PageCallback::kText, PageCallback::kFunction}) {
    const int page = OpenPage(kind);
    const int objects = host_->LiveObjects();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(host_->CallInt(page, "ORVEK_TakeVeinPicture"), -2);
    EXPECT_EQ(host_->PageCalls(page).size(), kind == PageCallback::kFunction ? 3u : 0u);
    EXPECT_EQ(host_->OutstandingMemory(), 0);  // the property and the answer given back
    EXPECT_EQ(host_->LiveObjects(), objects);
    ASSERT_EQ(host_->DestroyPage(page), NPERR_NO_ERROR);
    EXPECT_EQ(host_->LiveObjects(), 0);  // no reference to the page's objects left
  }
}

TEST_F(Service, SuspendIsRefusedAndClosesTheDeviceUntilResume) {
  const int page = host_->NewPage();
  HWND window = host_->PluginWindow(page);
  LRESULT query = 0;
  host_->RunOnUi([&] { query = SendMessageA(window, WM_POWERBROADCAST, 0x0000, 0); });
  EXPECT_EQ(query, 0x424D5144);  // also with no device open
  // A device that was not open stays closed across resume.
  host_->RunOnUi([&] {
    SendMessageA(window, WM_POWERBROADCAST, 0x0004, 0);
    SendMessageA(window, WM_POWERBROADCAST, 0x0007, 0);
  });
  EXPECT_FALSE(Called("open(0)"));
  ASSERT_EQ(host_->CallInt(page, "ORVEK_OpenVeinDev"), 0);
  fakedrx::clearCalls();
  host_->RunOnUi([&] { SendMessageA(window, WM_POWERBROADCAST, 0x0004, 0); });
  EXPECT_TRUE(Called("close"));
  EXPECT_EQ(host_->CallInt(page, "ORVEK_StartModel_Vein"), -1);
  fakedrx::clearCalls();
  host_->RunOnUi([&] { SendMessageA(window, WM_POWERBROADCAST, 0x0007, 0); });
  EXPECT_TRUE(Called("open(0)"));
  EXPECT_EQ(host_->CallInt(page, "ORVEK_CloseVeinDev"), 0);
  const auto seen = host_->WindowMessages(page);
  EXPECT_EQ(std::count(seen.begin(), seen.end(), WM_POWERBROADCAST), 4);  // all but the query
}

// Result messages that reached a window of the test's own.
std::atomic<int> g_resultsToBareWindow{0};
LRESULT BareWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == 0x41E) ++g_resultsToBareWindow;
  return DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(Service, AWindowSetForAnInstanceWithoutItsPluginObjectTakesTheResults) {
  const int page = OpenPage();
  fakedrx::Handlers h;
  h.fingerState = [] { return 0; };
  fakedrx::install(h);
  g_resultsToBareWindow = 0;
  HWND bare = nullptr;
  host_->RunOnUi([&] {
    fvplat::WindowSpec spec;
    spec.width = 10;
    spec.height = 10;
    spec.proc = &BareWindowProc;
    bare = fvplat::CreatePlatformWindow(spec);
    NPP_t instance{};  // NPP_New never ran for it
    NPWindow window{};
    window.window = bare;
    EXPECT_EQ(host_->PluginTable().setwindow(&instance, &window), NPERR_NO_ERROR);
  });
  ASSERT_NE(bare, nullptr);
  EXPECT_EQ(host_->CallInt(page, "ORVEK_TakeVeinPicture"), -2);
  EXPECT_EQ(g_resultsToBareWindow.load(), 1);
  EXPECT_TRUE(host_->PageCalls(page).empty());
  host_->RunOnUi([&] { DestroyWindow(bare); });
}

TEST_F(Service, TwoInstancesShareTheServiceAndTheLastOneEndsIt) {
  const int first = OpenPage();
  const int second = host_->NewPage();
  ASSERT_NE(host_->Scriptable(second), nullptr);
  fakedrx::Handlers h;
  h.fingerState = [] { return 0; };
  fakedrx::install(h);
  // The newer page's window and object take the results.
  EXPECT_EQ(host_->CallInt(first, "ORVEK_TakeVeinPicture"), -2);
  EXPECT_TRUE(host_->PageCalls(first).empty());
  EXPECT_EQ(host_->PageCalls(second).size(), 1u);

  ASSERT_EQ(host_->DestroyPage(second), NPERR_NO_ERROR);
  EXPECT_FALSE(Called("close"));  // the first page still uses the device
  EXPECT_EQ(host_->CallInt(first, "ORVEK_TakeVeinPicture"), -2);
  EXPECT_EQ(host_->PageCalls(first).size(), 1u);
  EXPECT_EQ(host_->LivePluginObjects(), 1);

  ASSERT_EQ(host_->DestroyPage(first), NPERR_NO_ERROR);
  EXPECT_TRUE(Called("close"));
  EXPECT_EQ(host_->LiveObjects(), 0);
  EXPECT_EQ(host_->OutstandingMemory(), 0);
  EXPECT_EQ(host_->Shutdown(), NPERR_NO_ERROR);
  EXPECT_EQ(host_->LiveObjects(), 0);
}

// Runs `work` on another thread and fails the test (instead of hanging it) when it does not
// come back within `limit`.
template <typename Work>
bool ReturnsWithin(std::chrono::seconds limit, Work work) {
  auto done = std::async(std::launch::async, work);
  if (done.wait_for(limit) == std::future_status::ready) return true;
  ADD_FAILURE() << "no return within " << limit.count() << " s";
  std::abort();  // a deadlock: nothing else can end this process
}

TEST_F(Service, DestroyReturnsWhileAWorkerWaitsInASendOrForThePage) {
  // A worker waiting for the page's answer.
  int page = OpenPage();
  ASSERT_EQ(host_->CallInt(page, "ORVEK_StartModel_Vein"), 0);
  ASSERT_TRUE(host_->WaitForPageCall(page, [](const PageCall& c) { return c.code == 40; }, 10s));
  EXPECT_TRUE(ReturnsWithin(10s, [&] { return host_->DestroyPage(page); }));

  // A worker blocked sending to the browser's thread while that thread destroys the page.
  page = OpenPage();
  std::size_t callsBefore = 0;
  EXPECT_TRUE(ReturnsWithin(10s, [&] {
    host_->RunOnUi([&] {
      ASSERT_EQ(host_->CallInt(page, "ORVEK_StartModel_Vein"), 0);
      std::this_thread::sleep_for(200ms);  // its start report now waits for this thread
      callsBefore = host_->PageCalls(page).size();
      host_->DestroyPage(page);
    });
  }));
  host_->RunOnUi([] { fvplat::PumpPending(); });
  EXPECT_EQ(host_->PageCalls(page).size(), callsBefore);  // nothing reached the page that went
  EXPECT_EQ(callsBefore, 0u);
  EXPECT_EQ(host_->LiveObjects(), 0);
}

}  // namespace
