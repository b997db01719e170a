// The plug-in module's three exports.

#include <algorithm>
#include <cstring>

#include "base/flavour.h"
#include "entry/browser_table.h"
#include "entry/instance_calls.h"
#include "log/log_file.h"
#include "npsorvik/npsorvik.h"
#include "plugin/plugin.h"
#include "plugin/subclassed_windows.h"
#include "plugin/target_window.h"
#include "service/plugin_vein_service.h"

namespace {

// The plug-in build of the browser workflow, fixed as the module loads.
[[maybe_unused]] const bool kPluginBuild = fvbrowser::setFlavour(fvbrowser::Flavour::kPlugin);

}  // namespace

namespace npsorvik {

NPError FillPluginTable(NPPluginFuncs* pFuncs) {
  if (pFuncs == nullptr) return NPERR_INVALID_FUNCTABLE_ERROR;
  // Entries are written only as far as the browser's table reaches.
  if (pFuncs->size < kNpPluginTableMinSize) return NPERR_INVALID_FUNCTABLE_ERROR;
  const std::size_t reach = std::min<std::size_t>(pFuncs->size, sizeof(NPPluginFuncs));
  std::memset(reinterpret_cast<char*>(pFuncs) + kNpPluginTableMinSize, 0,
              reach - kNpPluginTableMinSize);
  pFuncs->version = (NP_VERSION_MAJOR << 8) | NP_VERSION_MINOR;
  pFuncs->newp = npsorvik::NPP_New;
  pFuncs->destroy = npsorvik::NPP_Destroy;
  pFuncs->setwindow = npsorvik::NPP_SetWindow;
  pFuncs->newstream = npsorvik::NPP_NewStream;
  pFuncs->destroystream = npsorvik::NPP_DestroyStream;
  pFuncs->asfile = npsorvik::NPP_StreamAsFile;
  pFuncs->writeready = npsorvik::NPP_WriteReady;
  pFuncs->write = npsorvik::NPP_Write;
  pFuncs->print = npsorvik::NPP_Print;
  pFuncs->event = npsorvik::NPP_HandleEvent;
  pFuncs->urlnotify = npsorvik::NPP_URLNotify;
  pFuncs->javaClass = nullptr;
  pFuncs->getvalue = npsorvik::NPP_GetValue;
  pFuncs->setvalue = npsorvik::NPP_SetValue;
  return NPERR_NO_ERROR;
}

}  // namespace npsorvik

NPError NP_GetEntryPoints(NPPluginFuncs* pFuncs) {
  fvbrowser::logf("NP_GetEntryPoints");
  return npsorvik::FillPluginTable(pFuncs);
}

NPError NP_Initialize(NPNetscapeFuncs* bFuncs, NPPluginFuncs* pFuncs) {
  fvbrowser::logf("NP_Initialize");
  const NPError copied = npsorvik::CopyBrowserTable(bFuncs);
  // A Unix browser hands its table for the instance calls here instead of NP_GetEntryPoints.
  if (copied != NPERR_NO_ERROR || pFuncs == nullptr) return copied;
  const NPError filled = npsorvik::FillPluginTable(pFuncs);
  if (filled != NPERR_NO_ERROR) npsorvik::ClearBrowserTable();
  return filled;
}

NPError NP_Shutdown() {
  fvbrowser::logf("NP_Shutdown");
  // Whatever an instance left behind ends with the module's use.
  npsorvik::PluginVeinService::destroy();
  npsorvik::CPlugin::destroyAll();
  npsorvik::RestoreAllWindows();
  npsorvik::ClearTargetWindows();
  npsorvik::ClearBrowserTable();
  fvbrowser::releaseLogFile();
  return NPERR_NO_ERROR;
}
