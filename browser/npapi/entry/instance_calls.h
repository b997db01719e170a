#pragma once
// The plug-in's instance calls, as NP_GetEntryPoints hands them to the browser.

#include "fvplatform/npapi.h"

namespace npsorvik {

// Fills the plug-in's table with the calls below as far as its size reaches (version 27, the
// Java entry null): 0; 3 for a missing table or one too small to hold them.
NPError FillPluginTable(NPPluginFuncs* pFuncs);

NPError NPP_New(NPMIMEType pluginType, NPP instance, std::uint16_t mode, std::int16_t argc,
                char* argn[], char* argv[], NPSavedData* saved);
NPError NPP_Destroy(NPP instance, NPSavedData** save);
NPError NPP_SetWindow(NPP instance, NPWindow* pNPWindow);
NPError NPP_NewStream(NPP instance, NPMIMEType type, NPStream* stream, NPBool seekable,
                      std::uint16_t* stype);
NPError NPP_DestroyStream(NPP instance, NPStream* stream, NPReason reason);
void NPP_StreamAsFile(NPP instance, NPStream* stream, const char* fname);
std::int32_t NPP_WriteReady(NPP instance, NPStream* stream);
std::int32_t NPP_Write(NPP instance, NPStream* stream, std::int32_t offset, std::int32_t len,
                       void* buffer);
void NPP_Print(NPP instance, NPPrint* printInfo);
std::int16_t NPP_HandleEvent(NPP instance, void* event);
void NPP_URLNotify(NPP instance, const char* url, NPReason reason, void* notifyData);
NPError NPP_GetValue(NPP instance, NPPVariable variable, void* value);
NPError NPP_SetValue(NPP instance, NPNVariable variable, void* value);

}  // namespace npsorvik
