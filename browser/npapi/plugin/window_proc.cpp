// The subclassed plug-in window: worker results reach the page here, on the browser's thread,
// and the capture device is closed across a system suspend.

#include "entry/browser_table.h"
#include "plugin/plugin.h"
#include "plugin/subclassed_windows.h"
#include "log/log_file.h"
#include "script/scriptable_object.h"
#include "service/plugin_vein_service.h"

namespace npsorvik {
namespace {

constexpr WPARAM PBT_APMQUERYSUSPEND = 0x0000;
constexpr WPARAM PBT_APMSUSPEND = 0x0004;
constexpr WPARAM PBT_APMRESUMESUSPEND = 0x0007;
constexpr LRESULT BROADCAST_QUERY_DENY = 0x424D5144;

int g_callbackDepth = 0;  // the browser's user-interface thread only

// The page's "callbackfunction" with (code, text). Whatever the page gives back is released,
// and so are the window object and the property; a property that is no function is not called.
void CallPage(NPP npp, const NPVariant* values) {
  NPObject* window = nullptr;
  if (NPN_GetValue(npp, NPNVWindowNPObject, &window) != NPERR_NO_ERROR || window == nullptr) {
    fvbrowser::logf("callbackfunction: no window object");
    return;
  }
  const NPIdentifier name = NPN_GetStringIdentifier("callbackfunction");
  NPVariant function;
  function.type = NPVariantType_Void;
  if (name != nullptr && NPN_GetProperty(npp, window, name, &function)) {
    if (function.type == NPVariantType_Object && function.value.objectValue != nullptr) {
      NPVariant answer;
      answer.type = NPVariantType_Void;
      if (NPN_InvokeDefault(npp, function.value.objectValue, values, 2, &answer)) {
        NPN_ReleaseVariantValue(&answer);
      }
    } else {
      fvbrowser::logf("callbackfunction is not a function");
    }
    NPN_ReleaseVariantValue(&function);
  }
  NPN_ReleaseObject(window);
}

}  // namespace

bool InPageCallback() { return g_callbackDepth > 0; }

LRESULT CPlugin::WindowProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  const WNDPROC next = PreviousWindowProc(hWnd);
  auto chain = [&] {
    return next != nullptr ? CallWindowProcA(next, hWnd, msg, wParam, lParam)
                           : DefWindowProcA(hWnd, msg, wParam, lParam);
  };
  switch (msg) {
    case WM_POWERBROADCAST:
      if (wParam == PBT_APMQUERYSUSPEND) return BROADCAST_QUERY_DENY;
      if (wParam == PBT_APMSUSPEND) PluginVeinService::instance()->suspend();
      if (wParam == PBT_APMRESUMESUSPEND) PluginVeinService::instance()->resume();
      return chain();
    case WM_JSP_MESSAGE: {
      const auto* values = reinterpret_cast<const NPVariant*>(lParam);
      fvbrowser::logf("callbackfunction WM_JSP_MESSAGE");
      if (values == nullptr || values[1].type != NPVariantType_String) return 0;
      fvbrowser::logf("%.*s", static_cast<int>(values[1].value.stringValue.UTF8Length),
                      values[1].value.stringValue.UTF8Characters);
      // The receiver named by the sender may have gone while the message waited.
      PluginVeinService* service = PluginVeinService::existing();
      auto* receiver = reinterpret_cast<ScriptablePluginObject*>(wParam);
      if (service != nullptr && service->isReceiver(receiver)) {
        ++g_callbackDepth;
        CallPage(receiver->npp(), values);
        --g_callbackDepth;
      }
      return 0;
    }
    default:
      return chain();
  }
}

}  // namespace npsorvik
