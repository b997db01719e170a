#pragma once
// A page with the control whose device library is the scripted stand-in, English prompts, the
// fake clock, and folders of the test's own for the log and the settings.

#include <gtest/gtest.h>
#include <json/json.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

#include "control_fixture.h"
#include "fake_dravex.h"
#include "fvplatform/clock.h"
#include "fvplatform/folders.h"
#include "fvplatform/locale.h"
#include "fvplatform/messages.h"
#include "fvplatform/module.h"

namespace pellacortest {

inline Json::Value ParseJson(const std::string& text) {
  Json::Value root;
  Json::CharReaderBuilder builder;
  std::string errors;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  reader->parse(text.data(), text.data() + text.size(), &root, &errors);
  return root;
}

class ScriptedDevicePage : public RegisteredControl {
 protected:
  static constexpr DISPID kOnTakePicture = 26;

  void SetUp() override {
    folder_ = std::filesystem::path(::testing::TempDir()) /
              ("pellacor_picture_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder_ / "system");
    ::setenv("XDG_DOCUMENTS_DIR", folder_.c_str(), 1);
    ::setenv(fvplat::kModuleDirEnv, FAKE_DIR, 1);
    fvplat::SetSystemDirectory((folder_ / "system").string());
    fvplat::SetSystemLcid(1033);
    fakedrx::reset();
    RegisteredControl::SetUp();
    page_ = std::make_unique<simbrowser::ComContainer>();
    ASSERT_EQ(page_->Create("PELLACOR.PellacorCtrl.1"), S_OK);
  }
  void TearDown() override {
    page_.reset();
    fakedrx::reset();
    fvplat::SetSystemDirectory("");
    fvplat::SetSystemLcid(0);
    std::filesystem::remove_all(folder_);
  }
  // Runs what the control posted to its own window; the events so far.
  std::vector<simbrowser::FiredEvent> EventsAfterPump() {
    page_->RunOnUi([] { fvplat::PumpPending(); });
    return page_->Events();
  }
  void OpenDevice() {
    ASSERT_EQ(page_->CallInt("ORVEK_OpenVeinDev"), 0);
    fakedrx::clearCalls();
  }

  fvplat::ScopedFakeClock clock_;
  std::filesystem::path folder_;
  std::unique_ptr<simbrowser::ComContainer> page_;
};

}  // namespace pellacortest
