#pragma once
// The C++ side of a script object: the class table's entries forward to these virtual
// operations; the base answers false to all of them.

#include <cstdint>

#include "fvplatform/npapi.h"

namespace npsorvik {

class ScriptablePluginObjectBase : public NPObject {
 public:
  explicit ScriptablePluginObjectBase(NPP npp) : m_Npp(npp) {
    _class = nullptr;
    referenceCount = 0;
  }
  virtual ~ScriptablePluginObjectBase() = default;
  ScriptablePluginObjectBase(const ScriptablePluginObjectBase&) = delete;
  ScriptablePluginObjectBase& operator=(const ScriptablePluginObjectBase&) = delete;

  virtual void Invalidate() {}
  virtual bool HasMethod(NPIdentifier name);
  virtual bool Invoke(NPIdentifier name, const NPVariant* args, std::uint32_t argCount,
                      NPVariant* result);
  virtual bool InvokeDefault(const NPVariant* args, std::uint32_t argCount, NPVariant* result);
  virtual bool HasProperty(NPIdentifier name);
  virtual bool GetProperty(NPIdentifier name, NPVariant* result);
  virtual bool SetProperty(NPIdentifier name, const NPVariant* value);
  virtual bool RemoveProperty(NPIdentifier name);
  virtual bool Enumerate(NPIdentifier** identifier, std::uint32_t* count);
  virtual bool Construct(const NPVariant* args, std::uint32_t argCount, NPVariant* result);

  NPP npp() const { return m_Npp; }

  // A class table of structure version 3 whose entries forward to the object of `allocate`.
  static NPClass MakeClass(NPAllocateFunctionPtr allocate);

 protected:
  NPP m_Npp;
};

}  // namespace npsorvik
