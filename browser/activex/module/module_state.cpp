#include "module/module_state.h"

#include <atomic>

namespace pellacor {
namespace {
std::atomic<long> gObjects{0};
std::atomic<long> gLocks{0};
}  // namespace

void ModuleObjectCreated() { ++gObjects; }
void ModuleObjectDestroyed() { --gObjects; }
void ModuleLock(bool lock) {
  if (lock) {
    ++gLocks;
  } else if (gLocks.load() > 0) {
    --gLocks;
  }
}
bool ModuleIdle() { return gObjects.load() == 0 && gLocks.load() == 0; }

}  // namespace pellacor
