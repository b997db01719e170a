// Device, enrolment and recognition methods.

#include <json/json.h>

#include <cstdio>

#include "binding/device_library.h"
#include "control/pellacor_ctrl.h"
#include "fvplatform/window.h"
#include "log/log_file.h"
#include "settings/finger_settings.h"

namespace {

fvbrowser::DeviceLibrary& Library() { return fvbrowser::boundDeviceLibrary(); }

}  // namespace

std::int32_t CPellacorCtrl::ORVEK_Init_Vein(const std::string& initPara) {
  fvbrowser::getFingerSettings()->parseSettings(initPara);
  return 0;
}

std::int32_t CPellacorCtrl::ORVEK_OpenVeinDev() {
  ORVEK_CloseVeinDev();
  if (!m_fingerDlg.HasWindow()) m_fingerDlg.Create(m_hWnd, 320, 240);
  fvbrowser::logf("OpenVeinDev begin");
  fvbrowser::logf("ORVEK_OpenVeinDev    1    m_bHasOpenVein= %d", m_bHasOpenVein ? 1 : 0);
  fvbrowser::DeviceLibrary* library = fvbrowser::getDeviceLibrary();
  m_bHasOpenVein = library != nullptr && library->open(0, m_fingerDlg.GetSafeHwnd()) == 1;
  if (!m_model) m_model = std::make_unique<fvbrowser::FingerModel>(*this, 60);
  if (!m_recog) m_recog = std::make_unique<fvbrowser::FingerRecog>(*this, 60);
  fvbrowser::logf(m_bHasOpenVein ? "Open Vein successful!" : "Open Vein fail!");
  return m_bHasOpenVein ? 0 : 1;
}

std::int32_t CPellacorCtrl::ORVEK_CloseVeinDev() {
  fvbrowser::logf("CloseVeinDev begin");
  if (m_bHasOpenVein) {
    m_bHasOpenVein = false;
    ORVEK_StopRecog_Vein();
    ORVEK_StopModel_Vein();
    Library().setLed(1, 0);
    if (Library().close() != 0) {
      fvbrowser::logf("ORVEK_CloseVeinDev successful");
      return 1;
    }
  }
  fvbrowser::logf("ORVEK_CloseVeinDev    false    m_bHasOpenVein= %d", m_bHasOpenVein ? 1 : 0);
  return 0;
}

std::int32_t CPellacorCtrl::ORVEK_SetLed(std::int32_t color, std::int32_t bFlush) {
  return Library().setLed(color, bFlush);
}

std::int32_t CPellacorCtrl::ORVEK_GetFingerState() { return Library().getState(); }

std::int32_t CPellacorCtrl::ORVEK_SetVeinModelStatus(std::int32_t nStatus) {
  if (m_model) m_model->setStatus(nStatus);
  return 1;
}

std::int32_t CPellacorCtrl::ORVEK_SetVeinRecogStatus(std::int32_t nStatus) {
  if (m_recog) m_recog->setStatus(nStatus);
  return 1;
}

std::int32_t CPellacorCtrl::ORVEK_GetVeinModelStatus() { return m_model ? m_model->getStatus() : 0; }
std::int32_t CPellacorCtrl::ORVEK_GetVeinRecogStatus() { return m_recog ? m_recog->getStatus() : 0; }

void CPellacorCtrl::StopWorker(fvbrowser::FingerBusiness* worker) {
  if (worker == nullptr) return;
  worker->setStatus(-1);
  worker->stopThread();  // waits for the run to end
}

std::int32_t CPellacorCtrl::ORVEK_StopModel_Vein() {
  StopWorker(m_model.get());
  return 0;
}

std::int32_t CPellacorCtrl::ORVEK_StopRecog_Vein() {
  StopWorker(m_recog.get());
  return 0;
}

std::int32_t CPellacorCtrl::ORVEK_StartModel_Vein() {
  ORVEK_StopModel_Vein();
  const long limit = fvbrowser::getFingerSettings()->getModelTimeout();
  if (!m_bHasOpenVein) {
    fvbrowser::logf("Vein don't be open!");
    return -1;
  }
  if (!m_model) m_model = std::make_unique<fvbrowser::FingerModel>(*this, static_cast<int>(limit));
  char request[128];
  std::snprintf(request, sizeof request, "{\"maxTime\":%ld, \"userId\":\"%s\"}", limit, "1");
  fvbrowser::logf("SendVeinModelRequest startFaceBusiness!");
  fvbrowser::logf("%s", request);
  if (m_model->startBusiness(request) != 0) {
    fvbrowser::logf("SendVeinModelRequest fail!");
    return 1;
  }
  fvbrowser::logf("SendVeinModelRequest successful!");
  return 0;
}

std::int32_t CPellacorCtrl::ORVEK_StartRecog_Vein(const std::string& jsonFeatures) {
  fvbrowser::logf("ORVEK_StartRecog_Vein enter  !");
  ORVEK_StopRecog_Vein();
  const int limit = fvbrowser::getFingerSettings()->getRecogTimeout();
  if (!m_bHasOpenVein) {
    fvbrowser::logf("Vein don't be open!");
    return -1;
  }
  // Each recognition runs on a fresh worker; the old one's thread is joined as it goes.
  DeleteWorker(m_recog);
  m_recog = std::make_unique<fvbrowser::FingerRecog>(*this, limit);
  Json::Value request(Json::objectValue);
  request["maxTime"] = limit;
  request["userId"] = "1";
  request["features"] = jsonFeatures;
  Json::FastWriter writer;
  const std::string text = writer.write(request);
  fvbrowser::logf("SendVeinRecogRequest startFaceBusiness!");
  const int started = m_recog->startBusiness(text);
  if (started != 0) {
    fvbrowser::logf("SendVeinRecogRequest startFaceBusiness!!!!!!!  Business = %d   ", started);
    return 100 + started;
  }
  fvbrowser::logf("SendVeinRecogRequest successful!");
  return 0;
}
