#include "app/torvane_app.h"
#include "dialog_fixture.h"
#include "number_dialog/set_device_id_dlg.h"

namespace torvane::testing {
namespace {

class NumberDialog : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    theApp().m_clubId = 3;
    theApp().m_branchId = 4;
    numbers = std::make_unique<CSetDeviceIdDlg>(device, cloud.client);
    ASSERT_TRUE(numbers->Create());
  }
  void TearDown() override {
    numbers.reset();
    theApp().m_clubId = 0;
    theApp().m_branchId = 0;
    DialogTest::TearDown();
  }
  void submit(const std::string& typed) {
    ASSERT_TRUE(fvplat::TypeText(numbers->item(kIdNumberEdit), typed));
    ASSERT_TRUE(fvplat::ClickButton(numbers->item(kIdSubmit)));
  }
  std::string outcome() { return fvplat::WindowText(numbers->item(kIdOutcome)); }
  bool outcomeShown() { return IsWindowVisible(numbers->item(kIdOutcome)) != FALSE; }

  std::unique_ptr<CSetDeviceIdDlg> numbers;
};

TEST_F(NumberDialog, ItsControlsAsCreatedHidden) {
  EXPECT_FALSE(numbers->visible());
  struct Expect {
    int id;
    const char* text;
    int points;
    bool visible;
  };
  const Expect controls[] = {{kIdTitle, "设置设备ID", 20, true},
                             {kIdLabel, "输入您要设置的ID:", 10, true},
                             {kIdNumberEdit, "", 10, true},
                             {kIdOutcome, "该设备ID属于前台", 10, false},
                             {kIdSubmit, "提交", 0, true}};
  for (const Expect& e : controls) {
    fvplat::ControlState state;
    ASSERT_TRUE(fvplat::ReadControl(numbers->item(e.id), &state)) << e.id;
    EXPECT_EQ(state.text, e.text) << e.id;
    EXPECT_EQ(state.visible, e.visible) << e.id;
    if (e.points != 0) {
      EXPECT_EQ(state.font.face, "微软雅黑");
      EXPECT_EQ(state.font.points, e.points) << e.id;
    }
  }
  fvplat::ControlState submitButton;
  fvplat::ReadControl(numbers->item(kIdSubmit), &submitButton);
  EXPECT_EQ(submitButton.bitmap, 138);
  EXPECT_EQ(numbers->OnCtlColor(numbers->item(kIdOutcome)), RGB(241, 114, 126));
  EXPECT_EQ(numbers->OnCtlColor(numbers->item(kIdNumberEdit)), RGB(51, 51, 51));
}

TEST_F(NumberDialog, AnEleventhDigitLeavesTheFirstTen) {
  ASSERT_TRUE(fvplat::TypeText(numbers->item(kIdNumberEdit), "12345678901"));
  EXPECT_EQ(fvplat::WindowText(numbers->item(kIdNumberEdit)), "1234567890");
  ASSERT_TRUE(fvplat::TypeText(numbers->item(kIdNumberEdit), "1234567890"));
  EXPECT_EQ(fvplat::WindowText(numbers->item(kIdNumberEdit)), "1234567890");
}

TEST_F(NumberDialog, EveryOutcomeOfASubmission) {
  struct Case {
    const char* what;
    const char* typed;
    const char* reply;       // nullptr: the stand-in's plain answer (accepted, "前台")
    bool plugged;
    const char* shown;       // nullptr: the outcome line stays hidden
    int written;             // the number in the device afterwards
    bool asked;              // the cloud was asked
  };
  const Case cases[] = {
      {"four digits are ignored", "1234", nullptr, true, nullptr, 7, false},
      {"five digits are submitted", "12345", nullptr, true, "ID设置成功，此设备为前台", 12345, true},
      {"the largest 32-bit number", "2147483647", nullptr, true, "ID设置成功，此设备为前台", 2147483647, true},
      {"beyond 32 bits is refused", "2147483648", nullptr, true, "ID设置出错了，请检查ID是否输入有误", 7, false},
      {"ten nines are refused", "9999999999", nullptr, true, "ID设置出错了，请检查ID是否输入有误", 7, false},
      {"the cloud refuses", "12345", R"({"result":0})", true, "ID设置出错了，请检查ID是否输入有误", 7, true},
      {"result as a string", "12345", R"({"result":"1"})", true, "ID设置出错了，请检查ID是否输入有误", 7, true},
      {"unparsable reply", "12345", "raw:???", true, nullptr, 7, true},
      {"device unplugged", "12345", nullptr, false, "ID设置失败，请检查设备是否连接正常", 7, true},
      {"the name is decoded", "55555", R"({"result":1,"name":"%E5%90%8E%E5%8F%B0"})", true,
       "ID设置成功，此设备为后台", 55555, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    restart();
    if (c.reply) cloud.script("v1/fv/checkKqDeviceId", c.reply);
    device.setNumberSucceeds = c.plugged;
    submit(c.typed);
    EXPECT_EQ(outcomeShown(), c.shown != nullptr);
    if (c.shown) {
      EXPECT_EQ(outcome(), c.shown);
    }
    EXPECT_EQ(device.number, c.written);
    EXPECT_EQ(cloud.posts().size(), c.asked ? 1u : 0u);
    if (c.asked) {
      EXPECT_EQ(cloud.posts()[0].path, "v1/fv/checkKqDeviceId");
      EXPECT_EQ(cloud.posts()[0].payload, "{\n   \"branch_id\" : 4,\n   \"club_id\" : 3,\n   \"device_id\" : \"" +
                                              std::string(c.typed) + "\"\n}\n");
    }
  }
}

TEST_F(NumberDialog, WithoutClubAndBranchItAsksForTheManagementPage) {
  for (auto clear : {+[] { theApp().m_clubId = 0; }, +[] { theApp().m_branchId = 0; }}) {
    restart();
    clear();
    submit("12345");
    EXPECT_TRUE(outcomeShown());
    EXPECT_EQ(outcome(), "请先打开TorvaneSAAS管理系统");
    EXPECT_TRUE(cloud.posts().empty());
  }
}

TEST_F(NumberDialog, ClosingItBringsTheMainWindowBack) {
  numbers->show();
  ShowWindow(dialog->window(), SW_HIDE);
  SendMessageA(numbers->window(), WM_SYSCOMMAND, SC_CLOSE | 0x2, 0);  // low bits are the system's
  EXPECT_FALSE(numbers->visible());
  EXPECT_TRUE(IsWindowVisible(dialog->window()));
  numbers->show();
  SendMessageA(numbers->window(), WM_SYSCOMMAND, 0xF020, 0);  // minimise: not a close
  EXPECT_TRUE(numbers->visible());
}

}  // namespace
}  // namespace torvane::testing
