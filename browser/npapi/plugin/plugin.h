#pragma once
// One plug-in instance: the browser's NPP, the browser's window it subclasses to receive the
// workers' results and the system's power messages, and the page's scriptable object.

#include "fvplatform/messages.h"
#include "fvplatform/npapi.h"

namespace npsorvik {

// Results of the workers, sent to the target window: wParam the receiving scriptable object,
// lParam two NPVariant values (code, text) on the sender's stack.
inline constexpr UINT WM_JSP_MESSAGE = 0x41E;

// Whether the browser's thread is inside a page's "callbackfunction", while the worker that
// sent the result waits for it to return.
bool InPageCallback();

class CPlugin {
 public:
  explicit CPlugin(NPP pNPInstance);
  ~CPlugin();
  CPlugin(const CPlugin&) = delete;
  CPlugin& operator=(const CPlugin&) = delete;

  // Subclasses the window (it becomes the target window); false for a null handle. A window
  // that already is the target stays as it is, and the instance uninitialised.
  bool init(NPWindow* pNPWindow);
  bool isInitialized() const { return m_bInitialized; }
  // Lets the window go (its own procedure back) and, with the last instance, ends the service.
  void shut();
  // Made on first use; retained once for each caller.
  NPObject* GetScriptableObject();
  NPP instance() const { return m_pNPInstance; }

  // Instances alive in the process.
  static int liveInstances();
  // Shuts down and frees the instances left: the module is going away.
  static void destroyAll();

  static LRESULT WindowProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);

 private:
  void releaseWindow();

  NPP m_pNPInstance;
  bool m_bInitialized = false;
  HWND m_hWnd = nullptr;
  NPObject* m_pScriptableObject = nullptr;
};

}  // namespace npsorvik
