#pragma once
// A browser with the plug-in loaded from the build, a documents folder of the test's own for
// the plug-in's log, English prompts and no settings files. Pages are made by the tests.

#include <gtest/gtest.h>
#include <json/json.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>

#include "fvplatform/folders.h"
#include "fvplatform/locale.h"
#include "scope_exit.h"
#include "sim_browser/np_host.h"
#include "test_paths.h"

namespace nptest {

inline std::string PluginModule() { return fvtest::ModuleDir() + "/libnpsorvik.so"; }

inline Json::Value Parse(const std::string& text) {
  Json::Value root;
  Json::CharReaderBuilder builder;
  std::string errors;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  reader->parse(text.data(), text.data() + text.size(), &root, &errors);
  return root;
}

// The folders of one test: documents (the log goes under it) and the system folder.
class Folders {
 public:
  Folders() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    root_ = std::filesystem::path(::testing::TempDir()) /
            (std::string("npsorvik_") + info->test_suite_name() + "_" + info->name() + "_" +
             std::to_string(::getpid()));
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_ / "docs");
    std::filesystem::create_directories(root_ / "system");
    ::setenv("XDG_DOCUMENTS_DIR", (root_ / "docs").c_str(), 1);
    fvplat::SetSystemDirectory((root_ / "system").string());
    fvplat::SetSystemLcid(1033);
  }
  ~Folders() { std::filesystem::remove_all(root_); }
  // Every log file's text, in name order.
  std::string LogText() const {
    std::string text;
    const auto folder = root_ / "docs" / "Orvek";
    if (!std::filesystem::exists(folder)) return text;
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
      std::ifstream in(file);
      std::stringstream all;
      all << in.rdbuf();
      text += all.str();
    }
    return text;
  }

 private:
  std::filesystem::path root_;
};

class LoadedPlugin : public ::testing::Test {
 protected:
  // Ends the browser (every page, so every run's worker is joined) when it goes out of scope.
  // The plug-in's stop methods return before the worker ends, so a test whose device handlers or
  // page callbacks use its own locals declares this after them: it goes first, even when an
  // ASSERT returns early.
  auto EndHostBeforeLocals() {
    return fvtest::ScopeExit([this] { host_.reset(); });
  }

  // How the browser loads the module; the Windows sequence unless a suite says otherwise.
  virtual simbrowser::LoadWay Way() const { return simbrowser::LoadWay::kWindows; }
  void SetUp() override { ASSERT_EQ(host_->Load(PluginModule(), Way()), 0); }
  Folders folders_;
  std::unique_ptr<simbrowser::NpHost> host_ = std::make_unique<simbrowser::NpHost>();
};

}  // namespace nptest
