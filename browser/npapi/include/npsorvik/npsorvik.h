#pragma once
// Exports of the npsorvik browser plug-in (MIME type "application/sorvik-plugin").

#include "fvplatform/npapi.h"

#define NPSORVIK_API __attribute__((visibility("default")))

extern "C" {
// Fills the plug-in's table (version 27 and its instance calls): 0; 3 for a missing table or
// one too small to hold the instance calls.
NPSORVIK_API NPError NP_GetEntryPoints(NPPluginFuncs* pFuncs);
// Keeps a copy of the browser's table: 0; 3 for a missing table or one too small to hold the
// calls the plug-in makes, 8 for a major version above the plug-in's. One symbol serves both
// calling sequences: a Windows browser calls NP_GetEntryPoints first and passes a null
// `pFuncs`; a Unix browser passes its plug-in table here, which is then filled as
// NP_GetEntryPoints fills it (its failure leaves no browser table kept).
NPSORVIK_API NPError NP_Initialize(NPNetscapeFuncs* bFuncs, NPPluginFuncs* pFuncs);
// Ends what is still alive (the plug-in service, the log) and forgets the browser's table: 0.
NPSORVIK_API NPError NP_Shutdown();
// A Unix browser's questions before loading: the MIME type, its suffixes and description.
NPSORVIK_API const char* NP_GetMIMEDescription();
// The plug-in's name (variable 1) and description (2) as static texts: 0; 9 for a null
// `value`, 1 for any other variable.
NPSORVIK_API NPError NP_GetValue(void* future, NPPVariable variable, void* value);
}
