#pragma once
// Runs a step when the scope ends, also when a failed ASSERT returns early. Tests declare one
// after the locals a thread, timer or hook of theirs uses, to stop and join it (or take the
// hook back) before those locals go.

#include <utility>

namespace fvtest {

template <class Step>
class ScopeExit {
 public:
  explicit ScopeExit(Step step) : step_(std::move(step)) {}
  ~ScopeExit() { step_(); }
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;

 private:
  Step step_;
};

}  // namespace fvtest
