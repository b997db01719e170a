#include "module/class_factory.h"

#include <new>

#include "control/pellacor_ctrl.h"
#include "dialogs/prop_page.h"
#include "fvplatform/com_registration.h"
#include "module/identities.h"
#include "module/module_state.h"

namespace pellacor {
namespace {
CPellacorCtrlFactory gControlFactory;
CPellacorPropPageFactory gPropPageFactory;
}  // namespace

HRESULT ObjectFactory::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IClassFactory) {
    *object = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

// A factory lives as long as the module; a reference to it counts as a live object.
ULONG ObjectFactory::AddRef() {
  ModuleObjectCreated();
  return 2;
}

ULONG ObjectFactory::Release() {
  ModuleObjectDestroyed();
  return 1;
}

HRESULT ObjectFactory::LockServer(BOOL lock) {
  ModuleLock(lock != FALSE);
  return S_OK;
}

HRESULT CPellacorCtrlFactory::CreateInstance(IUnknown* outer, REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  auto* control = new (std::nothrow) CPellacorCtrl();
  if (control == nullptr) return E_OUTOFMEMORY;
  const HRESULT hr = control->QueryInterface(riid, object);
  control->Release();  // the caller's reference, if any, keeps it
  return hr;
}

const CLSID& CPellacorCtrlFactory::clsid() const { return CLSID_Pellacor; }

HRESULT CPellacorCtrlFactory::UpdateRegistry(bool registering) {
  if (!registering) return fvplat::ole::UnregisterClass(CLSID_Pellacor, kControlProgId);
  return fvplat::ole::RegisterControlClass({CLSID_Pellacor, kControlProgId, kControlTypeName,
                                            ModulePath(), kToolboxBitmap, "Apartment", kMiscStatus,
                                            LIBID_PellacorLib, kTypeLibMajor, kTypeLibMinor});
}

HRESULT CPellacorPropPageFactory::CreateInstance(IUnknown* outer, REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  auto* page = new (std::nothrow) CPellacorPropPage;
  if (page == nullptr) return E_OUTOFMEMORY;
  const HRESULT hr = page->QueryInterface(riid, object);
  page->Release();
  return hr;
}

const CLSID& CPellacorPropPageFactory::clsid() const { return CLSID_PellacorPropPage; }

HRESULT CPellacorPropPageFactory::UpdateRegistry(bool registering) {
  if (!registering) return fvplat::ole::UnregisterClass(CLSID_PellacorPropPage, "");
  return fvplat::ole::RegisterPropertyPageClass(CLSID_PellacorPropPage, kPropPageTypeName,
                                                ModulePath());
}

CPellacorCtrlFactory& ControlFactory() { return gControlFactory; }
CPellacorPropPageFactory& PropPageFactory() { return gPropPageFactory; }

HRESULT UpdateRegistryAll(bool registering) {
  ObjectFactory* factories[] = {&gControlFactory, &gPropPageFactory};
  for (ObjectFactory* factory : factories) {
    const HRESULT hr = factory->UpdateRegistry(registering);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

std::string ModulePath() {
  static const int kHere = 0;
  return fvplat::ole::ModulePathOf(&kHere);
}

}  // namespace pellacor
