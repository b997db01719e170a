// Binding the device library by name: a library lacking one name is refused whole, a later call
// tries again, and the wrappers keep their buffer rules.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "base/flavour_testing.h"
#include "binding/device_library.h"
#include "browser_fixtures.h"
#include "fake_dravex.h"
#include "fvplatform/debug_output.h"
#include "fvplatform/message_box.h"
#include "fvplatform/module.h"
#include "scope_exit.h"

namespace {

using fvbrowser::DeviceLibrary;
using fvbrowser::Entry;

std::string CaptureDebug(const std::function<void()>& body) {
  std::string text;
  auto previous = fvplat::SetDebugOutputSink([&](std::string_view t) { text += t; });
  body();
  fvplat::SetDebugOutputSink(std::move(previous));
  return text;
}

TEST(Binding, NamesAndOrderMatchTheBrowserList) {
  std::vector<std::string> names;
  for (int i = 0; i < fvbrowser::kEntryCount; ++i)
    names.push_back(fvbrowser::entryName(static_cast<Entry>(i)));
  std::vector<std::string> listed;
  std::ifstream in(std::string(FV_SOURCE_DIR_FOR_TESTS) + "/tests/exports/browser_binding.txt");
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line[0] != '#') listed.push_back(line);
  }
  EXPECT_EQ(names, listed);
}

TEST(Binding, LibraryLackingTheLastNameIsRefusedWhole) {
  DeviceLibrary library;
  int result = -1;
  const std::string debug =
      CaptureDebug([&] { result = library.bindEntryPoints(LACKING_DIR "/libDravex.so"); });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(debug, "fun #name  not find.\n");
  EXPECT_NE(library.entry<FARPROC>(Entry::fv_user_del), nullptr) << "names before it are bound";
  EXPECT_EQ(library.entry<FARPROC>(Entry::fv_index_addUser), nullptr);
  DeviceLibrary missing;
  EXPECT_EQ(CaptureDebug([&] { EXPECT_EQ(missing.bindEntryPoints("NoSuchLibrary.dll"), 0); }), "")
      << "a library that does not load fails without a message";
}

TEST(Binding, UnboundWrappersAnswerZero) {
  DeviceLibrary& none = fvbrowser::boundDeviceLibrary();  // nothing bound yet in this program
  std::vector<std::uint8_t> frame, model;
  int quality = 7, position = 7;
  float score = 7;
  EXPECT_EQ(none.open(0, nullptr), 0);
  EXPECT_EQ(none.isOpen(), 0);
  EXPECT_EQ(none.close(), 0);
  EXPECT_EQ(none.grab(frame), 0);
  EXPECT_EQ(none.quality(frame, quality), 0);
  EXPECT_EQ(none.getState(), 0);
  EXPECT_EQ(none.setLed(1, 0), 0);
  EXPECT_EQ(none.extractModel(frame, {}, {}, model), 0);
  EXPECT_EQ(model.size(), 3352u);
  EXPECT_EQ(none.match(frame, model, score), 0);
  EXPECT_EQ(none.index(model, 1, frame, position, score), 0);
  EXPECT_EQ(none.getCount(), 0);
  EXPECT_EQ(quality, 7);
  EXPECT_EQ(score, 7);
}

// Runs before any case of this program binds the process-wide library (cases run in the order
// written, or each alone).
TEST(Binding, FailedBindIsRetriedAndThePluginSaysSo) {
  fvbrowser::testing::ScopedFlavour plugin(fvbrowser::Flavour::kPlugin);
  std::vector<fvplat::MessageBoxCall> boxes;
  auto previous = fvplat::SetMessageBoxPolicy([&](const fvplat::MessageBoxCall& box) {
    boxes.push_back(box);
    return 1;
  });
  const fvtest::ScopeExit restore([&] { fvplat::SetMessageBoxPolicy(std::move(previous)); });
  setenv(fvplat::kModuleDirEnv, LACKING_DIR, 1);
  EXPECT_EQ(fvbrowser::getDeviceLibrary(), nullptr);
  EXPECT_EQ(fvbrowser::getDeviceLibrary(), nullptr);
  ASSERT_EQ(boxes.size(), 2u) << "a box at every failed bind";
  EXPECT_EQ(boxes[0].text, "Dravex.dll加载失败!");
  EXPECT_EQ(boxes[0].caption, "");
  EXPECT_EQ(boxes[0].owner, nullptr);
  EXPECT_EQ(boxes[0].type, MB_OK);
  setenv(fvplat::kModuleDirEnv, FAKE_DIR, 1);
  DeviceLibrary* bound = fvbrowser::getDeviceLibrary();
  ASSERT_NE(bound, nullptr);
  EXPECT_EQ(fvbrowser::getDeviceLibrary(), bound);
  EXPECT_EQ(&fvbrowser::boundDeviceLibrary(), bound);
  EXPECT_EQ(boxes.size(), 2u);
  unsetenv(fvplat::kModuleDirEnv);
}

