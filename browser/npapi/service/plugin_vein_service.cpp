#include "service/plugin_vein_service.h"

#include <algorithm>

#include "binding/device_library.h"
#include "fvplatform/messages.h"
#include "log/log_file.h"
#include "plugin/plugin.h"
#include "plugin/target_window.h"
#include "script/scriptable_object.h"
#include "settings/finger_settings.h"

namespace npsorvik {
namespace {

// Made, used and freed on the browser's user-interface thread only.
std::unique_ptr<PluginVeinService> g_service;
// Services let go from inside a page's callback: their workers are stopped, and joined once
// the callback has returned and the worker waiting for it could go on.
std::vector<std::unique_ptr<PluginVeinService>> g_retired;

void JoinRetired() {
  if (!InPageCallback()) g_retired.clear();
}

fvbrowser::DeviceLibrary& Library() { return fvbrowser::boundDeviceLibrary(); }

}  // namespace

PluginVeinService* PluginVeinService::instance() {
  JoinRetired();
  if (!g_service) g_service = std::make_unique<PluginVeinService>();
  return g_service.get();
}

PluginVeinService* PluginVeinService::existing() { return g_service.get(); }

void PluginVeinService::destroy() {
  JoinRetired();
  if (!g_service) return;
  if (InPageCallback()) {
    // A worker is waiting for this very callback: its results are dropped from now on, and it
    // is never waited for here.
    g_service->retire();
    g_retired.push_back(std::move(g_service));
    return;
  }
  g_service->teardown();
  g_service.reset();
}

void PluginVeinService::retire() {
  ORVEK_CloseVeinDev();
  dropReports();
}

void PluginVeinService::dropReports() {
  for (fvbrowser::FingerBusiness* worker :
       {static_cast<fvbrowser::FingerBusiness*>(m_pFingerModel.get()),
        static_cast<fvbrowser::FingerBusiness*>(m_pFingerRecog.get())}) {
    if (worker != nullptr) {
      worker->beginTeardown();
      worker->requestStop();
    }
  }
}

PluginVeinService::PluginVeinService() {
  // The settings live as long as the service.
  fvbrowser::holdFingerSettings();
  fvbrowser::getFingerSettings()->loadSettingFile();
}

PluginVeinService::~PluginVeinService() {
  stopAndJoin();
  fvbrowser::releaseFingerSettings();
}

void PluginVeinService::teardown() {
  ORVEK_CloseVeinDev();
  stopAndJoin();
}

void PluginVeinService::stopAndJoin() {
  // Reports are dropped from now on and a send that waits for the browser's thread fails, so
  // no worker stays blocked on the thread that is about to wait for it.
  const HWND target = TargetWindow();
  dropReports();
  if (target != nullptr) fvplat::SetSendsRefused(target, true);
  m_pFingerModel.reset();  // stops and joins
  m_pFingerRecog.reset();
  if (target != nullptr) fvplat::SetSendsRefused(target, false);
}

void PluginVeinService::registerReceiver(ScriptablePluginObject* object) {
  std::lock_guard<std::mutex> guard(m_receiverLock);
  std::erase(m_receivers, object);
  m_receivers.push_back(object);
}

void PluginVeinService::unregisterReceiver(ScriptablePluginObject* object) {
  std::lock_guard<std::mutex> guard(m_receiverLock);
  std::erase(m_receivers, object);
}

void PluginVeinService::dropReceiversOf(NPP npp) {
  std::lock_guard<std::mutex> guard(m_receiverLock);
  std::erase_if(m_receivers, [npp](ScriptablePluginObject* object) { return object->npp() == npp; });
}

bool PluginVeinService::isReceiver(const ScriptablePluginObject* object) {
  std::lock_guard<std::mutex> guard(m_receiverLock);
  return object != nullptr &&
         std::find(m_receivers.begin(), m_receivers.end(), object) != m_receivers.end();
}

int PluginVeinService::ORVEK_Init_Vein(const std::string& settings) {
  fvbrowser::getFingerSettings()->parseSettings(settings);
  return 0;
}

int PluginVeinService::ORVEK_OpenVeinDev() {
  fvbrowser::logf("开始打开指静脉设备...");
  if (m_bOpen.load()) ORVEK_CloseVeinDev();
  {
    std::lock_guard<std::mutex> guard(m_Device.lock());
    m_bOpen.store(m_Device.openDevice(TargetWindow()) == 0);
  }
  if (!m_pFingerModel) m_pFingerModel = std::make_unique<fvbrowser::FingerModel>(*this, 60);
  if (!m_pFingerRecog) m_pFingerRecog = std::make_unique<fvbrowser::FingerRecog>(*this, 60);
  fvbrowser::logf("Open Vein successful!");
  if (m_bOpen.load()) Library().setLed(1, 0);
  return m_bOpen.load() ? 0 : 1;
}

int PluginVeinService::ORVEK_CloseVeinDev() {
  fvbrowser::logf("CloseVeinDev begin");
  if (!m_bOpen.load()) return 1;
  ORVEK_StopRecog_Vein();
  ORVEK_StopModel_Vein();
  Library().setLed(1, 0);
  {
    // A worker's grab in progress ends first, and none after this one reopens the device.
    std::lock_guard<std::mutex> guard(m_Device.lock());
    m_bOpen.store(false);
    Library().close();
    m_Device.markClosed();
  }
  fvbrowser::logf("设备正常关闭");
  return 0;
}

int PluginVeinService::ORVEK_StopModel_Vein() {
  if (m_pFingerModel) m_pFingerModel->requestStop();
  return 0;
}

int PluginVeinService::ORVEK_StopRecog_Vein() {
  if (m_pFingerRecog) m_pFingerRecog->requestStop();
  return 0;
}

int PluginVeinService::ORVEK_ContinueDo(int decline) {
  const int status = decline != 0 ? -1 : 1;
  if (m_pFingerModel) m_pFingerModel->setStatus(status);
  if (m_pFingerRecog) m_pFingerRecog->setStatus(status);
  return 0;
}

int PluginVeinService::setModelStatus(int status) {
  if (m_pFingerModel) m_pFingerModel->setStatus(status);
  return 1;
}

int PluginVeinService::setRecogStatus(int status) {
  if (m_pFingerRecog) m_pFingerRecog->setStatus(status);
  return 1;
}

int PluginVeinService::getModelStatus() { return m_pFingerModel ? m_pFingerModel->getStatus() : 0; }
int PluginVeinService::getRecogStatus() { return m_pFingerRecog ? m_pFingerRecog->getStatus() : 0; }

void PluginVeinService::suspend() {
  m_bClosedBySuspend = m_bOpen.load() && ORVEK_CloseVeinDev() == 0;
}

void PluginVeinService::resume() {
  // Only a device the suspend closed is opened again.
  if (!m_bClosedBySuspend) return;
  m_bClosedBySuspend = false;
  ORVEK_OpenVeinDev();
}

}  // namespace npsorvik
