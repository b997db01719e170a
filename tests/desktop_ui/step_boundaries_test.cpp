// What a step or an outcome of the worker may not do to the desk: a step that throws ends as a
// failed outcome with its timers, a photo address of any length shows, an enrolment's late
// outcome leaves the next enrolment alone, and the worker runs before the update check.

#include <functional>
#include <stdexcept>

#include "bounded_wait.h"
#include "dialog_fixture.h"
#include "fvplatform/debug_output.h"
#include "photo/member_photo.h"
#include "update/update_check.h"

namespace torvane::testing {
namespace {

// The program's own cloud client with a hook that runs while an enrolment's upload is under way,
// as the page's next request would meanwhile.
class CloudDuringUpload final : public CloudAccess {
 public:
  explicit CloudDuringUpload(CloudAccess& inner) : m_inner(inner) {}
  std::function<void()> duringUpload;
  std::string encrypt(const std::string& json) override { return m_inner.encrypt(json); }
  std::string decrypt(const std::string& reply) override { return m_inner.decrypt(reply); }
  std::string postJson(const std::string& json, const std::string& path) override {
    return m_inner.postJson(json, path);
  }
  std::string postIdentify(const std::string& payload, const std::string& imagePath, int flag) override {
    return m_inner.postIdentify(payload, imagePath, flag);
  }
  std::string postEnrolment(const std::string& payload, const std::array<std::string, 3>& imagePaths,
                            bool employee) override {
    if (duringUpload) duringUpload();
    return m_inner.postEnrolment(payload, imagePaths, employee);
  }

 private:
  CloudAccess& m_inner;
};

class Boundaries : public DialogTest {
 protected:
  // The dialog again, on `access` and with the member photo drawing for it.
  void remake(CloudAccess& access) {
    dialog.reset();
    DialogHooks hooks;
    hooks.showPhoto = [this](HWND target, const std::string& url, int x, int y, int w, int h, int id) {
      photo->show(target, url, x, y, w, h, id);
    };
    dialog = std::make_unique<CTorvaneDlg>(device, access, hooks);
    ASSERT_TRUE(dialog->Create(folder.string(), false));
  }
  void SetUp() override {
    DialogTest::SetUp();
    photo = std::make_unique<MemberPhoto>(folder.string());
  }
  void TearDown() override {
    photo.reset();  // its downloads end before the dialog goes
    DialogTest::TearDown();
  }
  bool minimised() { return IsIconic(dialog->window()) != FALSE; }