class Wrappers : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv(fvplat::kModuleDirEnv, FAKE_DIR, 1);  // also when a case runs alone
    library_ = fvbrowser::getDeviceLibrary();
    ASSERT_NE(library_, nullptr);
  }
  void TearDown() override { fakedrx::reset(); }
  DeviceLibrary* library_ = nullptr;
};

TEST_F(Wrappers, GrabCutsToTheLengthOrKeepsTheWholeBuffer) {
  const struct {
    fvbrowser::Flavour flavour;
    std::size_t size;
  } builds[] = {{fvbrowser::Flavour::kControl, 78000}, {fvbrowser::Flavour::kPlugin, 780000}};
  for (const auto& build : builds) {
    fvbrowser::testing::ScopedFlavour scoped(build.flavour);
    std::vector<std::uint8_t> frame;
    fakedrx::Handlers h;
    h.grab = [](fakedrx::Bytes&) { return false; };
    fakedrx::install(h);
    EXPECT_EQ(library_->grab(frame), 0);
    EXPECT_EQ(frame.size(), build.size);
    h.grab = [](fakedrx::Bytes& f) {
      f = {1, 2, 3};
      return true;
    };
    fakedrx::install(h);
    EXPECT_EQ(library_->grab(frame), 1);
    EXPECT_EQ(frame, (std::vector<std::uint8_t>{1, 2, 3}));
    h.grab = [](fakedrx::Bytes& f) {
      f.clear();
      return true;
    };
    fakedrx::install(h);
    EXPECT_EQ(library_->grab(frame), 1);
    EXPECT_TRUE(frame.empty()) << "a frame of 0 bytes leaves the buffer empty";
  }
}

TEST_F(Wrappers, CallsPassTheirArgumentsAndResults) {
  fakedrx::Handlers h;
  h.fingerState = [] { return 3; };
  h.quality = [](const fakedrx::Bytes& blob, int& q) {
    q = blob.size() == 2 ? 2003 : 0;
    return 1;
  };
  h.match = [](const fakedrx::Bytes&, const fakedrx::Bytes& model, float& s) {
    s = model[0] / 10.0f;
    return 1;
  };
  h.index = [](const std::vector<fakedrx::Bytes>& models, const fakedrx::Bytes&, int& p, float& s) {
    p = static_cast<int>(models.size()) - 1;
    s = 0.7f;
    return 1;
  };
  h.count = [] { return 2; };
  fakedrx::install(h);
  const std::vector<std::uint8_t> blob = {9, 9};
  int quality = -1;
  EXPECT_EQ(library_->quality(blob, quality), 1);
  EXPECT_EQ(quality, 2003);
  EXPECT_EQ(library_->getState(), 3);
  std::vector<std::uint8_t> model;
  EXPECT_EQ(library_->extractModel(blob, {}, blob, model), 1);
  ASSERT_EQ(model.size(), 3352u);
  EXPECT_EQ(model[0], 9);
  float score = 0;
  EXPECT_EQ(library_->match(blob, model, score), 1);
  EXPECT_FLOAT_EQ(score, 0.9f);
  EXPECT_EQ(library_->match(blob, std::vector<std::uint8_t>(3351), score), 0) << "short template";
  std::vector<std::uint8_t> models(3 * 3352);
  int position = -1;
  EXPECT_EQ(library_->index(models, 3, blob, position, score), 1);
  EXPECT_EQ(position, 2);
  EXPECT_EQ(library_->index(models, 4, blob, position, score), 0) << "fewer templates than counted";
  EXPECT_EQ(library_->getCount(), 2);
  EXPECT_EQ(library_->setLed(0, 1), 1);
  EXPECT_EQ(library_->open(0, nullptr), 1);
  EXPECT_EQ(library_->close(), 1);
  EXPECT_EQ(fakedrx::calls(),
            (std::vector<std::string>{"quality", "state", "extract(2,0,2)", "match", "index(3)",
                                      "count", "led(0,1)", "open(0)", "backlight_off", "close"}));
}

}  // namespace
