#include "entry/instance_calls.h"

#include <new>

#include "entry/plugin_names.h"
#include "log/log_file.h"
#include "plugin/plugin.h"
#include "plugin/target_window.h"

namespace npsorvik {
namespace {

CPlugin* PluginOf(NPP instance) { return static_cast<CPlugin*>(instance->pdata); }

}  // namespace

NPError NPP_New(NPMIMEType, NPP instance, std::uint16_t, std::int16_t, char*[], char*[],
                NPSavedData*) {
  fvbrowser::logf("NPP_New");
  if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
  auto* plugin = new (std::nothrow) CPlugin(instance);
  if (plugin == nullptr) return NPERR_OUT_OF_MEMORY_ERROR;
  fvbrowser::logf("NPP_New pPlugin != NULL");
  instance->pdata = plugin;
  return NPERR_NO_ERROR;
}

NPError NPP_Destroy(NPP instance, NPSavedData**) {
  fvbrowser::logf("NPP_Destroy");
  if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
  CPlugin* plugin = PluginOf(instance);
  if (plugin == nullptr) {
    fvbrowser::logf("NPP_Destroy pPlugin == NULL");
    return NPERR_NO_ERROR;
  }
  fvbrowser::logf("NPP_Destroy pPlugin != NULL");
  plugin->shut();
  delete plugin;
  instance->pdata = nullptr;
  return NPERR_NO_ERROR;
}

NPError NPP_SetWindow(NPP instance, NPWindow* pNPWindow) {
  fvbrowser::logf("NPP_SetWindow");
  if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
  fvbrowser::logf("NPP_SetWindow instance != NULL");
  // A browser may pass no window (one going away): there is nothing to set up.
  if (pNPWindow == nullptr) {
    fvbrowser::logf("NPP_SetWindow pNPWindow == NULL");
    return NPERR_NO_ERROR;
  }
  CPlugin* plugin = PluginOf(instance);
  if (plugin == nullptr) {
    fvbrowser::logf("pPlugin == NULL");
    PushTargetWindow(static_cast<HWND>(pNPWindow->window));
    return NPERR_NO_ERROR;
  }
  if (!plugin->isInitialized() && pNPWindow->window != nullptr) {
    if (!plugin->init(pNPWindow)) {
      fvbrowser::logf("!pPlugin->init(pNPWindow)");
      return NPERR_MODULE_LOAD_FAILED_ERROR;
    }
    fvbrowser::logf("pPlugin->init()");
    return NPERR_NO_ERROR;
  }
  fvbrowser::logf("no !pPlugin->isInitialized() && pNPWindow->window");
  return NPERR_NO_ERROR;
}

NPError NPP_NewStream(NPP instance, NPMIMEType, NPStream*, NPBool, std::uint16_t*) {
  fvbrowser::logf("NPP_NewStream");
  return instance == nullptr ? NPERR_INVALID_INSTANCE_ERROR : NPERR_NO_ERROR;
}

NPError NPP_DestroyStream(NPP instance, NPStream*, NPReason) {
  fvbrowser::logf("NPP_DestroyStream");
  return instance == nullptr ? NPERR_INVALID_INSTANCE_ERROR : NPERR_NO_ERROR;
}

void NPP_StreamAsFile(NPP, NPStream*, const char*) { fvbrowser::logf("NPP_StreamAsFile"); }

std::int32_t NPP_WriteReady(NPP instance, NPStream*) {
  fvbrowser::logf("NPP_WriteReady");
  return instance == nullptr ? NPERR_INVALID_INSTANCE_ERROR : 0x0FFFFFFF;
}

std::int32_t NPP_Write(NPP instance, NPStream*, std::int32_t, std::int32_t len, void*) {
  fvbrowser::logf("NPP_Write");
  return instance == nullptr ? NPERR_INVALID_INSTANCE_ERROR : len;
}

void NPP_Print(NPP, NPPrint*) { fvbrowser::logf("NPP_Print"); }

std::int16_t NPP_HandleEvent(NPP, void*) {
  fvbrowser::logf("NPP_HandleEvent");
  return 0;
}

void NPP_URLNotify(NPP, const char*, NPReason, void*) { fvbrowser::logf("NPP_URLNotify"); }

NPError NPP_GetValue(NPP instance, NPPVariable variable, void* value) {
  fvbrowser::logf("NPP_GetValue");
  if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
  CPlugin* plugin = PluginOf(instance);
  if (plugin == nullptr) return NPERR_GENERIC_ERROR;
  if (value == nullptr) return NPERR_INVALID_PARAM;
  if (AnswerPluginText(variable, value)) return NPERR_NO_ERROR;
  switch (variable) {
    case NPPVpluginNeedsXEmbed:
      *static_cast<NPBool*>(value) = 1;
      return NPERR_NO_ERROR;
    case NPPVpluginScriptableNPObject: {
      NPObject* object = plugin->GetScriptableObject();
      *static_cast<NPObject**>(value) = object;
      return object != nullptr ? NPERR_NO_ERROR : NPERR_OUT_OF_MEMORY_ERROR;
    }
    default:
      return NPERR_GENERIC_ERROR;
  }
}

NPError NPP_SetValue(NPP instance, NPNVariable, void*) {
  fvbrowser::logf("NPP_SetValue");
  return instance == nullptr ? NPERR_INVALID_INSTANCE_ERROR : NPERR_NO_ERROR;
}

}  // namespace npsorvik
