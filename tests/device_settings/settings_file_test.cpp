// The settings file as opens read it, through the shared library on the simulated device.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "dravex.h"
#include "fvplatform/clock.h"
#include "fvplatform/module.h"
#include "sim_device/sim_device.h"

namespace {

namespace fs = std::filesystem;

bool WaitFor(const std::function<bool()>& done) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return true;
}

class SettingsBesideTheProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    // The test processes of this program share the file beside it: one at a time.
    lock_ = ::open((fs::path(fvplat::ProgramDirectory()) / "settings.lock").c_str(),
                   O_CREAT | O_RDWR | O_CLOEXEC, 0644);
    ASSERT_GE(lock_, 0);
    ::flock(lock_, LOCK_EX);
    fvsim_reset();
    fvsim_plug_type(1);
    root_ = fs::temp_directory_path() / ("fv_settings_store_" + std::to_string(::getpid()));
    fs::create_directories(root_);
  }
  void TearDown() override {
    fs::remove(file_);
    fs::remove_all(root_);
    fvsim_reset();
    if (lock_ >= 0) ::close(lock_);
  }
  void Write(const std::string& text) { std::ofstream(file_, std::ios::binary) << text; }

  // One blob of the simulated finger, grabbed from a device opened for it.
  std::vector<unsigned char> GrabBlob() {
    FvDevHandle handle = nullptr;
    EXPECT_EQ(fvdev_open_ex(0, nullptr, &handle), 1);
    fvsim_set_finger(0, 1);
    std::vector<unsigned char> blob(30000);
    unsigned length = 0;
    EXPECT_TRUE(WaitFor([&] {
      length = static_cast<unsigned>(blob.size());
      return fvdev_grab_ex(handle, blob.data(), &length) == 1;
    }));
    blob.resize(length);
    fvsim_set_finger(0, 0);
    fvdev_close_ex(handle);
    return blob;
  }

  fvplat::ScopedFakeClock clock_;
  const fs::path file_ = fs::path(fvplat::ProgramDirectory()) / "Kq_770Seting.ini";
  fs::path root_;
  int lock_ = -1;
};

TEST_F(SettingsBesideTheProgram, ADeeplyNestedFileDoesNotFailTheOpen) {
  Write(std::string(100000, '['));
  FvDevHandle handle = nullptr;
  EXPECT_EQ(fvdev_open_ex(0, nullptr, &handle), 1);
  EXPECT_EQ(isDevOpen_ex(handle), 1);
  EXPECT_EQ(fvdev_close_ex(handle), 1);
}

// Opens on one thread write the settings that identification on another reads.
TEST_F(SettingsBesideTheProgram, OpensReadTheFileWhileTheStoreIdentifies) {
  Write(R"({"Score":"0.6","ModeNum":"5"})");
  const std::vector<unsigned char> blob = GrabBlob();
  ASSERT_FALSE(blob.empty());
  const int length = static_cast<int>(blob.size());
  int count = -1;
  ASSERT_EQ(fv_load_model(root_.c_str(), &count), 1);
  int enrolled = 0;
  ASSERT_EQ(fv_user_add(blob.data(), length, nullptr, 0, nullptr, 0, &enrolled), 1);

  std::atomic<bool> done{false};
  std::thread opener([&] {
    while (!done) {
      FvDevHandle handle = nullptr;
      if (fvdev_open_ex(0, nullptr, &handle) == 1) fvdev_close_ex(handle);
    }
  });
  for (int i = 0; i < 5; ++i) {
    int id = 0;
    float score = 0;
    EXPECT_EQ(fv_user_index(blob.data(), length, &id, 0, &score, 0), 1);
    EXPECT_EQ(id, enrolled);
  }
  done = true;
  opener.join();
}

}  // namespace