  std::unique_ptr<MemberPhoto> photo;
};

TEST_F(Boundaries, ASignInsOutcomeMinimisesTheWindowAfterOneAndAHalfSecondsWhateverItsPhoto) {
  const std::string longName(300, 'n');
  for (const std::string& image : {std::string("m/a.png"), "m/" + longName + ".png", "http://h/" + longName}) {
    SCOPED_TRACE(image.size());
    restart();
    remake(cloud.client);
    makeReady();
    cloud.script("v1/fv/signKqFv", R"({"result":1,"signed":1,"inOut":1,"quality":0.9,"memberInfo":{"member_id":77,"image":")" +
                                       image + "\"}}");
    place("s1");
    EXPECT_EQ(text(kIdResult), "欢迎光临");
    EXPECT_FALSE(minimised());
    wait(1499);
    EXPECT_FALSE(minimised());
    EXPECT_TRUE(visible(kIdResult));
    wait(1);
    EXPECT_TRUE(minimised()) << "timer 1 ran";
    EXPECT_FALSE(visible(kIdResult));
    EXPECT_TRUE(visible(kIdIdlePicture));
    photo->stopDownloads();
  }
}

TEST_F(Boundaries, AStepThatThrowsEndsAsAFailedOutcomeWithItsTimers) {
  struct Case {
    const char* what;
    bool enrolling;
    const char* shown;
  };
  const Case cases[] = {{"sign-in", false, "签到失败"}, {"enrolment", true, "此手指注册失败"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    restart();
    makeReady();
    if (c.enrolling) startEnrolment(42);
    device.onCapture = [] { throw std::runtime_error("device library failed"); };
    std::string debugger;
    fvplat::DebugSink previous = fvplat::SetDebugOutputSink([&](std::string_view line) { debugger += line; });
    EXPECT_NO_THROW(place("s1"));
    const std::uint64_t at = clock.clock().NowMs();
    fvplat::SetDebugOutputSink(previous);
    EXPECT_NE(debugger.find("capture worker: device library failed\n"), std::string::npos) << debugger;
    EXPECT_EQ(text(kIdResult), c.shown);
    EXPECT_FALSE(dialog->fields().m_bCollecting) << "the enrolment ended with its text";
    ASSERT_FALSE(device.leds.empty());
    EXPECT_EQ(device.leds.back(), (LedCall{0, 0, device.leds.back().atMs}));
    device.onCapture = nullptr;
    device.captures.push_back("s2");
    dialog->worker()->turn();
    EXPECT_EQ(device.grabs, 1) << "the finger must leave before the next capture";
    // LED back on after 1 s, the window minimised after 1.5 s.
    const std::uint64_t ledsBefore = device.leds.size();
    wait(1000);
    ASSERT_EQ(device.leds.size(), ledsBefore + 1);
    EXPECT_EQ(device.leds.back(), (LedCall{1, 0, at + 1000}));
    wait(499);
    EXPECT_FALSE(minimised());
    wait(1);
    EXPECT_TRUE(minimised());
  }
}

TEST_F(Boundaries, AnEnrolmentsLateOutcomeLeavesTheNextEnrolmentAlone) {
  struct Case {
    const char* what;
    const char* reply;
    int lastEnrolled;
  };
  const Case cases[] = {{"accepted", R"({"result":1})", 42},
                        {"refused", R"({"result":9})", 0},
                        {"already has the finger", R"({"result":4})", 0},
                        {"server failed", "status500", 0},
                        {"no answer", "dropped", 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    restart();
    CloudDuringUpload access(cloud.client);
    remake(access);
    makeReady();
    startEnrolment(42);
    device.scores = {{"c2", 0.8f}, {"c3", 0.8f}, {"d2", 0.8f}};
    place("c1");
    lift();
    place("c2");
    lift();
    cloud.script("v1/fv/addKqFv", c.reply);
    // The page starts the next enrolment while the upload of the first is on its way.
    access.duringUpload = [this] {
      startEnrolment(43);
      device.captures.push_back("d1");
    };
    place("c3");
    access.duringUpload = nullptr;
    DialogFields f = dialog->fields();
    EXPECT_TRUE(f.m_bCollecting) << "the next enrolment goes on";
    EXPECT_EQ(f.m_collectId, 43);
    EXPECT_EQ(f.m_lastEnrolledId, c.lastEnrolled) << "the first one's outcome is kept for its poll";
    EXPECT_FALSE(visible(kIdResult));
    EXPECT_FALSE(visible(kIdSuccessText));
    EXPECT_EQ(text(kIdPrompt), "采集中...");
    wait(1500);
    EXPECT_FALSE(minimised());
    EXPECT_TRUE(dialog->fields().m_bCollecting);
    // Its first capture is taken once the finger has left.
    lift();
    device.state = 3;
    dialog->worker()->turn();
    EXPECT_EQ(dialog->fields().captureCount, 1);
    EXPECT_EQ(cloud.posts().back().path, "v1/fv/authKqFv");
    dialog.reset();  // before `access`
  }
}

TEST(WorkerAndUpdate, TheWorkerRunsBeforeTheUpdateCheck) {
  fvplat::ScopedFakeClock clock;
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("torvane-start-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  StandInCloud& cloud = StandInCloud::shared();
  cloud.server.push("v1/app/checkUpdate", simcloud::ScriptedReply::Never());
  FakeDevice device;  // read by the worker alone while it runs
  std::unique_ptr<Updater> updater;
  bool workerCheckedFirst = false;
  DialogHooks hooks;
  hooks.checkForUpdate = [&] {
    // The worker's first device check asks the cloud about the number.
    workerCheckedFirst = fvtest::WaitUntil([&] { return !cloud.server.requests().empty(); }, std::chrono::seconds(10));
    updater->checkInBackground();
  };
  {
    CTorvaneDlg dialog(device, cloud.client, hooks);
    dialog.update([](DialogFields& f) { f.m_clubId = 3; f.m_branchId = 4; });
    updater = std::make_unique<Updater>(dialog, UpdateHooks{});
    ASSERT_TRUE(dialog.Create(folder.string(), true));
    EXPECT_TRUE(workerCheckedFirst);
    const std::vector<simcloud::ReceivedRequest> first = cloud.server.requests();
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first.front().path, "v1/fv/checkKqDeviceId");
    cloud.server.releaseHeldReplies();
    updater.reset();
  }
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace torvane::testing
