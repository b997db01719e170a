// The exports a Unix browser asks before it loads the plug-in.

#include "entry/plugin_names.h"
#include "log/log_file.h"
#include "npsorvik/npsorvik.h"

const char* NP_GetMIMEDescription() {
  fvbrowser::logf("NP_GetMIMEDescription");
  return npsorvik::kMimeDescription;
}

NPError NP_GetValue(void*, NPPVariable variable, void* value) {
  fvbrowser::logf("NP_GetValue");
  if (value == nullptr) return NPERR_INVALID_PARAM;
  return npsorvik::AnswerPluginText(variable, value) ? NPERR_NO_ERROR : NPERR_GENERIC_ERROR;
}
