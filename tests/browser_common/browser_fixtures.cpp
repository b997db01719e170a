#include "browser_fixtures.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>

namespace fvbtest {
namespace fs = std::filesystem;

TempFolder::TempFolder() {
  std::string pattern = (fs::temp_directory_path() / "fvbrowser-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code error;
  fs::remove_all(path_, error);
}

void TempFolder::write(const std::string& name, const std::string& text) const {
  std::ofstream(path_ / name, std::ios::binary) << text;
}

CurrentFolder::CurrentFolder(const fs::path& folder) : previous_(fs::current_path()) {
  fs::current_path(folder);
}

CurrentFolder::~CurrentFolder() {
  fs::current_path(previous_);
}

CapturedLog::CapturedLog(fvbrowser::Flavour flavour)
    : log_(std::make_shared<fvbrowser::LogFile>(folder_.path().string(), "tests", flavour,
                                                [] { return kFixedTime; })) {
  fvbrowser::installLogFile(log_);
}

void InstallQuietLog() {
  fvbrowser::installLogFile(std::make_shared<fvbrowser::LogFile>(
      "", "tests", fvbrowser::Flavour::kControl, [] { return kFixedTime; }));
}

CapturedLog::~CapturedLog() {
  InstallQuietLog();
}

std::string CapturedLog::text() const {
  std::ifstream in(log_->path(), std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

bool CapturedLog::contains(const std::string& line) const {
  return text().find(line) != std::string::npos;
}

namespace {

// No test writes into the user's documents: without a captured log the log has no file, and
// times are those of UTC.
class QuietLog : public ::testing::Environment {
 public:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
    documents_ = std::make_unique<TempFolder>();
    setenv("XDG_DOCUMENTS_DIR", documents_->path().c_str(), 1);
    InstallQuietLog();
  }
  void TearDown() override { documents_.reset(); }

 private:
  std::unique_ptr<TempFolder> documents_;
};

const auto* const kQuietLog = ::testing::AddGlobalTestEnvironment(new QuietLog);

}  // namespace
}  // namespace fvbtest
