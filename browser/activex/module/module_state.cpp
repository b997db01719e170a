#include "module/module_state.h"

#include <atomic>

namespace pellacor {
namespace {
std::atomic<long> gObjects{0};
std::atomic<long> gLocks{0};

// Takes one away unless the count is already 0, in one step.
void DecrementToZero(std::atomic<long>& count) {
  long now = count.load();
  while (now > 0 && !count.compare_exchange_weak(now, now - 1)) {
  }
}
}  // namespace

void ModuleObjectCreated() {
  ++gObjects;
}
void ModuleObjectDestroyed() {
  DecrementToZero(gObjects);
}
void ModuleLock(bool lock) {
  if (lock) {
    ++gLocks;
  } else {
    DecrementToZero(gLocks);
  }
}
bool ModuleIdle() {
  return gObjects.load() == 0 && gLocks.load() == 0;
}

}  // namespace pellacor
