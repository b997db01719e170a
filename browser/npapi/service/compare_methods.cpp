// Comparing a page's image with its templates or with a second image. The page always learns
// the similarity, matched or not.

#include <cstdio>

#include "binding/device_library.h"
#include "fvcommon/base64.h"
#include "fvcommon/json_text.h"
#include "fvplatform/clock.h"
#include "log/log_file.h"
#include "service/plugin_vein_service.h"
#include "settings/finger_settings.h"

namespace npsorvik {
namespace {

constexpr std::size_t kModelBytes = 3352;
constexpr float kFeatureThreshold = 0.6f;
// A page's texts decode into at most these many bytes; longer ones are refused undecoded.
constexpr std::size_t kBlobLimit = 780000;
constexpr std::size_t kTemplateLimit = 1000 * kModelBytes;

fvbrowser::Bytes Decode(const std::string& text, std::size_t limit) {
  auto bytes = fvcommon::Base64DecodeStrict(text, limit);
  return bytes ? std::move(*bytes) : fvbrowser::Bytes();
}

std::string Score(float score) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4f", static_cast<double>(score));
  return text;
}

// {"RETURNID":37,"RETURNVALUE":"","RETURNDESC":"<description> "}
std::string CompareResult(const std::string& description) {
  return "{\"RETURNID\":37,\"RETURNVALUE\":\"\",\"RETURNDESC\":" +
         fvcommon::jsonQuoted(description + " ") + "}";
}

}  // namespace

int PluginVeinService::ORVEK_VeinFeatureCompare(const std::string& image,
                                                const std::string& templates) {
  fvbrowser::DeviceLibrary& library = fvbrowser::boundDeviceLibrary();
  library.setLed(0, 0);
  const fvbrowser::Bytes blob = Decode(image, kBlobLimit);
  const fvbrowser::Bytes models = Decode(templates, kTemplateLimit);
  const int count = static_cast<int>(models.size() / kModelBytes);
  int position = -1;
  float score = 0;
  const bool called = !blob.empty() && count > 0 &&
                      library.index(models, count, blob, position, score) != 0;
  const bool matched = called && score > kFeatureThreshold;
  sendStateChangeResult(11, CompareResult(fvbrowser::promptText(42) + std::to_string(position) +
                                          "," + fvbrowser::promptText(41) + Score(score)));
  fvbrowser::logf("ORVEK_VeinFeatureCompare     pos = %d   score  %f\r\n", position,
                  static_cast<double>(score));
  Sleep(30);
  library.setLed(1, 0);
  return matched ? 1 : 0;
}

int PluginVeinService::ORVEK_VeinImageCompare(const std::string& image1, const std::string& image2) {
  fvbrowser::DeviceLibrary& library = fvbrowser::boundDeviceLibrary();
  library.setLed(0, 0);
  const fvbrowser::Bytes blob1 = Decode(image1, kBlobLimit);
  const fvbrowser::Bytes blob2 = Decode(image2, kBlobLimit);
  fvbrowser::Bytes model;
  float score = 0;
  bool called = false;
  if (!blob1.empty() && !blob2.empty() && library.extractModel(blob2, {}, {}, model) != 0) {
    called = library.match(blob1, model, score) != 0;
  }
  const bool matched = called && score > fvbrowser::getFingerSettings()->getThresh();
  sendStateChangeResult(11, CompareResult(fvbrowser::promptText(41) + Score(score)));
  fvbrowser::logf("ORVEK_VeinImageCompare    score  %f\r\n", static_cast<double>(score));
  Sleep(30);
  library.setLed(1, 0);
  return matched ? 1 : 0;
}

}  // namespace npsorvik
