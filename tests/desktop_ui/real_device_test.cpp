// The dialog and its worker on the real device library, loaded as the program loads it, with the
// simulated capture device behind the USB port and the cloud stand-in on loopback, answering
// plainly. Real time: the device's own worker makes the frames; every wait is bounded.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "dialog/bitmaps.h"
#include "dialog/torvane_dlg.h"
#include "dravex.h"
#include "fvplatform/message_box.h"
#include "fvplatform/module.h"
#include "ports/library_device.h"
#include "sim_device/sim_device.h"
#include "stand_in_cloud.h"
#include "test_paths.h"
#include "worker/capture_worker.h"

namespace torvane::testing {
namespace {

// Counts the captures the worker took.
class CountingDevice final : public DeviceAccess {
 public:
  LibraryDevice real;
  int captures = 0;
  bool load() override { return real.load(); }
  bool isOpen() override { return real.isOpen(); }
  bool open(int i, HWND w) override { return real.open(i, w); }
  int readNumber() override { return real.readNumber(); }
  int fingerState() override { return real.fingerState(); }
  bool capture(Bytes& into) override {
    bool taken = real.capture(into);
    captures += taken ? 1 : 0;
    return taken;
  }
  bool quality(const Bytes& b, QualityMeasures& q) override { return real.quality(b, q); }
  bool match(const Bytes& b, const Bytes& m, float& s) override { return real.match(b, m, s); }
  bool buildModel(const std::array<Bytes, 3>& i, Bytes& m) override { return real.buildModel(i, m); }
  void setLed(int l, int o) override { real.setLed(l, o); }
};

bool turnUntil(CaptureWorker& worker, const std::function<bool()>& done) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    worker.turn();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

class RealDevice : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv(fvplat::kModuleDirEnv, fvtest::ModuleDir().c_str(), 1);
    fvsim_reset();
    ASSERT_EQ(fvsim_plug_type(1), 0);
    fvsim_set_finger(0, 0);
    folder = std::filesystem::temp_directory_path() / ("torvane-real-" + std::to_string(::getpid()));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    previous = fvplat::SetMessageBoxPolicy(fvplat::AnswerAtOnce(IDOK));
  }
  void TearDown() override {
    dialog.reset();
    fvdev_close();
    fvsim_reset();
    fvplat::SetMessageBoxPolicy(previous);
    std::filesystem::remove_all(folder);
  }

  // Places the finger until the worker has taken a capture the step accepted (the prompt or
  // the result line moved on from `refusal`), then lifts it until the worker has seen it leave.
  void present(std::uint64_t seed, const char* refusal) {
    for (int attempt = 0; attempt < 8; ++attempt) {
      const int before = device.captures;
      fvsim_set_finger_seed(0, seed);
      fvsim_set_finger(0, 1);
      ASSERT_TRUE(turnUntil(*dialog->worker(), [&] { return device.captures > before; }));
      const bool refused = fvplat::WindowText(dialog->item(kIdPrompt)) == refusal ||
                           fvplat::WindowText(dialog->item(kIdResult)) == refusal;
      if (!refused) return;
      fvsim_set_finger(0, 0);
      ASSERT_TRUE(turnUntil(*dialog->worker(), [&] { return device.fingerState() <= 0; }));
    }
    FAIL() << "every placement was refused";
  }
  void lift() {
    fvsim_set_finger(0, 0);
    ASSERT_TRUE(turnUntil(*dialog->worker(), [&] { return device.fingerState() <= 0; }));
    dialog->worker()->turn();
  }

  std::filesystem::path folder;
  CountingDevice device;
  StandInCloud& cloud = StandInCloud::shared();
  std::unique_ptr<CTorvaneDlg> dialog;
  fvplat::MessageBoxPolicy previous;
};

TEST_F(RealDevice, EnrolmentFromThreeCapturesThenASignInOfTheSameFinger) {
  dialog = std::make_unique<CTorvaneDlg>(device, cloud.client);
  ASSERT_TRUE(dialog->Create(folder.string(), false));
  dialog->update([](DialogFields& f) { f.m_clubId = 3; f.m_branchId = 4; });
  dialog->pollDevice();  // opens the device, which may have no number yet
  ASSERT_TRUE(device.isOpen());
  if (device.readNumber() != 7) {
    ASSERT_EQ(fvdev_setno(7), 1);
  }
  ASSERT_TRUE(dialog->pollDevice());
  ASSERT_TRUE(dialog->fields().m_bDeviceReady);
  EXPECT_EQ(fvplat::WindowText(dialog->item(kIdDeviceLine)), "设备ID：7  前台");

  EnrolRequest request;
  request.collectId = 42;
  request.name = "王五";
  request.fingerType = 1;
  request.clubId = 3;
  request.branchId = 4;
  dialog->storeEnrolRequest(request);
  ASSERT_TRUE(dialog->beginCollection());

  const std::uint64_t finger = 1234;
  const char* poor = "此次采集到的数据无效，请将手指尽量贴靠右侧";
  present(finger, poor);
  EXPECT_EQ(fvplat::WindowText(dialog->item(kIdPrompt)), "请松开手后再放置一次");
  lift();
  present(finger, poor);
  EXPECT_EQ(fvplat::WindowText(dialog->item(kIdPrompt)), "请松开手最后放置一次")
      << "the same finger matches the model of capture 1";
  EXPECT_TRUE(writeDialogPicture(*dialog, fvtest::BinaryDir() + "/dialog-enrolment-capture2.png"));
  lift();
  present(finger, poor);
  EXPECT_TRUE(IsWindowVisible(dialog->item(kIdSuccessText)));
  EXPECT_EQ(dialog->fields().m_lastEnrolledId, 42);
  EXPECT_TRUE(writeDialogPicture(*dialog, fvtest::BinaryDir() + "/dialog-enrolment-done.png"));
  const std::vector<std::string> paths = {"v1/fv/checkKqDeviceId", "v1/fv/authKqFv", "v1/fv/addKqFv"};
  EXPECT_EQ(cloud.pathsPosted(), paths);
  const CloudPost enrolment = cloud.posts().back();
  ASSERT_EQ(enrolment.imageBytes.size(), 3u);
  for (std::size_t k = 0; k < 3; ++k) {
    EXPECT_GT(enrolment.imageBytes[k].size(), 1000u) << enrolment.images[k] << ": an image blob as grabbed";
    EXPECT_EQ(enrolment.imageBytes[k].size(), std::filesystem::file_size(enrolment.images[k]));
  }
  EXPECT_EQ(cloud.server.lastEnrolledMember(), 42);
  lift();

  // The stand-in signs in the member it enrolled last.
  present(finger, "请将手指尽量贴靠右侧");
  EXPECT_EQ(cloud.posts().back().path, "v1/fv/signKqFv");
  EXPECT_EQ(cloud.posts().back().imageBytes.size(), 1u);
  EXPECT_EQ(fvplat::WindowText(dialog->item(kIdResult)), "欢迎光临");
  EXPECT_EQ(fvplat::WindowText(dialog->item(kIdName)), "会员姓名：会员42");
  EXPECT_EQ(dialog->fields().m_signedMemberId, 42);
  EXPECT_TRUE(writeDialogPicture(*dialog, fvtest::BinaryDir() + "/dialog-sign-in.png"));
}

}  // namespace
}  // namespace torvane::testing
