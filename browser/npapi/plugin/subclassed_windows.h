#pragma once
// The browser windows that run the plug-in's procedure. A window is subclassed once however
// many instances are given it, so the procedure never chains to itself; the last instance that
// lets it go, or the module's shutdown, gives it back what it had.

#include "fvplatform/window.h"

namespace npsorvik {

class CPlugin;

// Installs the plug-in's procedure on `window` unless it runs it already; the window's user
// data becomes `plugin`.
void SubclassWindow(HWND window, CPlugin* plugin);
// `plugin` lets `window` go; the window's user data becomes an instance still holding it, and
// without one the window gets back its own procedure and user data (while it still runs ours).
void ReleaseSubclassedWindow(HWND window, CPlugin* plugin);
// The procedure the window had before the plug-in's; null when it is not one of ours.
WNDPROC PreviousWindowProc(HWND window);
// Every window gets back its own procedure and user data: the module is going away.
void RestoreAllWindows();

}  // namespace npsorvik
