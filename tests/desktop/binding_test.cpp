// The device library bound by name through the platform loader: stand-in libraries that lack
// one name, one with every name, and the real library.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "binding/device_calls.h"
#include "binding/device_library.h"
#include "binding/entry_points.h"
#include "fvplatform/debug_output.h"
#include "fvplatform/module.h"
#include "test_paths.h"

namespace {

using torvane::Bytes;

std::vector<std::string> BindingList() {
  std::ifstream in(fvtest::SourceDir() + "/tests/exports/desktop_binding.txt");
  std::vector<std::string> names;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line[0] != '#') names.push_back(line);
  }
  return names;
}

// Name and bound state of every entry point, in the program's order.
std::vector<std::pair<std::string, bool>> EntryStates() {
#define STATE(name) {#name, static_cast<bool>(torvane::entry::name)},
  return {TORVANE_ENTRY_POINTS(STATE)};
#undef STATE
}

std::string FakeDir(const std::string& variant) {
  return std::string(FV_FAKE_DRAVEX_DIR) + "/" + variant;
}

// The stand-in's own controls, looked up in the loaded module.
template <typename Fn>
Fn Control(const std::string& variant, const char* name) {
  HMODULE module = LoadLibraryA((FakeDir(variant) + "/libDravex.so").c_str());
  EXPECT_NE(module, nullptr) << variant;
  auto fn = reinterpret_cast<Fn>(GetProcAddress(module, name));
  EXPECT_NE(fn, nullptr) << name;
  return fn;  // the reference taken here keeps the module loaded for the test
}

class DeviceLibraryBinding : public ::testing::Test {
 protected:
  void SetUp() override { torvane::forgetDeviceLibraryForTests(); }
  void TearDown() override {
    torvane::forgetDeviceLibraryForTests();
    unsetenv(fvplat::kModuleDirEnv);
    fvplat::SetDebugOutputSink({});
  }
  static void UseLibraryIn(const std::string& variant) {
    setenv(fvplat::kModuleDirEnv, FakeDir(variant).c_str(), 1);
  }
  void CaptureDebugOutput() {
    fvplat::SetDebugOutputSink([this](std::string_view text) { debug_ += text; });
  }
  std::string debug_;
};

TEST_F(DeviceLibraryBinding, ProgramBindsTheListedNamesInOrder) {
  std::vector<std::string> names;
  for (const auto& [name, bound] : EntryStates()) names.push_back(name);
  EXPECT_EQ(names, BindingList());
  EXPECT_EQ(names.size(), 38u);
}

TEST_F(DeviceLibraryBinding, MissingNameGivesUpTheWholeBindingAndCallsNothing) {
  const struct { const char* variant; const char* missing; } cases[] = {
      {"lacks_first", "fvdev_open"},
      {"lacks_quality_ex", "fv_quality_ex"},
      {"lacks_last", "fv_index_addUser"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.variant);
    torvane::forgetDeviceLibraryForTests();
    debug_.clear();
    CaptureDebugOutput();
    UseLibraryIn(c.variant);
    Control<void (*)()>(c.variant, "fake_reset")();

    EXPECT_EQ(torvane::getDeviceLibrary(), nullptr);
    EXPECT_EQ(debug_, "fun #name  not find.\n") << "once, with the literal #name";
    // Names before the missing one keep their values; it and all after it stay unbound.
    bool before = true;
    for (const auto& [name, bound] : EntryStates()) {
      if (name == c.missing) before = false;
      EXPECT_EQ(bound, before) << name;
    }
    Bytes image = {1, 2, 3};
    std::array<Bytes, 3> images = {Bytes{1}, Bytes{}, Bytes{}};
    Bytes model;
    EXPECT_EQ(torvane::captureImage(image), 0);
    EXPECT_EQ(image, (Bytes{1, 2, 3}));
    EXPECT_EQ(torvane::readDeviceNumber(), -1);
    EXPECT_EQ(torvane::buildModelFromImages(images, model), 0);
    EXPECT_TRUE(model.empty());
    EXPECT_EQ(Control<int (*)()>(c.variant, "fake_calls")(), 0) << "no export was called";
  }
}

TEST_F(DeviceLibraryBinding, NextCallAfterAFailureBindsAgain) {
  UseLibraryIn("lacks_last");
  ASSERT_EQ(torvane::getDeviceLibrary(), nullptr);
  ASSERT_EQ(torvane::getDeviceLibrary(), nullptr) << "still lacking";
  UseLibraryIn("complete");
  torvane::DeviceLibrary* library = torvane::getDeviceLibrary();
  ASSERT_NE(library, nullptr);
  EXPECT_NE(library->module(), nullptr);
  for (const auto& [name, bound] : EntryStates()) EXPECT_TRUE(bound) << name;
  EXPECT_EQ(torvane::getDeviceLibrary(), library) << "bound once";
}

