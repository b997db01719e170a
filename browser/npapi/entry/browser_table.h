#pragma once
// The browser's functions, as copied at NP_Initialize. Each call answers its failure value when
// the browser left the entry out or no table was taken.

#include <cstdint>

#include "fvplatform/npapi.h"

namespace npsorvik {

// Copies the entries `table` holds by its size; entries it lacks stay null, and the Java
// entries are never kept. Answers the NP_Initialize code.
NPError CopyBrowserTable(const NPNetscapeFuncs* table);
void ClearBrowserTable();
// The version and size of the copy.
std::uint16_t BrowserTableVersion();
std::uint16_t BrowserTableSize();

void* NPN_MemAlloc(std::uint32_t size);
NPError NPN_GetValue(NPP instance, NPNVariable variable, void* value);
NPIdentifier NPN_GetStringIdentifier(const NPUTF8* name);
NPObject* NPN_CreateObject(NPP npp, NPClass* aClass);
NPObject* NPN_RetainObject(NPObject* npobj);
void NPN_ReleaseObject(NPObject* npobj);
bool NPN_GetProperty(NPP npp, NPObject* npobj, NPIdentifier name, NPVariant* result);
bool NPN_InvokeDefault(NPP npp, NPObject* npobj, const NPVariant* args, std::uint32_t argCount,
                       NPVariant* result);
void NPN_ReleaseVariantValue(NPVariant* variant);

}  // namespace npsorvik
