#pragma once
// The window that worker results are sent to: the plug-in window set up last. A window that
// leaves hands the part to the newest one still there, so a page that goes away never takes
// the results of the pages that stay.

#include "fvplatform/win_types.h"

namespace npsorvik {

// Any thread.
HWND TargetWindow();
// `window` becomes the target (it moves to the top when already known).
void PushTargetWindow(HWND window);
// `window` leaves; the target becomes the newest remaining window that still exists.
void DropTargetWindow(HWND window);
void ClearTargetWindows();

}  // namespace npsorvik
