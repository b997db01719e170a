#pragma once
// What the page and the installation may change in the browser workflow: captures per finger,
// the finger order, voice prompts, the match threshold and the time limits (the page's settings
// JSON), and the language of the numbered prompts ("FingerSetting.ini" and the language file it
// names). Every read and write goes through one lock, so workers may read while the page writes.

#include <array>
#include <memory>
#include <mutex>
#include <string>

namespace fvbrowser {

inline constexpr const char* kSettingFileName = "FingerSetting.ini";
inline constexpr int kFingerOrderSize = 8;
// "ModelTimeout" and "RecogTimeout" are kept within plus and minus this many seconds (about
// 24.8 days), so that their milliseconds fit an int; a negative limit has passed at once.
inline constexpr int kMaxTimeoutSeconds = 2147483;
using FingerOrder = std::array<int, kFingerOrderSize>;

class FingerSettings {
 public:
  FingerSettings() = default;
  FingerSettings(const FingerSettings&) = delete;
  FingerSettings& operator=(const FingerSettings&) = delete;

  // The page's settings JSON. 1 when the text is not a JSON object or a member has a type that
  // cannot hold its value (nothing changes then); 0 when the members present were applied.
  int parseSettings(const std::string& text);
  // Once per front-end object: the system language, then "FingerSetting.ini" from the current
  // folder or else the system folder, then the language file it names.
  void loadSettingFile();
  // "Version", "FileName", "LanguageType" and the section's "Num1".."Num100" prompt texts.
  // 1 when the text is not a JSON object.
  int parseLanguageFile(const std::string& text);
  void LoadLanguageFile();

  int getTimesPerFinger() const;
  FingerOrder getFingerOrder() const;
  int getPlaySound() const;
  int getFingerNum() const;
  float getThresh() const;
  std::string getVersion() const;
  int getModelTimeout() const;
  int getRecogTimeout() const;
  std::string getFileName() const;
  std::string getLanguageType() const;

 private:
  mutable std::mutex lock_;
  int timesPerFinger_ = 2;
  FingerOrder fingers_ = {2, 3, 5, 6, 1, 4, 0, 0};
  int playSound_ = 1;
  int fingerNum_ = 4;
  float thresh_ = 0.51f;
  std::string version_ = "FVV1102014071715";
  int modelTimeout_ = 60;
  int recogTimeout_ = 60;
  std::string fileName_;
  std::string languageType_;
};

// The process-wide settings, made with their defaults on first use. A caller keeps the
// returned pointer while it reads, so a release elsewhere never frees it under a worker.
std::shared_ptr<FingerSettings> getFingerSettings();
// Front-end instances hold the settings for their lifetime; the last release (or a release
// without a hold) drops them, and the next use makes fresh defaults.
void holdFingerSettings();
void releaseFingerSettings();

// The process-wide prompt language: 1 Chinese (locale 1028 or 2052), 0 English.
int getSystemLanguage();
int currentLanguage();
// The language files' texts (entries 0 to 99); a non-empty one overrides the built-in text.
void clearPromptTexts();
void setPromptText(int number, std::string text);
// The text of prompt `number`: the language file's, else the built-in one of the language.
std::string promptText(int number);
// The same, written to the log as well.
std::string getString(int number);

}  // namespace fvbrowser
