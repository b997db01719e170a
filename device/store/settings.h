#pragma once
// "Kq_770Seting.ini": the acceptance threshold and the number of templates kept per user.

#include <filesystem>
#include <mutex>

namespace dravex {

inline constexpr const char* kSettingsFileName = "Kq_770Seting.ini";

struct Settings {
  float score = 0.6f;  // acceptance threshold, at least 0.6
  int modeNum = 5;     // templates kept per user, at least 2
};

// Reads `file` over `settings`: a missing, unreadable, ill-shaped or unparsable file (however
// deeply nested) changes nothing; each member present (a number, or a text holding one) replaces
// its value, raised to its floor.
void loadSettings(const std::filesystem::path& file, Settings& settings);

// Settings that one thread reads in (at an open) while others use them (the store's exports).
class SharedSettings {
 public:
  Settings get() const {
    std::lock_guard<std::mutex> lock(lock_);
    return values_;
  }
  void set(const Settings& values) {
    std::lock_guard<std::mutex> lock(lock_);
    values_ = values;
  }

 private:
  mutable std::mutex lock_;
  Settings values_;
};

// Reads `file` over the shared values, as above.
void loadSettings(const std::filesystem::path& file, SharedSettings& settings);

// The process-wide settings, and the file beside the host program that open reads them from.
SharedSettings& processSettings();
std::filesystem::path settingsFilePath();

}  // namespace dravex
