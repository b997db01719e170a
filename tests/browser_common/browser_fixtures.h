#pragma once
// Helpers of the browser workflow's tests: temporary folders, a log with a fixed time and a
// capture of its lines.

#include <filesystem>
#include <memory>
#include <string>

#include "log/log_file.h"

namespace fvbtest {

// A fresh folder, removed with its contents at the end.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }
  void write(const std::string& name, const std::string& text) const;

 private:
  std::filesystem::path path_;
};

// Makes `folder` the current folder for the object's lifetime.
class CurrentFolder {
 public:
  explicit CurrentFolder(const std::filesystem::path& folder);
  ~CurrentFolder();

 private:
  std::filesystem::path previous_;
};

// 2023-11-14 22:13:20 UTC; tests run with TZ=UTC.
inline constexpr std::time_t kFixedTime = 1700000000;

// A log without a file, as every test has unless it captures one.
void InstallQuietLog();

// Installs a log that writes into its own folder at the fixed time, and reads its lines.
class CapturedLog {
 public:
  explicit CapturedLog(fvbrowser::Flavour flavour = fvbrowser::Flavour::kControl);
  ~CapturedLog();
  std::string text() const;
  bool contains(const std::string& line) const;

 private:
  TempFolder folder_;
  std::shared_ptr<fvbrowser::LogFile> log_;
};

}  // namespace fvbtest
