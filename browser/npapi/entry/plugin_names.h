#pragma once
// What the plug-in calls itself, to the browser that asks before loading it and to an instance.

#include "fvplatform/npapi.h"

namespace npsorvik {

inline constexpr char kPluginName[] = "NPRuntimeTest";
inline constexpr char kPluginDescription[] = "NPRuntime scriptability API test plugin";
// A Unix browser's form: type, suffixes and description, separated by colons.
inline constexpr char kMimeDescription[] =
    "application/sorvik-plugin:*:NPRuntime scriptability API test plugin";

// The name (variable 1) or description (2) into `value`, a `const char**`: true; false for
// any other variable, leaving `value` alone.
inline bool AnswerPluginText(NPPVariable variable, void* value) {
  const char* text = variable == NPPVpluginNameString          ? kPluginName
                     : variable == NPPVpluginDescriptionString ? kPluginDescription
                                                               : nullptr;
  if (text == nullptr) return false;
  *static_cast<const char**>(value) = text;
  return true;
}

}  // namespace npsorvik
