// Starting an enrolment or a recognition run.

#include <cstdio>

#include "binding/device_library.h"
#include "fvcommon/json_text.h"
#include "fvplatform/clock.h"
#include "log/log_file.h"
#include "service/plugin_vein_service.h"
#include "settings/finger_settings.h"

namespace npsorvik {

int PluginVeinService::ORVEK_StartModel_Vein() {
  const long limit = fvbrowser::getFingerSettings()->getModelTimeout();
  if (m_pFingerRecog && m_pFingerRecog->isRunning()) {
    ORVEK_StopRecog_Vein();
    Sleep(600);
  }
  if (m_pFingerModel && m_pFingerModel->isRunning()) ORVEK_StopModel_Vein();
  if (!m_bOpen.load()) {
    fvbrowser::logf("Vein don't be open!");
    return -1;
  }
  int started = 1;
  // A run that has not ended yet refuses the start, however long ago it began.
  if (!(m_pFingerModel && m_pFingerModel->isRunning())) {
    m_ModelStartTime = fvplat::ClockMs();
    if (!m_pFingerModel) {
      m_pFingerModel = std::make_unique<fvbrowser::FingerModel>(*this, static_cast<int>(limit));
    }
    char request[128];
    std::snprintf(request, sizeof request, "{\"maxTime\":%ld, \"userId\":\"%s\"}", limit, "1");
    fvbrowser::logf("SendVeinModelRequest startFaceBusiness!");
    fvbrowser::logf("%s", request);
    started = m_pFingerModel->startBusiness(request);
  }
  if (started == 0) {
    fvbrowser::logf("SendVeinModelRequest successful!");
    return 0;
  }
  fvbrowser::boundDeviceLibrary().setLed(1, 0);
  fvbrowser::logf("SendVeinModelRequest fail!");
  return 1;
}

int PluginVeinService::ORVEK_StartRecog_Vein(const std::string& features) {
  const long limit = fvbrowser::getFingerSettings()->getRecogTimeout();
  if (m_pFingerModel && m_pFingerModel->isRunning()) {
    ORVEK_StopModel_Vein();
    Sleep(600);
  }
  if (m_pFingerRecog && m_pFingerRecog->isRunning()) ORVEK_StopRecog_Vein();
  if (!m_bOpen.load()) {
    fvbrowser::logf("Vein don't be open!");
    return -1;
  }
  int started = 1;
  if (!(m_pFingerRecog && m_pFingerRecog->isRunning())) {
    m_RecogStartTime = fvplat::ClockMs();
    if (!m_pFingerRecog) {
      m_pFingerRecog = std::make_unique<fvbrowser::FingerRecog>(*this, static_cast<int>(limit));
    }
    char logged[128];
    std::snprintf(logged, sizeof logged, "{\"maxTime\":%ld,\"userId\":\"%s\"}", limit, "1");
    fvbrowser::logf("SendVeinRecogRequest startFaceBusiness!");
    fvbrowser::logf("%s", logged);
    Json::Value request(Json::objectValue);
    request["maxTime"] = static_cast<Json::Int>(limit);
    request["userId"] = "1";
    request["features"] = features;
    started = m_pFingerRecog->startBusiness(fvcommon::writeCompactJson(request));
  }
  if (started == 0) {
    fvbrowser::logf("SendVeinRecogRequest successful!");
    return 0;
  }
  fvbrowser::logf("SendVeinRecogRequest fail!");
  return 1;
}

}  // namespace npsorvik
