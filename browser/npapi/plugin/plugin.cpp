#include "plugin/plugin.h"

#include <vector>

#include "entry/browser_table.h"
#include "fvplatform/window.h"
#include "log/log_file.h"
#include "plugin/subclassed_windows.h"
#include "plugin/target_window.h"
#include "script/scriptable_object.h"
#include "service/plugin_vein_service.h"

namespace npsorvik {
namespace {

int g_instances = 0;  // the browser's user-interface thread only
std::vector<CPlugin*> g_live;  // the same

}  // namespace

CPlugin::CPlugin(NPP pNPInstance) : m_pNPInstance(pNPInstance) {
  // Every instance keeps the log open while it lives; it closes with the last.
  fvbrowser::holdLogFile();
  fvbrowser::logf("CPlugin");
  ++g_instances;
  g_live.push_back(this);
}

CPlugin::~CPlugin() {
  fvbrowser::logf("~CPlugin");
  if (m_pScriptableObject != nullptr) NPN_ReleaseObject(m_pScriptableObject);
  m_pScriptableObject = nullptr;
  --g_instances;
  std::erase(g_live, this);
  fvbrowser::releaseLogFile();
}

int CPlugin::liveInstances() { return g_instances; }

void CPlugin::destroyAll() {
  while (!g_live.empty()) {
    CPlugin* plugin = g_live.back();
    plugin->shut();
    plugin->m_pNPInstance->pdata = nullptr;
    delete plugin;
  }
}

bool CPlugin::init(NPWindow* pNPWindow) {
  if (pNPWindow == nullptr || pNPWindow->window == nullptr) return false;
  HWND window = static_cast<HWND>(pNPWindow->window);
  if (window == TargetWindow()) return true;
  if (!IsWindow(window)) return false;
  m_hWnd = window;
  SubclassWindow(window, this);
  PushTargetWindow(window);
  m_bInitialized = true;
  return true;
}

void CPlugin::shut() {
  fvbrowser::logf("CPlugin shut");
  // Sends still waiting for this window fail now: a worker never waits on a page that goes.
  if (m_hWnd != nullptr) fvplat::SetSendsRefused(m_hWnd, true);
  if (PluginVeinService* service = PluginVeinService::existing()) {
    service->dropReceiversOf(m_pNPInstance);
    if (g_instances <= 1) PluginVeinService::destroy();
  }
  releaseWindow();
}

void CPlugin::releaseWindow() {
  if (m_hWnd == nullptr) return;
  DropTargetWindow(m_hWnd);
  ReleaseSubclassedWindow(m_hWnd, this);
  fvplat::SetSendsRefused(m_hWnd, false);
  m_hWnd = nullptr;
  m_bInitialized = false;
}

NPObject* CPlugin::GetScriptableObject() {
  if (m_pScriptableObject == nullptr) {
    m_pScriptableObject = NPN_CreateObject(m_pNPInstance, ScriptablePluginObject::Class());
  }
  if (m_pScriptableObject != nullptr) NPN_RetainObject(m_pScriptableObject);
  return m_pScriptableObject;
}

}  // namespace npsorvik
