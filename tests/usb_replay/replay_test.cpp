// Sessions recorded on the simulated device and replayed to the libusb driver module under
// umockdev: the device library sees the same device either way.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::vector<std::string> Lines(const fs::path& file) {
  std::ifstream in(file);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class Replay : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("fv_usb_replay_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  static int Run(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // Before a tool run: one still going after two minutes has hung, and is ended (status 124).
  static constexpr const char* kTimeLimit = "timeout -k 5 120 ";
  // Records `variant` on the simulator and replays it; both runs' findings stay in dir_.
  void RecordAndReplay(const std::string& variant) {
    const std::string tool = FV_REPLAY_TOOL;
    const fs::path rec = dir_ / (variant + ".rec");
    ASSERT_EQ(Run(kTimeLimit + tool + " record " + variant + " " + rec.string() + " " +
                  (dir_ / "sim.txt").string() + " " + (dir_ / "sim.urbs").string()),
              0);
    // The backend module and the library load from the tool's folder. Under AddressSanitizer
    // umockdev's preload comes before the sanitizer's runtime, which is sound here.
    const char* asan = std::getenv("ASAN_OPTIONS");
    const std::string env = "ASAN_OPTIONS='" + std::string(asan != nullptr ? asan : "") +
                            ":verify_asan_link_order=0' ";
    EXPECT_EQ(Run(env + kTimeLimit + FV_UMOCKDEV_RUN + " -- " + tool + " replay " + rec.string() +
                  " " + (dir_ / "replay.txt").string() + " " + (dir_ / "replay.urbs").string()),
              0)
        << "every URB matched the recording in order, none left over";
    sim_ = Lines(dir_ / "sim.txt");
    replay_ = Lines(dir_ / "replay.txt");
  }

  fs::path dir_;
  std::vector<std::string> sim_, replay_;
};

TEST_F(Replay, ColdDeviceSessionIsTheSimulatedOne) {
  RecordAndReplay("cold");
  ASSERT_GE(sim_.size(), 8u);
  EXPECT_EQ(sim_[0], "count ok 1");
  EXPECT_EQ(sim_[1], "open ok");
  EXPECT_EQ(sim_[5].rfind("frame 1 ok", 0), 0u) << sim_[5];
  EXPECT_EQ(sim_[6].rfind("frame 2 ok", 0), 0u) << sim_[6];
  EXPECT_EQ(replay_, sim_) << "the same steps, the same frames";
  const auto urbs = Lines(dir_ / "replay.urbs");
  EXPECT_EQ(urbs, Lines(dir_ / "sim.urbs")) << "the same requests in the same order";
  int firmware = 0;
  for (const std::string& u : urbs) firmware += u.find("sent 40a0") != std::string::npos;
  EXPECT_EQ(firmware, 2 + 8192 / 64) << "hold, the image in 64-byte chunks, release";
}

TEST_F(Replay, FaultsEndAsOnTheSimulatedDevice) {
  const struct {
    const char* variant;
    const char* failedStep;
  } cases[] = {{"stall", "info failed"},
               {"short", "parameter block failed"},
               {"unplug", "frame 2 failed"},
               {"unplug-mid", "frame 1 failed"}};  // during a read: it fails, nothing hangs
  for (const auto& c : cases) {
    SCOPED_TRACE(c.variant);
    RecordAndReplay(c.variant);
    bool found = false;
    for (const std::string& line : sim_) found = found || line.rfind(c.failedStep, 0) == 0;
    EXPECT_TRUE(found) << "the simulated device shows the fault";
    EXPECT_EQ(replay_, sim_);
  }
}

}  // namespace
