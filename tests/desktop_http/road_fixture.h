#pragma once
// The whole road as a desk runs it: the main dialog with its capture worker on the real device
// library and the simulated device, the cloud stand-in, and the local interface; a finger is put
// on the sensor and taken off again in turns while a page's requests run. Real time; every
// wait is bounded.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

#include "dialog/bitmaps.h"
#include "dialog/torvane_dlg.h"
#include "dravex.h"
#include "fvplatform/message_box.h"
#include "fvplatform/messages.h"
#include "fvplatform/module.h"
#include "ports/library_device.h"
#include "server/user_action.h"
#include "sim_device/sim_device.h"
#include "stand_in_cloud.h"
#include "test_paths.h"

namespace torvane::testing {

class Road : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv(fvplat::kModuleDirEnv, fvtest::ModuleDir().c_str(), 1);
    fvsim_reset();
    ASSERT_EQ(fvsim_plug_type(1), 0);
    fvsim_set_finger(0, 0);
    fvsim_set_finger_seed(0, 4321);
    numberTheDevice(7);
    folder = std::filesystem::temp_directory_path() /
             ("torvane-road-" + std::to_string(::getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    previous = fvplat::SetMessageBoxPolicy(fvplat::AnswerAtOnce(IDOK));
    dialog = std::make_unique<CTorvaneDlg>(device, cloud.client);
    ASSERT_TRUE(dialog->Create(folder.string(), true));
  }
  void TearDown() override {
    server.reset();
    dialog.reset();
    device.close();
    fvsim_reset();
    fvplat::SetMessageBoxPolicy(previous);
    std::filesystem::remove_all(folder);
  }
  // The number a club gave the device before: a parameter block frame with the number in it.
  static void numberTheDevice(std::int32_t number) {
    const unsigned char magic[2] = {0x76, 0x98};
    unsigned char bytes[4];
    std::memcpy(bytes, &number, 4);
    fvsim_set_memory(0, 0, magic, 2);
    fvsim_set_memory(0, 16, bytes, 4);
    fvsim_set_memory(0, 92, reinterpret_cast<const unsigned char*>("1234"), 4);
  }
  void serve(const std::string& port) {
    ServerSettings settings;
    settings.port = port;
    settings.webRoot = folder.string();
    server = std::make_unique<HttpServer>(settings);
    ASSERT_TRUE(runLocalApiServer(*server)) << "the local interface could not listen on port " << port;
    ASSERT_NE(server->port(), 0) << "the local interface has no port";
  }
  // Pumps the dialog's messages (its timers) and moves the finger on and off the sensor until
  // `done` or the limit; false at the limit.
  bool presentFingerUntil(const std::function<bool()>& done, std::chrono::seconds limit) {
    const auto start = std::chrono::steady_clock::now();
    while (!done()) {
      const auto elapsed = std::chrono::steady_clock::now() - start;
      if (elapsed > limit) return false;
      const auto phase = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count() % 2000;
      const bool down = phase < 1200;
      if (down && !fingerDown) ++placements;
      fingerDown = down;
      fvsim_set_finger(0, down ? 1 : 0);
      fvplat::PumpPending();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    fvsim_set_finger(0, 0);
    fingerDown = false;
    return true;
  }
  int placements = 0;  // how often the finger went down
  bool fingerDown = false;

  std::filesystem::path folder;
  LibraryDevice device;
  StandInCloud& cloud = StandInCloud::shared();
  std::unique_ptr<CTorvaneDlg> dialog;
  std::unique_ptr<HttpServer> server;
  fvplat::MessageBoxPolicy previous;
};

}  // namespace torvane::testing
