#pragma once
// What keeps the module loaded, for DllCanUnloadNow: live objects (controls, property pages and
// references to the factories) and server locks, counted apart, so an unbalanced unlock can
// never take away an object's count.

namespace pellacor {

void ModuleObjectCreated();
void ModuleObjectDestroyed();
// LockServer: an unlock without a lock is ignored.
void ModuleLock(bool lock);
bool ModuleIdle();

}  // namespace pellacor
