#pragma once
// The browser modules' process-wide log: one file a day for the control ("Pellacor_%Y%m%d.log",
// lines "[program][time]text"), one a start for the plug-in ("npsorvik_%Y%m%d_%H%M%S.log",
// lines "[time]text"), in "Orvek" under the user's documents. Each line is written and flushed
// under one process-wide lock, so lines of several threads never interleave.

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "base/flavour.h"

namespace fvbrowser {

// A line's text (after its time) holds at most this many bytes: a longer one keeps its start
// and ends with the mark " ...[<full length> bytes, cut]", never inside a UTF-8 character.
inline constexpr std::size_t kMaxLogLineBytes = 4096;

class LogFile {
 public:
  using WallClock = std::function<std::time_t()>;

  // Opens the file of `flavour` in `folder` (created when missing); without a folder, or when
  // the file cannot be opened, the log has no file.
  LogFile(const std::string& folder, std::string programName, Flavour flavour, WallClock now);
  ~LogFile();
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;

  void logFormat(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void logVFormat(const char* format, std::va_list args);
  // The message unchanged as one line; to standard output when there is no file.
  void write(const std::string& message, int unused = 0);

  bool hasFile() const { return file_ != nullptr; }
  const std::string& path() const { return path_; }

 private:
  // `text` is the start of a message of `length` bytes, at least as much as a line holds.
  void writeLine(std::string_view text, std::size_t length);

  std::string programName_;
  Flavour flavour_;
  WallClock now_;
  std::string path_;
  std::FILE* file_ = nullptr;
};

// The instance, made on first use in the documents folder. A caller keeps the returned
// pointer for as long as it writes, so a release elsewhere never pulls it away mid-line.
std::shared_ptr<LogFile> getLogFile();
// Front-end instances hold the log for their lifetime: the file closes when the last one
// lets go (a release without a hold drops it at once). The next use opens a new one.
void holdLogFile();
void releaseLogFile();
// Replaces the instance (tests: a fixed folder and time); null drops it.
void installLogFile(std::shared_ptr<LogFile> log);

void lockLog();
void unlockLog();

// Shorthand for getLogFile()->logFormat(...).
void logf(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace fvbrowser
