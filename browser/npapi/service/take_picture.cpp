// One capture for the page, with its quality verdict, sent through the page callback.

#include <json/json.h>

#include "binding/device_library.h"
#include "fvcommon/base64.h"
#include "fvplatform/clock.h"
#include "result/result_json.h"
#include "service/plugin_vein_service.h"
#include "settings/finger_settings.h"

namespace npsorvik {
namespace {

constexpr int kPictureLimitMs = 2000;
constexpr int kFingerPresent = 3;

}  // namespace

int PluginVeinService::ORVEK_TakeVeinPicture() {
  if (!m_bOpen.load()) return -1;
  fvbrowser::DeviceLibrary& library = fvbrowser::boundDeviceLibrary();
  if (m_Device.getFingerState() != kFingerPresent) {
    Json::Value result(Json::objectValue);
    result["RETURNID"] = -1;
    result["RETURNVALUE"] = "";
    result["RETURNDESC"] = fvbrowser::promptText(39);
    sendStateChangeResult(11, fvbrowser::resultText(result));
    return -2;
  }
  library.setLed(0, 1);
  fvbrowser::Bytes blob;
  const std::uint64_t start = fvplat::ClockMs();
  for (;;) {
    {
      std::lock_guard<std::mutex> guard(m_Device.lock());
      if (library.grab(blob) != 0 && !blob.empty()) break;
    }
    blob.clear();
    if (fvplat::ClockMs() - start > static_cast<std::uint64_t>(kPictureLimitMs)) {
      library.setLed(1, 0);  // not left in capture colour
      return -2;
    }
    Sleep(1);
  }
  int quality = 1;
  library.quality(blob, quality);
  Json::Value result(Json::objectValue);
  result["QUALITY"] = quality;
  result["RETURNID"] = 0;
  result["RETURNVALUE"] = "";
  result["RETURNDESC"] = fvbrowser::promptText(40);
  result["IMAGE"] = fvcommon::Base64Encode(blob.data(), blob.size());
  sendStateChangeResult(11, fvbrowser::resultText(result));
  library.setLed(1, 0);
  return 0;
}

}  // namespace npsorvik
