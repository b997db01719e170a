#include "dialog_fixture.h"

namespace torvane::testing {
namespace {

using SignIn = DialogTest;

struct SignInCase {
  const char* what;
  const char* reply;   // as StandInCloud::script takes it
  const char* shown;   // the result line; nullptr: the window stays idle
  bool highlighted;
  int memberId;        // m_signedMemberId afterwards
  bool signOut;
};


std::string reply(int result, int isSigned, int inOut, int status, const char* quality = "0.9") {
  const std::string member = R"("memberInfo":{"name":"%E6%9D%8E%E5%9B%9B","image":"a.png","member_id":77,"status":)" +
                             std::to_string(status) + "}";
  return "{\"result\":" + std::to_string(result) + ",\"signed\":" + std::to_string(isSigned) +
         ",\"inOut\":" + std::to_string(inOut) + ",\"quality\":" + quality + "," + member + "}";
}

TEST_F(SignIn, EveryCloudAnswerHasItsText) {
  const std::string welcome = reply(1, 1, 1, 1), out = reply(1, 1, 3, 1), zero = reply(0, 1, 1, 1);
  const std::string leave = reply(1, 0, 1, 4), frozen = reply(1, 0, 1, 5), card = reply(0, 0, 1, 2);
  const std::string low = reply(1, 1, 1, 1, "0.58"), textQuality = reply(1, 1, 1, 1, "\"0.9\"");
  const SignInCase cases[] = {
      {"signed in", welcome.c_str(), "欢迎光临", false, 77, false},
      {"signed out", out.c_str(), "签退成功", false, 77, true},
      {"result 0 as 1", zero.c_str(), "欢迎光临", false, 77, false},
      {"on leave", leave.c_str(), "该会员已请假", true, 77, false},
      {"frozen", frozen.c_str(), "该会员已被冻结", true, 77, false},
      {"no card", card.c_str(), "没有可用的会员卡", true, 77, false},
      {"quality 0.58 stays idle", low.c_str(), nullptr, false, 77, false},
      {"quality as a string stays idle", textQuality.c_str(), nullptr, false, 77, false},
      {"device not authorised", R"({"result":4})", "此设备未授权", false, 0, false},
      {"finger not enrolled here", R"({"result":2})", "该手指未在此场馆注册", false, 0, false},
      {"administrator", R"({"result":3})", "请用管理员身份打开此软件", false, 0, false},
      {"other result", R"({"result":9})", "签到失败", false, 0, false},
      {"result as a string", R"({"result":"1"})", "签到失败", false, 0, false},
      {"memberInfo not an object", R"({"result":1,"signed":1,"memberInfo":5,"quality":0.9})", "欢迎光临", false, 0, false},
      {"garbage", "raw:xyz", "请检查你的网络状态", false, 0, false},
      {"a number as the root", "12", "请检查你的网络状态", false, 0, false},
      {"empty answer", "", "请检查你的网络状态", false, 0, false},
      {"no answer", "dropped", "请检查你的网络状态", false, 0, false},
  };
  for (const SignInCase& c : cases) {
    SCOPED_TRACE(c.what);
    restart();
    makeReady();
    cloud.script("v1/fv/signKqFv", c.reply);
    place("s1");
    ASSERT_EQ(cloud.posts().back().path, "v1/fv/signKqFv");
    EXPECT_EQ(cloud.posts().back().payload,
              "{\n   \"branch_id\" : 4,\n   \"club_id\" : 3,\n   \"device_id\" : \"7\"\n}\n");
    DialogFields f = dialog->fields();
    EXPECT_EQ(f.m_signedMemberId, c.memberId);
    EXPECT_EQ(f.m_bSignOut, c.signOut);
    if (c.shown == nullptr) {
      EXPECT_FALSE(visible(kIdResult));
      EXPECT_TRUE(visible(kIdIdlePicture));
      continue;
    }
    EXPECT_TRUE(visible(kIdResult));
    EXPECT_EQ(text(kIdResult), c.shown);
    EXPECT_EQ(f.m_resultHighlight, c.highlighted ? 1 : 0);
    EXPECT_EQ(dialog->OnCtlColor(dialog->item(kIdResult)), c.highlighted ? RGB(255, 0, 0) : RGB(0, 0, 0));
    if (c.memberId != 0 && std::string(c.what) != "memberInfo not an object") {
      EXPECT_EQ(text(kIdName), "会员姓名：李四");
      EXPECT_FALSE(visible(kIdIdlePicture));
    }
  }
}

TEST_F(SignIn, NamesAreDecodedAfterTheReplyIsParsed) {
  makeReady();
  // An encoded quote inside the name would break the reply if it were decoded first.
  cloud.script("v1/fv/signKqFv",
               R"({"result":1,"signed":1,"inOut":1,"quality":0.9,"memberInfo":{"name":"A%22B%7D","member_id":5}})");
  place("s1");
  EXPECT_EQ(text(kIdName), "会员姓名：A\"B}");
  EXPECT_EQ(text(kIdResult), "欢迎光临");
}

TEST_F(SignIn, TheQualityGateOfASignInAndAFingerThatStays) {
  makeReady();
  device.measures["poor"] = QualityMeasures{0, 0.03f, 0.5f, 0.5f};  // enough for no gate but this
  place("poor");
  EXPECT_EQ(text(kIdResult), "请将手指尽量贴靠右侧");
  EXPECT_EQ(cloud.pathsPosted().back(), "v1/fv/checkKqDeviceId") << "nothing sent";
  cloud.script("v1/fv/signKqFv", reply(1, 1, 1, 1));
  place("s1");  // again at once, without lifting
  EXPECT_EQ(text(kIdResult), "欢迎光临");
  device.captures.push_back("s2");
  dialog->worker()->turn();
  EXPECT_EQ(device.grabs, 2) << "an accepted finger must leave first";
}

TEST_F(SignIn, AnEnrolmentThePageStartsMeanwhileIsNotEndedByTheSignInsText) {
  struct Case {
    const char* what;
    const char* reply;
    int memberId;
  };
  const Case cases[] = {{"finger not enrolled", R"({"result":2})", 0},
                        {"garbage", "raw:xyz", 0},
                        {"a member signed in", R"({"result":1,"signed":1,"inOut":1,"quality":0.9,"memberInfo":{"member_id":8}})", 8}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    restart();
    makeReady();
    cloud.script("v1/fv/signKqFv", c.reply);
    device.onCapture = [this] {
      device.onCapture = nullptr;
      startEnrolment(42);
    };
    place("s1");
    EXPECT_EQ(cloud.pathsPosted().back(), "v1/fv/signKqFv");
    const DialogFields f = dialog->fields();
    EXPECT_TRUE(f.m_bCollecting) << "the enrolment goes on";
    EXPECT_EQ(f.m_collectId, 42);
    EXPECT_EQ(f.m_signedMemberId, c.memberId) << "the cloud's verdict is kept for the page";
    EXPECT_FALSE(visible(kIdResult));
    EXPECT_EQ(text(kIdPrompt), "采集中...");
  }
}

TEST_F(SignIn, WithoutClubAndBranchNoCaptureIsTaken) {
  makeReady();
  dialog->update([](DialogFields& f) { f.m_clubId = 0; });
  place("s1");
  EXPECT_EQ(text(kIdResult), "请先打开TorvaneSAAS管理系统");
  EXPECT_EQ(device.grabs, 0);
  place("s1");
  EXPECT_EQ(device.grabs, 0) << "asked again on every placement";
}

TEST_F(SignIn, LedAfterASignInAndAfterAMemberState) {
  makeReady();
  cloud.script("v1/fv/signKqFv", reply(1, 1, 1, 1));
  cloud.script("v1/fv/signKqFv", reply(1, 0, 1, 5));
  place("s1");
  wait(200);
  lift();
  place("s2");
  wait(999);
  ASSERT_EQ(device.leds.size(), 3u);
  wait(1);
  ASSERT_EQ(device.leds.size(), 4u);
  EXPECT_EQ(device.leds[1].atMs - device.leds[0].atMs, 200u);
  EXPECT_EQ(device.leds[3].atMs - device.leds[2].atMs, 1000u);
  EXPECT_EQ(device.leds[3], (LedCall{1, 0, device.leds[3].atMs}));
}

using DeviceCheck = DialogTest;

TEST_F(DeviceCheck, TextsAndMessageBoxesOfEachOutcome) {
  // A device that does not open: a self-closing box, once per check.
  device.opened = false;
  device.openSucceeds = false;
  EXPECT_FALSE(dialog->pollDevice());
  std::vector<fvplat::MessageBoxCall> boxes = fvplat::MessageBoxLog();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "提示");
  EXPECT_EQ(boxes[0].text, "无法启动指静脉，请重新插入。\n如果还是无法识别，请将仪器插在电脑后面的USB口里。");
  EXPECT_EQ(boxes[0].timeoutMs, 3000u);
  // Not while an update downloads.
  ShowWindow(dialog->item(kIdProgress), SW_SHOW);
  EXPECT_FALSE(dialog->pollDevice());
  EXPECT_EQ(fvplat::MessageBoxLog().size(), 1u);
  ShowWindow(dialog->item(kIdProgress), SW_HIDE);

