#include <fstream>

#include "dialog/bitmaps.h"
#include "dialog_fixture.h"
#include "test_paths.h"
#include "fvplatform/dialog.h"

namespace torvane::testing {
namespace {

using Enrolment = DialogTest;

std::string fileText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(Enrolment, ThreeCapturesOfOneFingerArePostedAndShownAsSuccess) {
  makeReady();
  startEnrolment(42);
  EXPECT_EQ(text(kIdName), "会员姓名：张三");
  EXPECT_EQ(text(kIdPrompt), "采集中...");
  EXPECT_TRUE(visible(kIdPreview));
  device.scores = {{"c2", 0.8f}, {"c3", 0.8f}};

  place("c1");
  EXPECT_EQ(text(kIdPrompt), "请松开手后再放置一次");
  EXPECT_EQ(dialog->fields().captureCount, 1);
  EXPECT_EQ(fileText(folder / "auth/auth.jpg"), "c1");
  const std::string authPayload = "{\n   \"branch_id\" : 4,\n   \"club_id\" : 3\n}\n";
  ASSERT_EQ(cloud.posts().back().path, "v1/fv/authKqFv");
  EXPECT_EQ(cloud.posts().back().payload, authPayload);

  // A finger left on the sensor is not captured twice.
  device.captures.push_back("c2");
  dialog->worker()->turn();
  dialog->worker()->turn();
  EXPECT_EQ(device.grabs, 1);
  lift();
  dialog->worker()->turn();  // placed again: the queued capture is taken now
  device.state = 3;
  dialog->worker()->turn();
  EXPECT_EQ(device.grabs, 2);
  EXPECT_EQ(text(kIdPrompt), "请松开手最后放置一次");
  EXPECT_EQ(dialog->fields().captureCount, 2);

  lift();
  place("c3");
  const std::vector<std::string> posted = {"v1/fv/checkKqDeviceId", "v1/fv/authKqFv", "v1/fv/addKqFv"};
  EXPECT_EQ(cloud.pathsPosted(), posted);
  EXPECT_EQ(cloud.posts().back().payload, "{\n   \"finger_type\" : 2,\n   \"member_id\" : 42\n}\n");
  for (int k = 1; k <= 3; ++k) {
    std::filesystem::path file = folder / "model" / ("42_" + std::to_string(k) + ".jpg");
    EXPECT_EQ(fileText(file), "c" + std::to_string(k));
    EXPECT_EQ(cloud.posts().back().images[k - 1], file.string());
    EXPECT_EQ(cloud.posts().back().imageBytes[k - 1], "c" + std::to_string(k)) << "sent as captured";
  }
  DialogFields f = dialog->fields();
  EXPECT_EQ(f.m_lastEnrolledId, 42);
  EXPECT_FALSE(f.m_bCollecting);
  EXPECT_EQ(f.m_collectId, 0);
  EXPECT_TRUE(f.enrolImages[0].empty()) << "buffers cleared";
  EXPECT_TRUE(visible(kIdSuccessPicture));
  EXPECT_TRUE(visible(kIdSuccessText));
  EXPECT_FALSE(visible(kIdIdlePicture));
  EXPECT_FALSE(visible(kIdDeviceLine));
  // Models: after capture 1, after capture 2, and from all three.
  ASSERT_EQ(device.models.size(), 3u);
  EXPECT_TRUE(device.models[0][1].empty());
  EXPECT_EQ(nameOf(device.models[2][2]), "c3");
  EXPECT_TRUE(writeDialogPicture(*dialog, fvtest::BinaryDir() + "/dialog-enrolment-fake.png"));
}

TEST_F(Enrolment, AnEmployeeEnrolsThroughTheEmployeePath) {
  makeReady();
  startEnrolment(9, true);
  device.scores = {{"c2", 0.8f}, {"c3", 0.8f}};
  place("c1");
  lift();
  place("c2");
  lift();
  place("c3");
  EXPECT_EQ(cloud.posts().back().path, "v1/fv/addEKqFv");
  EXPECT_EQ(cloud.posts().back().payload, "{\n   \"employee_id\" : 9,\n   \"finger_type\" : 2\n}\n");
  EXPECT_EQ(dialog->fields().m_lastEnrolledId, 9);
}

TEST_F(Enrolment, AnotherFingerAtCaptureTwoKeepsTheCountAndAsksForTheFirstFinger) {
  makeReady();
  startEnrolment();
  device.scores = {{"other", 0.2f}, {"c2", 0.9f}};
  place("c1");
  lift();
  place("other");
  EXPECT_EQ(text(kIdPrompt), "放置的不是同一个手指，请放入刚才的手指");
  EXPECT_EQ(dialog->fields().captureCount, 1);
  EXPECT_EQ(dialog->fields().m_promptError, 1);
  EXPECT_EQ(dialog->OnCtlColor(dialog->item(kIdPrompt)), RGB(255, 0, 0));
  device.captures.push_back("c2");
  dialog->worker()->turn();
  EXPECT_EQ(device.grabs, 2) << "the refused finger must leave first";
  lift();
  place("c2");
  EXPECT_EQ(text(kIdPrompt), "请松开手最后放置一次");
  EXPECT_EQ(dialog->fields().m_promptError, 0);
  EXPECT_EQ(dialog->OnCtlColor(dialog->item(kIdPrompt)), RGB(0, 0, 0));
}

TEST_F(Enrolment, AQualityRefusalMayBeFollowedAtOnceByTheNextCapture) {
  makeReady();
  startEnrolment();
  device.measures["bad"] = QualityMeasures{0, 0.5f, 0.5f, 0.5f};
  place("bad");
  EXPECT_EQ(text(kIdPrompt), "此次采集到的数据无效，请将手指尽量贴靠右侧");
  EXPECT_EQ(text(kIdStatus), "采集中...");
  EXPECT_EQ(dialog->fields().captureCount, 0);
  place("c1");  // no lift needed
  EXPECT_EQ(dialog->fields().captureCount, 1);
}

struct CloudCase {
  const char* what;
  const char* authReply;  // nullptr: the enrolment gets past capture 1 with result 0
  const char* addReply;
  const char* shown;      // text of the result line; nullptr: the success display
};

TEST_F(Enrolment, EveryCloudAnswerHasItsText) {
  const CloudCase cases[] = {
      {"already enrolled", R"({"result":1})", nullptr, "此手指已经注册过了，您可以换只手指"},
      {"auth reply unparsable", "raw:garbage", nullptr, "请检查你的网络状态"},
      {"auth reply empty", "", nullptr, "请检查你的网络状态"},
      {"auth request dropped", "dropped", nullptr, "请检查你的网络状态"},
      {"auth reply a number", "7", nullptr, "请检查你的网络状态"},
      {"enrolled", nullptr, R"({"result":1})", nullptr},
      {"person has this finger", nullptr, R"({"result":4})", "该用户已采集过该手指"},
      {"other result", nullptr, R"({"result":0})", "此手指注册失败"},
      {"result as a string", nullptr, R"({"result":"1"})", "此手指注册失败"},
      {"server error", nullptr, "raw:<h1>500 Internal Server Error</h1>", "服务器出错了，请联系Torvane科技"},
      {"add reply unparsable", nullptr, "raw:%%%", "请检查你的网络状态"},
      {"add reply a number", nullptr, "1", "请检查你的网络状态"},
      {"empty answer", nullptr, "", "请检查你的网络状态"},
      {"no answer", nullptr, "dropped", "请检查你的网络状态"},
      {"server error status", nullptr, "status500", "服务器出错了，请联系Torvane科技"},
  };
  for (const CloudCase& c : cases) {
    SCOPED_TRACE(c.what);
    restart();
    makeReady();
    startEnrolment();
    device.scores = {{"c2", 0.8f}, {"c3", 0.8f}};
    if (c.authReply) cloud.script("v1/fv/authKqFv", c.authReply);
    if (c.addReply) cloud.script("v1/fv/addKqFv", c.addReply);
    place("c1");
    if (c.authReply) {
      EXPECT_EQ(text(kIdResult), c.shown);
      EXPECT_TRUE(visible(kIdResult));
      EXPECT_FALSE(dialog->fields().m_bCollecting) << "the enrolment has ended";
      EXPECT_EQ(cloud.pathsPosted().size(), 2u) << "no capture after the first";
      lift();
      place("c2");
      EXPECT_EQ(cloud.pathsPosted().back(), "v1/fv/signKqFv") << "a later finger signs in";
      continue;
    }
    lift();
    place("c2");
    lift();
    place("c3");
    if (c.shown == nullptr) {
      EXPECT_TRUE(visible(kIdSuccessText));
      EXPECT_FALSE(visible(kIdResult));
    } else {
      EXPECT_EQ(text(kIdResult), c.shown);
      EXPECT_TRUE(visible(kIdResult));
      EXPECT_EQ(dialog->fields().m_lastEnrolledId, 0);
    }
  }
}

TEST_F(Enrolment, AFileThatCannotBeWrittenEndsTheEnrolmentBeforeAnythingIsPosted) {
  makeReady();
  startEnrolment(42);
  device.scores = {{"c2", 0.8f}, {"c3", 0.8f}};
  place("c1");
  lift();
  place("c2");
  lift();
  // The second of the three files cannot be made.
  std::filesystem::create_directories(folder / "model" / "42_2.jpg");
  place("c3");
  EXPECT_EQ(text(kIdResult), "请用管理员身份打开此软件");
  EXPECT_EQ(cloud.pathsPosted().back(), "v1/fv/authKqFv") << "nothing posted";
  EXPECT_FALSE(dialog->fields().m_bCollecting);
}

TEST_F(Enrolment, TheLedSequenceOnThePlatformClock) {
  makeReady();
  startEnrolment();
  device.measures["bad"] = QualityMeasures{0, 0.5f, 0.5f, 0.5f};
  device.scores = {{"c2", 0.8f}, {"c3", 0.8f}};
  const std::uint64_t t0 = fvplat::ClockMs();
  place("c1");                 // accepted: off, back on after 200 ms
  wait(199);
  EXPECT_EQ(device.leds.size(), 1u);
  wait(1);
  lift();
  place("bad");                // refused: off, back on after 1000 ms
  wait(999);
  wait(1);
  lift();
  place("c2");
  wait(200);
  lift();
  place("c3");                 // posted: on, then success: off, on after 200 ms
  wait(200);
  std::vector<std::pair<int, int>> seen;
  for (const LedCall& l : device.leds) seen.emplace_back(l.led, l.on);
  const std::vector<std::pair<int, int>> expected = {{0, 0}, {1, 0}, {0, 0}, {1, 0}, {0, 0},
                                                     {1, 0}, {1, 0}, {0, 0}, {1, 0}};
  EXPECT_EQ(seen, expected);
  ASSERT_EQ(device.leds.size(), expected.size());
  EXPECT_EQ(device.leds[1].atMs - device.leds[0].atMs, 200u);
  EXPECT_EQ(device.leds[3].atMs - device.leds[2].atMs, 1000u);
  EXPECT_EQ(device.leds[8].atMs - device.leds[7].atMs, 200u);
  EXPECT_GE(device.leds[0].atMs, t0);
}

TEST_F(Enrolment, TimerOneReturnsTheWindowToIdleAndMinimisesIt) {
  makeReady();
  startEnrolment();
  dialog->bringToFront();
  EXPECT_TRUE(fvplat::IsTopmost(dialog->window()));
  EXPECT_FALSE(IsIconic(dialog->window()));
  dialog->showErrorText("签到失败");
  EXPECT_TRUE(visible(kIdResult));
  wait(1499);
  EXPECT_TRUE(visible(kIdResult));
  EXPECT_FALSE(IsIconic(dialog->window()));
  wait(1);
  EXPECT_FALSE(visible(kIdResult));
  EXPECT_TRUE(visible(kIdIdlePicture));
  EXPECT_TRUE(IsIconic(dialog->window()));
  EXPECT_EQ(text(kIdDeviceLine), "设备ID：7  前台") << "the idle state shows the device line";
  // It fires once.
  dialog->bringToFront();
  wait(5000);
  EXPECT_FALSE(IsIconic(dialog->window()));
}

TEST_F(Enrolment, ButtonsBackRestartAndTheDeviceNumberReveal) {
  makeReady();
  startEnrolment();
  place("c1");
  ASSERT_EQ(dialog->fields().captureCount, 1);
  ASSERT_TRUE(fvplat::ClickButton(dialog->item(kIdRestart)));
  EXPECT_EQ(dialog->fields().captureCount, 0);
  EXPECT_TRUE(dialog->fields().m_bCollecting);
  EXPECT_EQ(text(kIdPrompt), "请放置手指");
  ASSERT_TRUE(fvplat::ClickButton(dialog->item(kIdBack)));
  EXPECT_FALSE(dialog->fields().m_bCollecting);
  EXPECT_TRUE(visible(kIdIdlePicture));
  EXPECT_FALSE(visible(kIdChangeDeviceId));
  fvplat::ClickButton(dialog->item(kIdRevealChange));
  EXPECT_TRUE(visible(kIdChangeDeviceId));
  fvplat::ClickButton(dialog->item(kIdRevealChange));
  EXPECT_FALSE(visible(kIdChangeDeviceId));
}

TEST_F(Enrolment, LongNamesAndAddressesAreCutOnACharacterBoundary) {
  EnrolRequest request;
  for (int i = 0; i < 100; ++i) request.name += "张";  // 300 bytes
  request.photoUrl = "http://x/" + std::string(600, 'a');
  dialog->storeEnrolRequest(request);
  DialogFields f = dialog->fields();
  EXPECT_EQ(f.m_memberName.size(), 255u) << "85 whole characters of three bytes";
  EXPECT_EQ(f.m_memberName, request.name.substr(0, 255));
  EXPECT_EQ(f.m_photoUrl.size(), 511u);
}

}  // namespace
}  // namespace torvane::testing