TEST_F(DeviceLibraryBinding, NoLibraryFileIsQuiet) {
  CaptureDebugOutput();
  torvane::DeviceLibrary library;
  EXPECT_EQ(library.bindEntryPoints("/nonexistent/Dravex.dll"), 0);
  EXPECT_EQ(library.module(), nullptr);
  EXPECT_EQ(debug_, "");
}

TEST_F(DeviceLibraryBinding, RealLibraryBindsEveryName) {
  torvane::DeviceLibrary library;
  EXPECT_EQ(library.bindEntryPoints(torvane::kDeviceLibraryFile), 1);
  for (const auto& [name, bound] : EntryStates()) EXPECT_TRUE(bound) << name;
}

TEST_F(DeviceLibraryBinding, ConcurrentFirstCallsShareOneBinding) {
  UseLibraryIn("complete");
  std::vector<torvane::DeviceLibrary*> seen(8);
  std::vector<std::thread> threads;
  for (auto& slot : seen) threads.emplace_back([&slot] { slot = torvane::getDeviceLibrary(); });
  for (auto& thread : threads) thread.join();
  ASSERT_NE(seen[0], nullptr);
  for (auto* library : seen) EXPECT_EQ(library, seen[0]);
}

class DeviceCalls : public DeviceLibraryBinding {
 protected:
  void SetUp() override {
    DeviceLibraryBinding::SetUp();
    UseLibraryIn("complete");
    Control<void (*)()>("complete", "fake_reset")();
    ASSERT_NE(torvane::getDeviceLibrary(), nullptr);
  }
  template <typename Fn>
  static Fn Fake(const char* name) {
    return Control<Fn>("complete", name);
  }
};

TEST_F(DeviceCalls, CaptureImageTakesTheReportedLengthOrNothing) {
  using SetGrab = void (*)(int, const unsigned char*, unsigned, unsigned);
  const Bytes frame(100, 0xAB);
  const struct { int result; unsigned reported; int expected; std::size_t size; } cases[] = {
      {0, 0, 0, 3},            // no new frame: unchanged
      {1, 0, 1, 100},          // the whole frame
      {1, 16, 1, 16},          // what the library reported
      {1, 30000, 1, 30000},    // the whole buffer
      {1, 30001, 0, 3},        // more than the buffer holds: not believed
  };
  for (const auto& c : cases) {
    Fake<SetGrab>("fake_set_grab")(c.result, frame.data(), 100, c.reported);
    Bytes image = {7, 8, 9};
    EXPECT_EQ(torvane::captureImage(image), c.expected) << c.reported;
    EXPECT_EQ(image.size(), c.size) << c.reported;
    if (c.expected == 1) {
      EXPECT_EQ(image[0], 0xAB);
    }
    EXPECT_EQ(Fake<unsigned (*)()>("fake_grab_capacity_seen")(), 30000u);
  }
}

TEST_F(DeviceCalls, ReadDeviceNumberReturnsWhatTheExportWrote) {
  using SetGetno = void (*)(int, int, bool);
  const struct { int result; int value; bool writes; int expected; } cases[] = {
      {1, 7, true, 7}, {0, 9, true, 9}, {1, 5, false, -1}, {1, 0, true, 0}};
  for (const auto& c : cases) {
    Fake<SetGetno>("fake_set_getno")(c.result, c.value, c.writes);
    EXPECT_EQ(torvane::readDeviceNumber(), c.expected) << c.value;
  }
}

TEST_F(DeviceCalls, BuildModelPassesEmptyImagesAsNoData) {
  using Seen = void (*)(const unsigned char**, int*, unsigned*);
  Bytes second = {1, 2};
  second.clear();  // empty, though it still holds storage
  const std::array<Bytes, 3> images = {Bytes(5, 1), second, Bytes(3, 2)};
  for (int result : {1, 0}) {
    Fake<void (*)(int)>("fake_set_extract")(result);
    Bytes model(10, 0);
    EXPECT_EQ(torvane::buildModelFromImages(images, model), result);
    const unsigned char* data[3];
    int lengths[3];
    unsigned modelLength = 0;
    Fake<Seen>("fake_extract_seen")(data, lengths, &modelLength);
    EXPECT_EQ(data[0], images[0].data());
    EXPECT_EQ(data[1], nullptr);
    EXPECT_EQ(data[2], images[2].data());
    EXPECT_EQ(lengths[0], 5);
    EXPECT_EQ(lengths[1], 0);
    EXPECT_EQ(lengths[2], 3);
    EXPECT_EQ(modelLength, 3352u);
    EXPECT_EQ(model, Bytes(3352, 0x5A));
  }
}

}  // namespace
