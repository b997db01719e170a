// The module's four COM entry points.

#include "fvplatform/com_registration.h"
#include "module/class_factory.h"
#include "module/identities.h"
#include "module/module_state.h"
#include "pellacor/pellacor.h"

namespace {

HRESULT RegisterTypeLibrary() {
  return fvplat::ole::RegisterTypeLib(
      {pellacor::LIBID_PellacorLib, pellacor::kTypeLibMajor, pellacor::kTypeLibMinor,
       pellacor::kTypeLibLocale, pellacor::kTypeLibName, pellacor::ModulePath(),
       {{pellacor::DIID__DPellacor, "_DPellacor"}, {pellacor::DIID__DPellacorEvents, "_DPellacorEvents"}}});
}

}  // namespace

extern "C" {

HRESULT DllRegisterServer() {
  if (FAILED(RegisterTypeLibrary())) return SELFREG_E_TYPELIB;
  if (FAILED(pellacor::UpdateRegistryAll(true))) return SELFREG_E_CLASS;
  return S_OK;
}

HRESULT DllUnregisterServer() {
  if (FAILED(fvplat::ole::UnregisterTypeLib(pellacor::LIBID_PellacorLib, pellacor::kTypeLibMajor,
                                            pellacor::kTypeLibMinor))) {
    return SELFREG_E_TYPELIB;
  }
  if (FAILED(pellacor::UpdateRegistryAll(false))) return SELFREG_E_CLASS;
  return S_OK;
}

HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (clsid == pellacor::CLSID_Pellacor) return pellacor::ControlFactory().QueryInterface(riid, object);
  if (clsid == pellacor::CLSID_PellacorPropPage) {
    return pellacor::PropPageFactory().QueryInterface(riid, object);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT DllCanUnloadNow() { return pellacor::ModuleIdle() ? S_OK : S_FALSE; }

}  // extern "C"
