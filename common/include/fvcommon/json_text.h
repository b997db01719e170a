#pragma once
// Compact JSON texts as the system hands them out: members in ascending key order, no spaces,
// UTF-8 kept as it is (no \u escapes), a line feed at the end. One writer for every such text.

#include <json/json.h>

#include <string>
#include <string_view>

namespace fvcommon {

std::string writeCompactJson(const Json::Value& value);
// `text` as a JSON string literal, quotes included and no line feed: for texts built by format.
std::string jsonQuoted(std::string_view text);

}  // namespace fvcommon
