#pragma once
// Registering an in-process server as an installer does: load the module, call its
// DllRegisterServer (or DllUnregisterServer), unload it.

#include <string>

#include "fvplatform/com_types.h"

namespace simbrowser {

// CO_E_DLLNOTFOUND when the module cannot be loaded, CO_E_ERRORINDLL when it lacks the entry.
HRESULT RegisterServer(const std::string& modulePath);
HRESULT UnregisterServer(const std::string& modulePath);

}  // namespace simbrowser
