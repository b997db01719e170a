#pragma once
// The page's object of a plug-in instance: the 21 script methods and no properties. Made with
// the browser's NPN_CreateObject for this class; while it lives it is a receiver of results.

#include "script/scriptable_object_base.h"

namespace npsorvik {

class ScriptablePluginObject final : public ScriptablePluginObjectBase {
 public:
  explicit ScriptablePluginObject(NPP npp);
  ~ScriptablePluginObject() override;

  bool HasMethod(NPIdentifier name) override;
  bool Invoke(NPIdentifier name, const NPVariant* args, std::uint32_t argCount,
              NPVariant* result) override;
  bool InvokeDefault(const NPVariant* args, std::uint32_t argCount, NPVariant* result) override;
  bool HasProperty(NPIdentifier name) override;
  bool GetProperty(NPIdentifier name, NPVariant* result) override;
  bool SetProperty(NPIdentifier name, const NPVariant* value) override;

  // The class table (structure version 3); its allocate looks the method names up afresh.
  static NPClass* Class();
};

}  // namespace npsorvik
