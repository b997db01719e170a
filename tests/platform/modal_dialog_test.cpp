// Modal dialogs under a policy the test chooses: the person's click ends the dialog with the
// dialog's own result, else the policy's answer stands; nothing waits for anyone.

#include "fvplatform/modal_dialog.h"

#include <gtest/gtest.h>

#include "fvplatform/dialog.h"
#include "fvplatform/message_box.h"
#include "fvplatform/messages.h"
#include "fvplatform/window.h"

namespace {

constexpr int kEndButton = 7;

// A dialog whose button 7 ends it with 70.
LRESULT EndingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && LOWORD(wParam) == kEndButton) {
    EndDialog(window, 70);
    EndDialog(window, 71);  // the first end counts
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND MakeDialog() {
  fvplat::WindowSpec spec;
  spec.caption = "dialog";
  spec.width = 100;
  spec.height = 50;
  spec.proc = &EndingProc;
  HWND dialog = fvplat::CreatePlatformWindow(spec);
  fvplat::ControlSpec button;
  button.id = kEndButton;
  button.kind = fvplat::ControlKind::Button;
  button.text = "end";
  button.width = 40;
  button.height = 20;
  fvplat::CreateControl(dialog, button);
  return dialog;
}

struct PolicyScope {
  explicit PolicyScope(fvplat::ModalDialogPolicy policy)
      : previous(fvplat::SetModalDialogPolicy(std::move(policy))) {}
  ~PolicyScope() { fvplat::SetModalDialogPolicy(std::move(previous)); }
  fvplat::ModalDialogPolicy previous;
};

TEST(ModalDialog, TheDefaultClosesAtOnceAndTheDialogStays) {
  PolicyScope scope({});
  HWND dialog = MakeDialog();
  EXPECT_EQ(fvplat::RunModalDialog(dialog), IDCANCEL);
  EXPECT_TRUE(IsWindow(dialog));
  EXPECT_FALSE(fvplat::IsModalDialogRunning(dialog));
  EXPECT_FALSE(EndDialog(dialog, 1)) << "not running";
  DestroyWindow(dialog);
}

TEST(ModalDialog, AClickThatEndsTheDialogGivesItsResultOtherwiseThePolicyAnswers) {
  HWND dialog = MakeDialog();
  bool wasRunning = false;
  {
    PolicyScope scope([&](HWND shown) {
      wasRunning = fvplat::IsModalDialogRunning(shown);
      EXPECT_TRUE(fvplat::ClickButton(GetDlgItem(shown, kEndButton)));
      return 5;
    });
    EXPECT_EQ(fvplat::RunModalDialog(dialog), 70);
    EXPECT_TRUE(wasRunning);
  }
  {
    PolicyScope scope([](HWND) { return 42; });
    EXPECT_EQ(fvplat::RunModalDialog(dialog), 42);
  }
  // A dialog run from inside another's run ends on its own.
  {
    HWND inner = MakeDialog();
    PolicyScope scope([&](HWND shown) {
      if (shown == dialog) {
        EXPECT_EQ(fvplat::RunModalDialog(inner), 3);
        EXPECT_TRUE(fvplat::IsModalDialogRunning(dialog));
        return 2;
      }
      return 3;
    });
    EXPECT_EQ(fvplat::RunModalDialog(dialog), 2);
    DestroyWindow(inner);
  }
  DestroyWindow(dialog);
}

}  // namespace
