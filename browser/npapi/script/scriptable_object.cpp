#include "script/scriptable_object.h"

#include <array>
#include <cstring>
#include <new>

#include "entry/browser_table.h"
#include "log/log_file.h"
#include "script/method_table.h"
#include "script/script_values.h"
#include "service/plugin_vein_service.h"

namespace npsorvik {
namespace {

std::array<NPIdentifier, kMethodCount> g_methodIds{};

NPObject* Allocate(NPP npp, NPClass*) {
  const auto& methods = Methods();
  for (std::size_t i = 0; i < methods.size(); ++i) {
    g_methodIds[i] = NPN_GetStringIdentifier(methods[i].name);
  }
  auto* object = new (std::nothrow) ScriptablePluginObject(npp);
  return object;
}

NPClass g_class = ScriptablePluginObjectBase::MakeClass(&Allocate);

// The method of `name`, or -1.
int MethodIndex(NPIdentifier name) {
  if (name == nullptr) return -1;
  for (std::size_t i = 0; i < g_methodIds.size(); ++i) {
    if (g_methodIds[i] == name) return static_cast<int>(i);
  }
  return -1;
}

// Reads the arguments the signature lists; false when fewer came or one has the wrong type.
bool ReadArguments(const char* signature, const NPVariant* args, std::uint32_t argCount,
                   MethodArgs& out) {
  const std::size_t wanted = std::strlen(signature);
  if (wanted > argCount || (wanted > 0 && args == nullptr)) return false;
  for (std::size_t i = 0; i < wanted; ++i) {
    if (signature[i] == 't') {
      auto text = TextArgument(args[i]);
      if (!text) return false;
      out.text[i] = std::move(*text);
    } else {
      auto number = IntArgument(args[i]);
      if (!number) return false;
      out.number[i] = *number;
    }
  }
  return true;
}

}  // namespace

NPClass* ScriptablePluginObject::Class() { return &g_class; }

ScriptablePluginObject::ScriptablePluginObject(NPP npp) : ScriptablePluginObjectBase(npp) {
  fvbrowser::logf("ScriptablePluginObject");
  PluginVeinService::instance()->registerReceiver(this);
}

ScriptablePluginObject::~ScriptablePluginObject() {
  // Never makes a service on the way out.
  if (PluginVeinService* service = PluginVeinService::existing()) {
    service->unregisterReceiver(this);
  }
}

bool ScriptablePluginObject::HasMethod(NPIdentifier name) { return MethodIndex(name) >= 0; }

bool ScriptablePluginObject::Invoke(NPIdentifier name, const NPVariant* args,
                                    std::uint32_t argCount, NPVariant* result) {
  fvbrowser::logf("Invoke");
  if (result == nullptr) return false;
  SetVoid(result);
  const int index = MethodIndex(name);
  if (index < 0) return false;
  const Method& method = Methods()[static_cast<std::size_t>(index)];
  if (method.run == nullptr) return false;
  MethodArgs values;
  if (!ReadArguments(method.signature, args, argCount, values)) return false;
  return method.run(values, result);
}

bool ScriptablePluginObject::InvokeDefault(const NPVariant*, std::uint32_t, NPVariant* result) {
  if (result == nullptr) return false;
  return SetText(result, "default method return val");
}

bool ScriptablePluginObject::HasProperty(NPIdentifier) { return false; }

bool ScriptablePluginObject::GetProperty(NPIdentifier, NPVariant* result) {
  if (result == nullptr) return false;
  SetVoid(result);
  return true;
}

bool ScriptablePluginObject::SetProperty(NPIdentifier, const NPVariant*) { return false; }

}  // namespace npsorvik
