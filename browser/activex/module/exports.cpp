// The module's four COM entry points.

#include <filesystem>

#include "fvplatform/typeinfo.h"
#include "module/class_factory.h"
#include "module/identities.h"
#include "module/module_state.h"
#include "pellacor/pellacor.h"

namespace {

// The type library from the module's own resource, registered for the module's file.
HRESULT RegisterTypeLibrary() {
  const std::string path = pellacor::ModulePath();
  const std::u16string widePath = fvplat::Utf8ToUtf16(path);
  ITypeLib* library = nullptr;
  HRESULT hr = LoadTypeLib(widePath.c_str(), &library);
  if (FAILED(hr)) return hr;
  const std::u16string helpDir =
      fvplat::Utf8ToUtf16(std::filesystem::path(path).parent_path().string());
  hr = RegisterTypeLib(library, widePath.c_str(), helpDir.c_str());
  library->Release();
  return hr;
}

// A library that is not registered (any more) is as good as unregistered.
HRESULT UnregisterTypeLibrary() {
  const HRESULT hr =
      UnRegisterTypeLib(pellacor::LIBID_PellacorLib, pellacor::kTypeLibMajor,
                        pellacor::kTypeLibMinor, pellacor::kTypeLibLocale, SYS_WIN32);
  return hr == TYPE_E_LIBNOTREGISTERED ? S_OK : hr;
}

}  // namespace

extern "C" {

HRESULT DllRegisterServer() {
  if (FAILED(RegisterTypeLibrary())) return SELFREG_E_TYPELIB;
  if (FAILED(pellacor::UpdateRegistryAll(true))) return SELFREG_E_CLASS;
  return S_OK;
}

HRESULT DllUnregisterServer() {
  if (FAILED(UnregisterTypeLibrary())) return SELFREG_E_TYPELIB;
  if (FAILED(pellacor::UpdateRegistryAll(false))) return SELFREG_E_CLASS;
  return S_OK;
}

HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (clsid == pellacor::CLSID_Pellacor)
    return pellacor::ControlFactory().QueryInterface(riid, object);
  if (clsid == pellacor::CLSID_PellacorPropPage) {
    return pellacor::PropPageFactory().QueryInterface(riid, object);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT DllCanUnloadNow() {
  return pellacor::ModuleIdle() ? S_OK : S_FALSE;
}

}  // extern "C"
