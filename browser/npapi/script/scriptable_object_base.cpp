#include "script/scriptable_object_base.h"

namespace npsorvik {
namespace {

ScriptablePluginObjectBase* Self(NPObject* npobj) {
  return static_cast<ScriptablePluginObjectBase*>(npobj);
}

void ForwardDeallocate(NPObject* npobj) { delete Self(npobj); }
void ForwardInvalidate(NPObject* npobj) { Self(npobj)->Invalidate(); }
bool ForwardHasMethod(NPObject* npobj, NPIdentifier name) { return Self(npobj)->HasMethod(name); }
bool ForwardInvoke(NPObject* npobj, NPIdentifier name, const NPVariant* args, std::uint32_t argCount,
            NPVariant* result) {
  return Self(npobj)->Invoke(name, args, argCount, result);
}
bool ForwardInvokeDefault(NPObject* npobj, const NPVariant* args, std::uint32_t argCount,
                   NPVariant* result) {
  return Self(npobj)->InvokeDefault(args, argCount, result);
}
bool ForwardHasProperty(NPObject* npobj, NPIdentifier name) { return Self(npobj)->HasProperty(name); }
bool ForwardGetProperty(NPObject* npobj, NPIdentifier name, NPVariant* result) {
  return Self(npobj)->GetProperty(name, result);
}
bool ForwardSetProperty(NPObject* npobj, NPIdentifier name, const NPVariant* value) {
  return Self(npobj)->SetProperty(name, value);
}
bool ForwardRemoveProperty(NPObject* npobj, NPIdentifier name) {
  return Self(npobj)->RemoveProperty(name);
}
bool ForwardEnumerate(NPObject* npobj, NPIdentifier** identifier, std::uint32_t* count) {
  return Self(npobj)->Enumerate(identifier, count);
}
bool ForwardConstruct(NPObject* npobj, const NPVariant* args, std::uint32_t argCount, NPVariant* result) {
  return Self(npobj)->Construct(args, argCount, result);
}

}  // namespace

bool ScriptablePluginObjectBase::HasMethod(NPIdentifier) { return false; }
bool ScriptablePluginObjectBase::Invoke(NPIdentifier, const NPVariant*, std::uint32_t, NPVariant*) {
  return false;
}
bool ScriptablePluginObjectBase::InvokeDefault(const NPVariant*, std::uint32_t, NPVariant*) {
  return false;
}
bool ScriptablePluginObjectBase::HasProperty(NPIdentifier) { return false; }
bool ScriptablePluginObjectBase::GetProperty(NPIdentifier, NPVariant*) { return false; }
bool ScriptablePluginObjectBase::SetProperty(NPIdentifier, const NPVariant*) { return false; }
bool ScriptablePluginObjectBase::RemoveProperty(NPIdentifier) { return false; }
bool ScriptablePluginObjectBase::Enumerate(NPIdentifier**, std::uint32_t*) { return false; }
bool ScriptablePluginObjectBase::Construct(const NPVariant*, std::uint32_t, NPVariant*) {
  return false;
}

NPClass ScriptablePluginObjectBase::MakeClass(NPAllocateFunctionPtr allocate) {
  return NPClass{NP_CLASS_STRUCT_VERSION_CTOR,
                 allocate,
                 &ForwardDeallocate,
                 &ForwardInvalidate,
                 &ForwardHasMethod,
                 &ForwardInvoke,
                 &ForwardInvokeDefault,
                 &ForwardHasProperty,
                 &ForwardGetProperty,
                 &ForwardSetProperty,
                 &ForwardRemoveProperty,
                 &ForwardEnumerate,
                 &ForwardConstruct};
}

}  // namespace npsorvik
