#pragma once
// The main dialog on the test thread (its user-interface thread) with a fake device library and
// the cloud stand-in on loopback, on the fake clock, with message boxes answered at once. The
// worker is turned by hand.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "dialog/torvane_dlg.h"
#include "fake_device.h"
#include "fvplatform/clock.h"
#include "fvplatform/message_box.h"
#include "stand_in_cloud.h"
#include "worker/capture_worker.h"

namespace torvane::testing {

inline const char* kDeviceReply = R"({"result":1,"name":"%E5%89%8D%E5%8F%B0"})";  // "前台"

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = std::filesystem::temp_directory_path() /
             ("torvane-dialog-" + std::to_string(::getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    previousPolicy = fvplat::SetMessageBoxPolicy(fvplat::AnswerAtOnce(IDOK));
    fvplat::ClearMessageBoxLog();
    dialog = std::make_unique<CTorvaneDlg>(device, cloud.client);
    ASSERT_TRUE(dialog->Create(folder.string(), false));
  }
  void TearDown() override {
    dialog.reset();
    fvplat::SetMessageBoxPolicy(previousPolicy);
    std::filesystem::remove_all(folder);
  }

  // A fresh dialog, device and cloud script, for one case of a table.
  void restart() {
    TearDown();
    device = FakeDevice();
    cloud.reset();
    SetUp();
  }
  // The desk as the page leaves it: club and branch known, device number accepted (the
  // stand-in names every device "前台").
  void makeReady() {
    dialog->update([](DialogFields& f) {
      f.m_clubId = 3;
      f.m_branchId = 4;
    });
    ASSERT_TRUE(dialog->pollDevice());
    ASSERT_TRUE(dialog->fields().m_bDeviceReady);
  }
  void startEnrolment(int id = 42, bool employee = false) {
    EnrolRequest request;
    request.collectId = id;
    request.employee = employee;
    request.name = "张三";
    request.fingerType = 2;
    request.clubId = 3;
    request.branchId = 4;
    dialog->storeEnrolRequest(request);
    ASSERT_TRUE(dialog->beginCollection());
  }
  // A finger placed (state 3) with the given capture, and one worker turn.
  void place(const std::string& capture) {
    device.captures.push_back(capture);
    device.state = 3;
    dialog->worker()->turn();
  }
  void lift() {
    device.state = 0;
    dialog->worker()->turn();
  }
  // Time passes for the user-interface thread: due timers run.
  void wait(std::uint64_t ms) {
    clock.clock().Advance(ms);
    fvplat::PumpPending();
  }
  std::string text(int id) { return fvplat::WindowText(dialog->item(id)); }
  bool visible(int id) { return IsWindowVisible(dialog->item(id)) != FALSE; }

  fvplat::ScopedFakeClock clock;
  std::filesystem::path folder;
  FakeDevice device;
  StandInCloud& cloud = StandInCloud::shared();
  std::unique_ptr<CTorvaneDlg> dialog;
  fvplat::MessageBoxPolicy previousPolicy;
};

}  // namespace torvane::testing
