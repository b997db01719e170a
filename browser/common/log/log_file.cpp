#include "log/log_file.h"

#include <algorithm>
#include <cstdarg>
#include <filesystem>
#include <mutex>
#include <system_error>

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

// A formatted message: as much of its start as a line holds, and its full length.
struct Formatted {
  std::string text;
  std::size_t length = 0;
};

Formatted VFormat(const char* format, std::va_list args) {
  char buffer[kMaxLogLineBytes + 1];
  const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  if (n <= 0) return {};
  const std::size_t length = static_cast<std::size_t>(n);
  return {std::string(buffer, std::min(length, kMaxLogLineBytes)), length};
}

// The line's text: the message itself, or its start and the mark of the cut.
std::string LineText(std::string_view text, std::size_t length) {
  if (length <= kMaxLogLineBytes) return std::string(text.substr(0, length));
  char mark[64];
  const int n = std::snprintf(mark, sizeof mark, " ...[%zu bytes, cut]", length);
  std::size_t keep = std::min(text.size(), kMaxLogLineBytes - static_cast<std::size_t>(n));
  // Back to the start of the character that would be split.
  while (keep > 0 && keep < text.size() && (static_cast<unsigned char>(text[keep]) & 0xC0) == 0x80) {
    --keep;
  }
  return std::string(text.substr(0, keep)) + mark;
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

void LogFile::writeLine(std::string_view text, std::size_t length) {
  const std::string message = LineText(text, length);
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
  std::va_list args;
  va_start(args, format);
  logVFormat(format, args);
  va_end(args);
}

void LogFile::logVFormat(const char* format, std::va_list args) {
  if (file_ == nullptr || format == nullptr) return;
  const Formatted message = VFormat(format, args);
  writeLine(message.text, message.length);
}

void LogFile::write(const std::string& message, int) {
  if (file_ != nullptr && !message.empty()) {
    writeLine(message, message.size());
    return;
  }
  const std::string line = LineText(message, message.size());
  std::lock_guard<std::recursive_mutex> lock(WriteLock());
  std::fwrite(line.data(), 1, line.size(), stdout);
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
  log->logVFormat(format, args);
  va_end(args);
}

}  // namespace fvbrowser
