#include "fvplatform/modal_dialog.h"

#include <map>
#include <mutex>
#include <optional>

#include "fvplatform/message_box.h"

namespace fvplat {
namespace {

struct ModalState {
  std::mutex lock;
  ModalDialogPolicy policy;
  std::map<HWND, std::optional<int>> running;  // the result once ended
};

ModalState& State() {
  static ModalState* state = new ModalState;  // never destroyed: threads may end after exit
  return *state;
}

}  // namespace

ModalDialogPolicy SetModalDialogPolicy(ModalDialogPolicy policy) {
  ModalState& state = State();
  std::lock_guard<std::mutex> guard(state.lock);
  ModalDialogPolicy previous = std::move(state.policy);
  state.policy = std::move(policy);
  return previous;
}

int RunModalDialog(HWND dialog) {
  ModalState& state = State();
  ModalDialogPolicy policy;
  {
    std::lock_guard<std::mutex> guard(state.lock);
    policy = state.policy;
    state.running[dialog].reset();
  }
  const int answer = policy ? policy(dialog) : IDCANCEL;
  std::lock_guard<std::mutex> guard(state.lock);
  const std::optional<int> ended = state.running[dialog];
  state.running.erase(dialog);
  return ended.value_or(answer);
}

bool IsModalDialogRunning(HWND dialog) {
  ModalState& state = State();
  std::lock_guard<std::mutex> guard(state.lock);
  return state.running.count(dialog) != 0;
}

}  // namespace fvplat

BOOL EndDialog(HWND dialog, LONG_PTR result) {
  fvplat::ModalState& state = fvplat::State();
  std::lock_guard<std::mutex> guard(state.lock);
  auto found = state.running.find(dialog);
  if (found == state.running.end()) return FALSE;
  if (!found->second) found->second = static_cast<int>(result);
  return TRUE;
}
