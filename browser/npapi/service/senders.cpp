// What the service gives its workers: frames, the finger state, and the delivery of their
// reports to the page through the target window.

#include <cstring>

#include "fvplatform/messages.h"
#include "plugin/plugin.h"
#include "plugin/target_window.h"
#include "service/plugin_vein_service.h"

namespace npsorvik {

void PluginVeinService::sendResult(int code, const std::string& text) {
  ScriptablePluginObject* receiver = nullptr;
  {
    std::lock_guard<std::mutex> guard(m_receiverLock);
    if (!m_receivers.empty()) receiver = m_receivers.back();
  }
  // The page gets UTF-8; the narrow texts already are on this platform.
  NPVariant values[2];
  values[0].type = NPVariantType_Int32;
  values[0].value.intValue = code;
  values[1].type = NPVariantType_String;
  values[1].value.stringValue.UTF8Characters = text.c_str();
  values[1].value.stringValue.UTF8Length = static_cast<std::uint32_t>(std::strlen(text.c_str()));
  LRESULT unused = 0;
  fvplat::TrySendMessage(TargetWindow(), WM_JSP_MESSAGE, reinterpret_cast<WPARAM>(receiver),
                         reinterpret_cast<LPARAM>(values), &unused);
}

void PluginVeinService::sendStartResult(int code, const std::string& text) { sendResult(code, text); }
void PluginVeinService::sendStateChangeResult(int code, const std::string& text) {
  sendResult(code, text);
}
void PluginVeinService::sendStepResult(int code, const std::string& text) { sendResult(code, text); }
void PluginVeinService::sendStopResult(int code, const std::string& text) { sendResult(code, text); }

void PluginVeinService::deliverReport(const fvbrowser::Report& report) {
  switch (report.stage) {
    case fvbrowser::ReportStage::kStart:
      sendStartResult(report.code, report.text);
      break;
    case fvbrowser::ReportStage::kStateChange:
      sendStateChangeResult(report.code, report.text);
      break;
    case fvbrowser::ReportStage::kStep:
      sendStepResult(report.code, report.text);
      break;
    case fvbrowser::ReportStage::kStop:
      sendStopResult(report.code, report.text);
      break;
  }
}

int PluginVeinService::fetchFrame(fvbrowser::FingerBusiness&, int& code, int, fvbrowser::Bytes& frame,
                                  int& quality) {
  frame.clear();
  quality = -1;
  code = 0;
  frame = m_Device.grabImage(quality, code, TargetWindow(), m_bOpen);
  return code;
}

int PluginVeinService::getFingerState() { return m_Device.getFingerState(); }

}  // namespace npsorvik
