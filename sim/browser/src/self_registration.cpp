#include "sim_browser/self_registration.h"

#include <dlfcn.h>

#include "fvplatform/com_runtime.h"

namespace simbrowser {
namespace {

HRESULT CallEntry(const std::string& modulePath, const char* entry) {
  void* module = dlopen(modulePath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) return CO_E_DLLNOTFOUND;
  auto call = reinterpret_cast<DllRegisterServerFn>(dlsym(module, entry));
  const HRESULT hr = call == nullptr ? CO_E_ERRORINDLL : call();
  dlclose(module);
  return hr;
}

}  // namespace

HRESULT RegisterServer(const std::string& modulePath) {
  return CallEntry(modulePath, "DllRegisterServer");
}

HRESULT UnregisterServer(const std::string& modulePath) {
  return CallEntry(modulePath, "DllUnregisterServer");
}

}  // namespace simbrowser
