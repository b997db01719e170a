#pragma once
// Exports of the npsorvik browser plug-in (MIME type "application/sorvik-plugin").

#include "fvplatform/npapi.h"

#define NPSORVIK_API __attribute__((visibility("default")))

extern "C" {
// Fills the plug-in's table (version 27 and its instance calls): 0; 3 for a missing table or
// one too small to hold the instance calls.
NPSORVIK_API NPError NP_GetEntryPoints(NPPluginFuncs* pFuncs);
// Keeps a copy of the browser's table: 0; 3 for a missing table or one too small to hold the
// calls the plug-in makes, 8 for a major version above the plug-in's.
NPSORVIK_API NPError NP_Initialize(NPNetscapeFuncs* bFuncs);
// Ends what is still alive (the plug-in service, the log) and forgets the browser's table: 0.
NPSORVIK_API NPError NP_Shutdown();
}
