#pragma once
// Counts of live objects and server locks, for DllCanUnloadNow.

namespace pellacor {

void ModuleObjectCreated();
void ModuleObjectDestroyed();
void ModuleLock(bool lock);
bool ModuleIdle();

}  // namespace pellacor
