#pragma once
// The texts the browser workflow hands to page script: JSON objects with "RETURNID",
// "RETURNVALUE" and "RETURNDESC" (a numbered prompt), which result builders extend.

#include <json/json.h>

#include <string>

namespace fvbrowser {

// {"RETURNID":<id>,"RETURNVALUE":"","RETURNDESC":<prompt text>}: the fixed prompt-only form,
// no line feed. The prompt is escaped as JSON, so any language-file text keeps it valid; the
// built-in texts come out byte for byte. Prompt texts are never cut.
std::string formatPromptResult(int returnId, int promptNumber);
// {"RETURNID":<id>,"RETURNVALUE":"<value>","RETURNDESC":<prompt text>}, no line feed.
std::string formatValueResult(int returnId, const std::string& value, int promptNumber);
// A result object: compact, members in ascending key order, raw UTF-8, a line feed at the end.
std::string resultText(const Json::Value& result);

}  // namespace fvbrowser
