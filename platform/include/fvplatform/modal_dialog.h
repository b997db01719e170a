#pragma once
// Modal dialogs without a screen. RunModalDialog runs a dialog that is already made until it
// ends; a policy that a test chooses plays the person in front of it: it gets the dialog while
// it is up, on the dialog's thread, and may read it, draw it or click its buttons. A click that
// ends the dialog (EndDialog from its procedure) gives the result; otherwise the policy's
// answer does. The default closes the dialog at once with IDCANCEL, as its close box would, so
// nothing ever waits for a person.

#include <functional>

#include "fvplatform/export.h"
#include "fvplatform/win_types.h"

namespace fvplat {

using ModalDialogPolicy = std::function<int(HWND dialog)>;

// Installs `policy` (empty restores the default) and returns the one it replaced.
FVPLAT_API ModalDialogPolicy SetModalDialogPolicy(ModalDialogPolicy policy);
// The dialog's result; the dialog itself stays for its owner to destroy.
FVPLAT_API int RunModalDialog(HWND dialog);
// Whether the dialog is being run modally just now.
FVPLAT_API bool IsModalDialogRunning(HWND dialog);

}  // namespace fvplat

extern "C" {
// Ends a dialog that runs modally with `result`; FALSE for any other window.
FVPLAT_API BOOL EndDialog(HWND dialog, LONG_PTR result);
}
