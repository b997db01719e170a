#pragma once
// The module's object factories: one process-wide object per class, living from load to
// unload. Their references count as live objects for DllCanUnloadNow.

#include <string>

#include "fvplatform/com_interfaces.h"

namespace pellacor {

class ObjectFactory : public IClassFactory {
 public:
  HRESULT QueryInterface(REFIID riid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT LockServer(BOOL lock) override;

  virtual const CLSID& clsid() const = 0;
  // Writes (true) or removes (false) the class's registry entries.
  virtual HRESULT UpdateRegistry(bool registering) = 0;

 protected:
  ObjectFactory() = default;
  ~ObjectFactory() = default;
};

class CPellacorCtrlFactory final : public ObjectFactory {
 public:
  HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** object) override;
  const CLSID& clsid() const override;
  HRESULT UpdateRegistry(bool registering) override;
};

// Makes the property page and registers its class.
class CPellacorPropPageFactory final : public ObjectFactory {
 public:
  HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** object) override;
  const CLSID& clsid() const override;
  HRESULT UpdateRegistry(bool registering) override;
};

CPellacorCtrlFactory& ControlFactory();
CPellacorPropPageFactory& PropPageFactory();
// Every factory's UpdateRegistry in turn; the first failure ends it.
HRESULT UpdateRegistryAll(bool registering);
// The path of this module's file, as it goes into the registry.
std::string ModulePath();

}  // namespace pellacor
