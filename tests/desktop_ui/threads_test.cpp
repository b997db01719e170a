#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <thread>

#include "dialog/torvane_dlg.h"
#include "fake_device.h"
#include "fvplatform/clock.h"
#include "fvplatform/message_box.h"
#include "stand_in_cloud.h"

namespace torvane::testing {
namespace {

// The fakes behind one lock, as the worker, the user-interface thread and the test share them.
class LockedDevice final : public DeviceAccess {
 public:
  std::mutex lock;
  FakeDevice fake;
  template <class F>
  auto with(F&& f) {
    std::lock_guard<std::mutex> guard(lock);
    return f(fake);
  }
  bool load() override { return with([](FakeDevice& d) { return d.load(); }); }
  bool isOpen() override { return with([](FakeDevice& d) { return d.isOpen(); }); }
  bool open(int i, HWND w) override { return with([&](FakeDevice& d) { return d.open(i, w); }); }
  int readNumber() override { return with([](FakeDevice& d) { return d.readNumber(); }); }
  int fingerState() override { return with([](FakeDevice& d) { return d.fingerState(); }); }
  bool capture(Bytes& into) override {
    return with([&](FakeDevice& d) {
      // Every placement is a fresh capture of the same finger.
      d.captures.push_back("c");
      return d.capture(into);
    });
  }
  bool quality(const Bytes& b, QualityMeasures& q) override { return with([&](FakeDevice& d) { return d.quality(b, q); }); }
  bool match(const Bytes& b, const Bytes& m, float& s) override { return with([&](FakeDevice& d) { return d.match(b, m, s); }); }
  bool buildModel(const std::array<Bytes, 3>& i, Bytes& m) override { return with([&](FakeDevice& d) { return d.buildModel(i, m); }); }
  void setLed(int l, int o) override { with([&](FakeDevice& d) { d.setLed(l, o); return 0; }); }
};

TEST(DialogThreads, WorkerUserInterfaceAndRequestThreadShareTheDialogSafely) {
  fvplat::ScopedFakeClock clock;
  fvplat::MessageBoxPolicy previous = fvplat::SetMessageBoxPolicy(fvplat::AnswerAtOnce(IDOK));
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("torvane-threads-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  LockedDevice device;
  device.with([](FakeDevice& d) { d.scores["c"] = 0.9f; return 0; });
  StandInCloud& cloud = StandInCloud::shared();  // answers plainly: every enrolment is accepted
  {
    CTorvaneDlg dialog(device, cloud.client);
    dialog.update([](DialogFields& f) { f.m_clubId = 1; f.m_branchId = 1; });
    ASSERT_TRUE(dialog.Create(folder.string(), true));
    std::atomic<bool> done{false};
    // The local HTTP thread: enrolment requests and outcome reads.
    std::thread requests([&] {
      for (int i = 1; !done; ++i) {
        EnrolRequest r;
        r.collectId = i;
        r.name = "名字" + std::to_string(i);
        r.clubId = 1;
        r.branchId = 1;
        dialog.storeEnrolRequest(r);
        dialog.bringToFront();
        dialog.beginCollection();
        DialogFields f = dialog.fields();
        if (f.m_lastEnrolledId != 0) dialog.update([](DialogFields& g) { g.m_lastEnrolledId = 0; });
        std::this_thread::yield();
      }
    });
    // This thread is the user-interface thread: it pumps timers and places fingers.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (int i = 0; cloud.server.requests().size() < 40 && std::chrono::steady_clock::now() < giveUp; ++i) {
      device.with([i](FakeDevice& d) { d.state = (i / 3) % 2 ? 3 : 0; return 0; });
      clock.clock().Advance(20);
      fvplat::PumpPending();
      if (i % 50 == 0) fvplat::ClickButton(dialog.item(kIdRestart));
      std::this_thread::sleep_for(std::chrono::milliseconds(1));  // pacing only, no time limit
    }
    done = true;
    requests.join();
    EXPECT_GE(cloud.server.requests().size(), 40u);
  }  // the dialog stops and joins its worker
  fvplat::SetMessageBoxPolicy(previous);
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace torvane::testing
