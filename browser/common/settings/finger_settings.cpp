#include "settings/finger_settings.h"

#include <json/json.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <optional>

#include "base/flavour.h"
#include "base/shared_instance.h"
#include "fvcommon/json_read.h"
#include "fvplatform/folders.h"
#include "fvplatform/locale.h"
#include "log/log_file.h"
#include "settings/prompt_tables.h"

namespace fvbrowser {
namespace {

namespace fs = std::filesystem;

// Settings and language files are small; anything larger is not one of ours.
constexpr std::uintmax_t kMaxFileBytes = 1 << 20;

std::optional<Json::Value> ParseObject(const std::string& text) {
  std::optional<Json::Value> root = fvcommon::readJson(text);
  if (!root || !root->isObject()) return std::nullopt;
  return root;
}

// A run's limit in seconds stays within what milliseconds in an int can hold.
int ClampTimeout(int seconds) {
  return std::clamp(seconds, -kMaxTimeoutSeconds, kMaxTimeoutSeconds);
}

bool IsInteger(const Json::Value& value) {
  return value.isNumeric() && value.isConvertibleTo(Json::intValue);
}

// The file's text, or none when it is missing, not a plain file or too large.
std::optional<std::string> ReadSmallFile(const fs::path& path) {
  std::error_code error;
  if (!fs::is_regular_file(path, error) || fs::file_size(path, error) > kMaxFileBytes) {
    return std::nullopt;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// `name` in the current folder, else in the system folder; none when in neither. Only plain
// file names are looked up, so a name from outside cannot reach another folder.
std::optional<fs::path> FindFile(const std::string& name) {
  if (name.empty() || name.find_first_of("/\\") != std::string::npos || name == "." ||
      name == "..") {
    return std::nullopt;
  }
  std::error_code error;
  for (const fs::path& folder : {fs::path("."), fs::path(fvplat::SystemDirectory())}) {
    const fs::path path = folder / name;
    if (fs::is_regular_file(path, error)) return path;
  }
  return std::nullopt;
}

struct Prompts {
  std::mutex lock;
  int language = 0;
  std::array<std::string, kPromptCount> texts;
};

Prompts& prompts() {
  static Prompts holder;
  return holder;
}

SharedInstance<FingerSettings>& instance() {
  static SharedInstance<FingerSettings> holder;
  return holder;
}

}  // namespace

int FingerSettings::parseSettings(const std::string& text) {
  logf("%s", text.c_str());
  const std::optional<Json::Value> parsed = ParseObject(text);
  if (!parsed) return 1;
  const Json::Value& root = *parsed;
  // Every member is checked before any is applied, so a refused text changes nothing.
  for (const char* name : {"TimesPerFinger", "PlaySound", "FingerNum"}) {
    if (root.isMember(name) && !IsInteger(root[name])) return 1;
  }
  if (root.isMember("Thresh") && !root["Thresh"].isNumeric()) return 1;
  for (const char* name : {"Version", "Fingers", "FileName", "LanguageType"}) {
    if (root.isMember(name) && !root[name].isString()) return 1;
  }

  std::lock_guard<std::mutex> lock(lock_);
  if (root.isMember("TimesPerFinger"))
    timesPerFinger_ = std::clamp(root["TimesPerFinger"].asInt(), 1, 3);
  if (root.isMember("PlaySound")) playSound_ = root["PlaySound"].asInt();
  if (root.isMember("Thresh")) {
    // A similarity lies within 0 and 1; any other threshold would let every search, or none,
    // match.
    const double thresh = root["Thresh"].asDouble();
    if (std::isfinite(thresh) && thresh >= 0.0 && thresh <= 1.0) {
      thresh_ = static_cast<float>(thresh);
      logf("m_Thresh = %f\r\n", static_cast<double>(thresh_));
    } else {
      logf("Thresh %g refused", thresh);
    }
  }
  if (root.isMember("Version")) version_ = root["Version"].asString();
  if (root.isMember("ModelTimeout") && root["ModelTimeout"].isInt())
    modelTimeout_ = ClampTimeout(root["ModelTimeout"].asInt());
  if (root.isMember("RecogTimeout") && root["RecogTimeout"].isInt())
    recogTimeout_ = ClampTimeout(root["RecogTimeout"].asInt());
  if (root.isMember("Fingers")) {
    if (root.isMember("FingerNum")) fingerNum_ = root["FingerNum"].asInt();
    const std::string digits = root["Fingers"].asString();
    fingers_.fill(0);
    int taken = 0;
    // The order holds eight fingers; further digits are not taken.
    while (taken < kFingerOrderSize && taken < static_cast<int>(digits.size()) &&
           digits[static_cast<std::size_t>(taken)] >= '1' &&
           digits[static_cast<std::size_t>(taken)] <= '6') {
      fingers_[static_cast<std::size_t>(taken)] = digits[static_cast<std::size_t>(taken)] - '0';
      ++taken;
    }
    fingerNum_ = std::min(fingerNum_, taken);
  }
  if (isPlugin()) {
    if (root.isMember("FileName")) fileName_ = root["FileName"].asString();
    if (root.isMember("LanguageType")) languageType_ = root["LanguageType"].asString();
  }
  return 0;
}

void FingerSettings::loadSettingFile() {
  clearPromptTexts();
  getSystemLanguage();
  const std::optional<fs::path> path = FindFile(kSettingFileName);
  if (!path) return;
  const std::optional<std::string> text = ReadSmallFile(*path);
  if (!text) return;
  parseLanguageFile(*text);
  LoadLanguageFile();
}

int FingerSettings::parseLanguageFile(const std::string& text) {
  const std::optional<Json::Value> parsed = ParseObject(text);
  if (!parsed) return 1;
  const Json::Value& root = *parsed;
  std::string section;
  {
    std::lock_guard<std::mutex> lock(lock_);
    if (root.isMember("Version") && root["Version"].isString())
      version_ = root["Version"].asString();
    if (root.isMember("FileName") && root["FileName"].isString())
      fileName_ = root["FileName"].asString();
    if (root.isMember("LanguageType") && root["LanguageType"].isString()) {
      languageType_ = root["LanguageType"].asString();
    }
    section = languageType_;
  }
  if (!root.isMember(section) || !root[section].isObject()) return 0;
  const Json::Value& texts = root[section];
  // One text per member, "Num1" for entry 0; never more entries than the table holds.
  const int members = std::min<int>(static_cast<int>(texts.size()), kPromptCount);
  for (int i = 1; i <= members; ++i) {
    const std::string key = "Num" + std::to_string(i);
    if (texts.isMember(key) && texts[key].isString()) setPromptText(i - 1, texts[key].asString());
  }
  return 0;
}

void FingerSettings::LoadLanguageFile() {
  logf("Enter LoadLanguageFile()");
  const std::string name = getFileName();
  const std::optional<fs::path> path = FindFile(name);
  const std::optional<std::string> text = path ? ReadSmallFile(*path) : std::nullopt;
  if (!text) {
    logf("Not found  %s", name.c_str());
    return;
  }
  parseLanguageFile(*text);
}

int FingerSettings::getTimesPerFinger() const {
  std::lock_guard<std::mutex> l(lock_);
  return timesPerFinger_;
}
FingerOrder FingerSettings::getFingerOrder() const {
  std::lock_guard<std::mutex> l(lock_);
  return fingers_;
}
int FingerSettings::getPlaySound() const {
  std::lock_guard<std::mutex> l(lock_);
  return playSound_;
}
int FingerSettings::getFingerNum() const {
  std::lock_guard<std::mutex> l(lock_);
  return fingerNum_;
}
float FingerSettings::getThresh() const {
  std::lock_guard<std::mutex> l(lock_);
  return thresh_;
}
std::string FingerSettings::getVersion() const {
  std::lock_guard<std::mutex> l(lock_);
  return version_;
}
int FingerSettings::getModelTimeout() const {
  std::lock_guard<std::mutex> l(lock_);
  return modelTimeout_;
}
int FingerSettings::getRecogTimeout() const {
  std::lock_guard<std::mutex> l(lock_);
  return recogTimeout_;
}
std::string FingerSettings::getFileName() const {
  std::lock_guard<std::mutex> l(lock_);
  return fileName_;
}
std::string FingerSettings::getLanguageType() const {
  std::lock_guard<std::mutex> l(lock_);
  return languageType_;
}

std::shared_ptr<FingerSettings> getFingerSettings() {
  return instance().get([] { return std::make_shared<FingerSettings>(); });
}

void holdFingerSettings() { instance().hold(); }
void releaseFingerSettings() { instance().release(); }

int getSystemLanguage() {
  const LCID lcid = GetSystemDefaultLCID();
  const int language = (lcid == 1028 || lcid == 2052) ? 1 : 0;
  logf("lcid =%d", static_cast<int>(lcid));
  std::lock_guard<std::mutex> lock(prompts().lock);
  prompts().language = language;
  return language;
}

int currentLanguage() {
  std::lock_guard<std::mutex> lock(prompts().lock);
  return prompts().language;
}

void clearPromptTexts() {
  std::lock_guard<std::mutex> lock(prompts().lock);
  for (std::string& text : prompts().texts) text.clear();
}

void setPromptText(int number, std::string text) {
  if (number < 0 || number >= kPromptCount) return;
  std::lock_guard<std::mutex> lock(prompts().lock);
  prompts().texts[static_cast<std::size_t>(number)] = std::move(text);
}

std::string promptText(int number) {
  std::lock_guard<std::mutex> lock(prompts().lock);
  if (number >= 0 && number < kPromptCount &&
      !prompts().texts[static_cast<std::size_t>(number)].empty()) {
    return prompts().texts[static_cast<std::size_t>(number)];
  }
  // The page receives UTF-8; the built-in texts are UTF-8 already on this platform.
  return std::string(builtInPrompt(prompts().language, number, isPlugin()));
}

std::string getString(int number) {
  std::string text = promptText(number);
  logf(" getString    %s", text.c_str());
  return text;
}

}  // namespace fvbrowser
