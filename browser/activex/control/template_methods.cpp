// Template and picture methods: extraction from a page's image, image and template
// comparison, one picture from the device and a picture's quality. All on the UI thread.

#include <json/json.h>

#include <cstdio>

#include "binding/device_library.h"
#include "control/events.h"
#include "control/pellacor_ctrl.h"
#include "control/window_messages.h"
#include "fvcommon/base64.h"
#include "fvcommon/json_text.h"
#include "fvplatform/clock.h"
#include "log/log_file.h"
#include "settings/finger_settings.h"
#include "worker/finger_business.h"

namespace {

using fvbrowser::Bytes;

fvbrowser::DeviceLibrary& Library() { return fvbrowser::boundDeviceLibrary(); }

// Extraction and comparison need no open device: they bind the library on first use.
fvbrowser::DeviceLibrary& Engine() {
  fvbrowser::DeviceLibrary* library = fvbrowser::getDeviceLibrary();
  return library != nullptr ? *library : fvbrowser::boundDeviceLibrary();
}

// A page's base64 text; none when it is not base64.
std::optional<Bytes> Decode(const std::string& text) { return fvcommon::Base64DecodeStrict(text); }

std::string FormatScore(float score) {
  char text[64];
  std::snprintf(text, sizeof text, "%.4f", static_cast<double>(score));
  return text;
}

constexpr int kTakePictureLimitMs = 2000;
constexpr int kPromptCompareDone = 37;
constexpr int kPromptNoFinger = 39;
constexpr int kPromptPhotoDone = 40;

}  // namespace

std::string CPellacorCtrl::ORVEK_ExtractVeinFeature(const std::string& picData) {
  const auto image = Decode(picData);
  if (!image) return {};
  int verdict = -1;
  Engine().quality(*image, verdict);
  if (verdict != 0) return {};
  Bytes model;
  // A failed extraction has no template to hand out.
  if (Engine().extractModel(*image, {}, {}, model) == 0) return {};
  return fvcommon::Base64Encode(model.data(), model.size());
}

std::int32_t CPellacorCtrl::ORVEK_VeinImageCompare(const std::string& picData1,
                                                   const std::string& picData2) {
  const auto first = Decode(picData1);
  const auto second = Decode(picData2);
  if (!first || !second) return -1;
  Bytes model;
  if (Engine().extractModel(*first, {}, {}, model) == 0) return -1;
  float score = 0.0f;
  const int matched = Engine().match(*second, model, score);
  return matched != 0 && score > fvbrowser::getFingerSettings()->getThresh() ? 1 : -1;
}

std::int32_t CPellacorCtrl::ORVEK_VeinFeatureCompare(const std::string& feature1,
                                                     const std::string& feature2) {
  fvbrowser::logf("ORVEK_VeinFeatureCompare start...");
  const std::uint64_t start = fvbrowser::nowMs();
  std::vector<Bytes> list;
  loadFeatureList(feature1, list);
  if (list.empty()) {
    fvbrowser::logf("Feature load error. No template in the list.");
    return -1;
  }
  const Bytes probe = Decode(feature2).value_or(Bytes());
  Bytes models;
  models.reserve(list.size() * fvbrowser::kModelBytes);
  for (const Bytes& model : list) models.insert(models.end(), model.begin(), model.end());
  // Preset, so a failing search reports no position and no similarity.
  int position = -1;
  float score = 0.0f;
  const int found = Engine().index(models, static_cast<int>(list.size()), probe, position, score);
  fvbrowser::logf("index result = %d, pos = %d, score = %f vecFeature.size() =%d time = %d", found,
                  position, static_cast<double>(score), static_cast<int>(list.size()),
                  static_cast<int>(fvbrowser::nowMs() - start));
  Json::Value result(Json::objectValue);
  result["RETURNID"] = 0;
  result["POS"] = position;
  result["RETURNVALUE"] = FormatScore(score);
  result["RETURNDESC"] = fvbrowser::promptText(kPromptCompareDone);
  const std::string text = fvcommon::writeCompactJson(result);
  PostText(pellacor::WM_TAKE_PICTURE, 0, text);
  fvbrowser::logf("%s", text.c_str());
  return found != 0 && score > fvbrowser::getFingerSettings()->getThresh() ? position : -1;
}

std::int32_t CPellacorCtrl::ORVEK_TakeVeinPicture() {
  if (!m_bHasOpenVein) return -1;
  if (Library().getState() != 3) {
    Json::Value result(Json::objectValue);
    result["RETURNID"] = -1;
    result["RETURNVALUE"] = "";
    result["RETURNDESC"] = fvbrowser::promptText(kPromptNoFinger);
    const std::string text = fvcommon::writeCompactJson(result);
    FireText(pellacor::kOnTakePicture, text);
    fvbrowser::logf("%s", text.c_str());
    return -2;
  }
  Library().setLed(0, 1);
  Bytes frame;
  const std::uint64_t start = fvbrowser::nowMs();
  while (Library().grab(frame) == 0) {
    if (fvbrowser::nowMs() - start > static_cast<std::uint64_t>(kTakePictureLimitMs)) return -2;
    Sleep(1);
  }
  int verdict = 1;
  Library().quality(frame, verdict);
  m_pictures.addImage(frame, verdict);
  Json::Value result(Json::objectValue);
  result["QUALITY"] = verdict;
  result["RETURNID"] = 0;
  result["RETURNVALUE"] = "";
  result["RETURNDESC"] = fvbrowser::promptText(kPromptPhotoDone);
  // The frame just taken, also once the picture store is full and refuses it.
  result["IMAGE"] = fvcommon::Base64Encode(frame.data(), frame.size());
  const std::string text = fvcommon::writeCompactJson(result);
  FireText(pellacor::kOnTakePicture, text);
  fvbrowser::logf("%s", text.c_str());
  Library().setLed(1, 0);
  return 0;
}

std::int32_t CPellacorCtrl::ORVEK_PictureQualityAsses(const std::string& str) {
  if (m_bHasOpenVein) {
    int verdict = 0;
    // The text itself, terminating zero included, as the device library receives it.
    Library().quality(std::span<const std::uint8_t>(
                          reinterpret_cast<const std::uint8_t*>(str.c_str()), str.size() + 1),
                      verdict);
  }
  return 0;
}
