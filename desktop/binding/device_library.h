#pragma once
// The device library, loaded at run time and bound by name into the entry points of
// binding/entry_points.h. Every use of the device asks getDeviceLibrary first.

#include "fvplatform/win_types.h"

namespace torvane {

inline constexpr const char* kDeviceLibraryFile = "Dravex.dll";

class DeviceLibrary {
 public:
  // Loads `fileName` and binds the 38 names in order: 1 when all are bound, else 0. At the first
  // missing name it writes "fun #name  not find.\n" to the debugger output and stops; names
  // bound before it keep their values and the library stays loaded (they point into it).
  int bindEntryPoints(const char* fileName);
  HMODULE module() const { return m_module; }

 private:
  int m_reserved = 0;
  HMODULE m_module = nullptr;
};

// The bound library, or null when it cannot be loaded or lacks a name; then the next call
// loads and binds again. Safe from any thread: the first binding happens once, under a lock.
DeviceLibrary* getDeviceLibrary();

// Tests only: forget the singleton and every entry point (the loaded module stays loaded).
void forgetDeviceLibraryForTests();

}  // namespace torvane
