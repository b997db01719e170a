#pragma once
// "Kq_770Seting.ini": the acceptance threshold and the number of templates kept per user.

#include <filesystem>

namespace dravex {

inline constexpr const char* kSettingsFileName = "Kq_770Seting.ini";

struct Settings {
  float score = 0.6f;  // acceptance threshold, at least 0.6
  int modeNum = 5;     // templates kept per user, at least 2
};

// Reads `file` over `settings`: a missing, unreadable or ill-shaped file changes nothing; each
// member present (a number, or a text holding one) replaces its value, raised to its floor.
void loadSettings(const std::filesystem::path& file, Settings& settings);

// The process-wide settings, and the file beside the host program that open reads them from.
Settings& processSettings();
std::filesystem::path settingsFilePath();

}  // namespace dravex
