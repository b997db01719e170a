#include "store/settings.h"

#include <json/json.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "fvplatform/module.h"

namespace dravex {
namespace {

constexpr std::size_t kMaxSettingsBytes = 400000;

// The member's value as text: a JSON string as it stands, a number as written; else none.
std::optional<std::string> MemberText(const Json::Value& root, const char* name) {
  if (!root.isMember(name)) return std::nullopt;
  const Json::Value& value = root[name];
  if (value.isString()) return value.asString();
  if (value.isNumeric()) return value.asString();
  return std::nullopt;
}

}  // namespace

void loadSettings(const std::filesystem::path& file, Settings& settings) {
  Json::Value root;
  try {
    std::ifstream in(file, std::ios::binary);
    if (!in) return;
    std::string text;
    text.resize(kMaxSettingsBytes);
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));

    Json::CharReaderBuilder builder;
    std::string errors;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    if (!reader->parse(text.data(), text.data() + text.size(), &root, &errors)) return;
  } catch (const std::exception&) {
    return;  // the parser gives up on deep nesting by throwing: a file that does not parse
  }
  if (!root.isObject()) return;
  // Values are read first, so that a file with one ill-shaped member changes nothing.
  const auto score = MemberText(root, "Score");
  const auto modeNum = MemberText(root, "ModeNum");
  if ((root.isMember("Score") && !score) || (root.isMember("ModeNum") && !modeNum)) return;
  if (score) {
    const double value = std::strtod(score->c_str(), nullptr);
    if (std::isfinite(value)) settings.score = value < 0.6 ? 0.6f : static_cast<float>(value);
  }
  if (modeNum) {
    const long value = std::strtol(modeNum->c_str(), nullptr, 10);
    settings.modeNum = value <= 2 ? 2 : static_cast<int>(std::min<long>(value, INT_MAX));
  }
}

void loadSettings(const std::filesystem::path& file, SharedSettings& settings) {
  Settings values = settings.get();
  loadSettings(file, values);
  settings.set(values);
}

SharedSettings& processSettings() {
  static SharedSettings settings;
  return settings;
}

std::filesystem::path settingsFilePath() {
  return std::filesystem::path(fvplat::ProgramDirectory()) / kSettingsFileName;
}

}  // namespace dravex
