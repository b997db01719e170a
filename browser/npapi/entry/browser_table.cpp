#include "entry/browser_table.h"

#include <algorithm>
#include <cstring>

namespace npsorvik {
namespace {

NPNetscapeFuncs g_browser{};

}  // namespace

NPError CopyBrowserTable(const NPNetscapeFuncs* table) {
  if (table == nullptr) return NPERR_INVALID_FUNCTABLE_ERROR;
  if ((table->version >> 8) > NP_VERSION_MAJOR) return NPERR_INCOMPATIBLE_VERSION_ERROR;
  // A smaller table than the calls the plug-in makes would be read past its end.
  if (table->size < kNpBrowserTableMinSize) return NPERR_INVALID_FUNCTABLE_ERROR;
  g_browser = NPNetscapeFuncs{};
  std::memcpy(&g_browser, table, std::min<std::size_t>(table->size, sizeof g_browser));
  g_browser.size = table->size;
  g_browser.version = table->version;
  g_browser.getJavaEnv = nullptr;
  g_browser.getJavaPeer = nullptr;
  return NPERR_NO_ERROR;
}

void ClearBrowserTable() { g_browser = NPNetscapeFuncs{}; }
std::uint16_t BrowserTableVersion() { return g_browser.version; }
std::uint16_t BrowserTableSize() { return g_browser.size; }

void* NPN_MemAlloc(std::uint32_t size) {
  return g_browser.memalloc != nullptr ? g_browser.memalloc(size) : nullptr;
}

NPError NPN_GetValue(NPP instance, NPNVariable variable, void* value) {
  return g_browser.getvalue != nullptr ? g_browser.getvalue(instance, variable, value)
                                       : NPERR_GENERIC_ERROR;
}

NPIdentifier NPN_GetStringIdentifier(const NPUTF8* name) {
  return g_browser.getstringidentifier != nullptr ? g_browser.getstringidentifier(name) : nullptr;
}

NPObject* NPN_CreateObject(NPP npp, NPClass* aClass) {
  return g_browser.createobject != nullptr ? g_browser.createobject(npp, aClass) : nullptr;
}

NPObject* NPN_RetainObject(NPObject* npobj) {
  if (npobj == nullptr) return nullptr;
  return g_browser.retainobject != nullptr ? g_browser.retainobject(npobj) : npobj;
}

void NPN_ReleaseObject(NPObject* npobj) {
  if (npobj != nullptr && g_browser.releaseobject != nullptr) g_browser.releaseobject(npobj);
}

bool NPN_GetProperty(NPP npp, NPObject* npobj, NPIdentifier name, NPVariant* result) {
  return g_browser.getproperty != nullptr && g_browser.getproperty(npp, npobj, name, result);
}

bool NPN_InvokeDefault(NPP npp, NPObject* npobj, const NPVariant* args, std::uint32_t argCount,
                       NPVariant* result) {
  return g_browser.invokeDefault != nullptr &&
         g_browser.invokeDefault(npp, npobj, args, argCount, result);
}

void NPN_ReleaseVariantValue(NPVariant* variant) {
  if (variant != nullptr && g_browser.releasevariantvalue != nullptr) {
    g_browser.releasevariantvalue(variant);
  }
}

}  // namespace npsorvik