  // Opened, but without a number: asks for one and hides the main window.
  device.openSucceeds = true;
  device.number = 0;
  EXPECT_FALSE(dialog->pollDevice());
  boxes = fvplat::MessageBoxLog();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].text, "该指静脉识别仪未配置信息，请先设置设备ID");
  EXPECT_EQ(boxes[1].timeoutMs, 0u);
  EXPECT_FALSE(IsWindowVisible(dialog->window()));
  ShowWindow(dialog->window(), SW_SHOW);

  // A number, but no club yet: the device line asks for the management page.
  device.number = 7;
  EXPECT_TRUE(dialog->pollDevice());
  EXPECT_TRUE(visible(kIdDeviceLine));
  EXPECT_EQ(text(kIdDeviceLine), "设备ID：7  请打开SAAS系统");
  EXPECT_FALSE(dialog->fields().m_bDeviceReady);
  EXPECT_TRUE(cloud.posts().empty());

  // The cloud refuses the number, then accepts it.
  dialog->update([](DialogFields& f) { f.m_clubId = 3; f.m_branchId = 4; });
  cloud.script("v1/fv/checkKqDeviceId", R"({"result":0})");
  cloud.script("v1/fv/checkKqDeviceId", kDeviceReply);
  EXPECT_TRUE(dialog->pollDevice());
  EXPECT_EQ(text(kIdDeviceLine), "设备ID：7  该设备ID无效");
  EXPECT_FALSE(dialog->fields().m_bDeviceReady);
  EXPECT_TRUE(dialog->pollDevice());
  EXPECT_EQ(text(kIdDeviceLine), "设备ID：7  前台");
  EXPECT_TRUE(dialog->fields().m_bDeviceReady);
  EXPECT_EQ(cloud.posts().back().payload,
            "{\n   \"branch_id\" : 4,\n   \"club_id\" : 3,\n   \"device_id\" : \"7\"\n}\n");
  // A ready device asks the cloud once per number.
  EXPECT_TRUE(dialog->pollDevice());
  EXPECT_EQ(cloud.posts().size(), 2u);
  EXPECT_EQ(fvplat::MessageBoxLog().size(), 2u);
}

TEST_F(DeviceCheck, TheWorkerChecksEveryTwoSecondsAndCapturesOnlyWhenReady) {
  dialog->update([](DialogFields& f) { f.m_clubId = 3; f.m_branchId = 4; });
  device.state = 3;
  device.captures.push_back("s1");
  dialog->worker()->turn();
  EXPECT_TRUE(cloud.posts().empty()) << "the first check comes two seconds after the start";
  EXPECT_EQ(device.grabs, 0);
  clock.clock().Advance(1999);
  dialog->worker()->turn();
  EXPECT_TRUE(cloud.posts().empty());
  clock.clock().Advance(1);
  cloud.script("v1/fv/signKqFv", reply(1, 1, 1, 1));
  dialog->worker()->turn();
  EXPECT_TRUE(dialog->fields().m_bDeviceReady);
  EXPECT_EQ(device.grabs, 1) << "ready in this turn, so this turn captures";
}

TEST_F(DeviceCheck, WithNoNumberReadYetTheIdleStateHidesTheDeviceLine) {
  device.number = -1;
  dialog->resetUi();
  EXPECT_FALSE(visible(kIdDeviceLine));
}

}  // namespace
}  // namespace torvane::testing
