#include "log/log_file.h"

#include <cstdarg>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <vector>

#include "base/shared_instance.h"
#include "fvplatform/folders.h"

namespace fvbrowser {
namespace {

std::recursive_mutex& WriteLock() {
  static std::recursive_mutex lock;
  return lock;
}

SharedInstance<LogFile>& instance() {
  static SharedInstance<LogFile> holder;
  return holder;
}

std::string TimeText(std::time_t when, const char* format) {
  std::tm local{};
  localtime_r(&when, &local);
  char text[64];
  const std::size_t n = std::strftime(text, sizeof text, format, &local);
  return std::string(text, n);
}

std::string VFormat(const char* format, std::va_list args) {
  std::va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (n <= 0) return {};
  std::vector<char> text(static_cast<std::size_t>(n) + 1);
  std::vsnprintf(text.data(), text.size(), format, args);
  return std::string(text.data(), static_cast<std::size_t>(n));
}

std::string ProgramName() {
  char path[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string name(path, n);
  const auto cut = name.find_last_of("\\/");
  return cut == std::string::npos ? name : name.substr(cut + 1);
}

std::string OrvekFolder() {
  char documents[MAX_PATH] = {};
  if (!SHGetSpecialFolderPathA(nullptr, documents, CSIDL_PERSONAL, FALSE)) return {};
  return std::string(documents) + "/Orvek";
}

}  // namespace

LogFile::LogFile(const std::string& folder, std::string programName, Flavour flavour, WallClock now)
    : programName_(std::move(programName)), flavour_(flavour), now_(std::move(now)) {
  if (folder.empty()) return;
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  const std::time_t started = now_();
  path_ = flavour_ == Flavour::kPlugin
              ? folder + "/npsorvik_" + TimeText(started, "%Y%m%d_%H%M%S") + ".log"
              : folder + "/Pellacor_" + TimeText(started, "%Y%m%d") + ".log";
  file_ = std::fopen(path_.c_str(), "a+");
}

LogFile::~LogFile() {
  std::lock_guard<std::recursive_mutex> lock(WriteLock());
  if (file_ != nullptr) std::fclose(file_);
}

void LogFile::writeLine(const std::string& message) {
  std::lock_guard<std::recursive_mutex> lock(WriteLock());
  const std::string time = TimeText(now_(), "%Y-%m-%d %H:%M:%S");
  if (flavour_ == Flavour::kPlugin) {
    std::fprintf(file_, "[%s]", time.c_str());
  } else {
    std::fprintf(file_, "[%s][%s]", programName_.c_str(), time.c_str());
  }
  std::fwrite(message.data(), 1, message.size(), file_);
  std::fputc('\n', file_);
  std::fflush(file_);
}

void LogFile::logFormat(const char* format, ...) {
  if (file_ == nullptr || format == nullptr) return;
  std::va_list args;
  va_start(args, format);
  const std::string message = VFormat(format, args);
  va_end(args);
  writeLine(message);
}

void LogFile::write(const std::string& message, int) {
  if (file_ != nullptr && !message.empty()) {
    writeLine(message);
    return;
  }
  std::lock_guard<std::recursive_mutex> lock(WriteLock());
  std::fwrite(message.data(), 1, message.size(), stdout);
  std::fputc('\n', stdout);
}

std::shared_ptr<LogFile> getLogFile() {
  return instance().get([] {
    return std::make_shared<LogFile>(OrvekFolder(), ProgramName(), flavour(),
                                     [] { return std::time(nullptr); });
  });
}

void holdLogFile() { instance().hold(); }
void releaseLogFile() { instance().release(); }
void installLogFile(std::shared_ptr<LogFile> log) { instance().install(std::move(log)); }

void lockLog() {
  WriteLock().lock();
}
void unlockLog() {
  WriteLock().unlock();
}

void logf(const char* format, ...) {
  const std::shared_ptr<LogFile> log = getLogFile();
  if (!log->hasFile() || format == nullptr) return;
  std::va_list args;
  va_start(args, format);
  const std::string message = VFormat(format, args);
  va_end(args);
  log->logFormat("%s", message.c_str());
}

}  // namespace fvbrowser
