#pragma once
// Parameters of the local interface's URL-encoded query strings.

#include <string>
#include <string_view>

namespace torvane {

// The value of `key` in a raw query ("k=v&k2=v2"), decoded; empty when absent. The query is
// split at "&" before anything is decoded, and key and value are decoded apart, so an encoded
// "%26" stays inside its value; keys match whole ("finger_type" is not "type"), the first wins.
std::string getRequestField(std::string_view rawQuery, std::string_view key);

// A decimal parameter as atoi reads it (leading blanks, a sign, digits); 0 when absent, not a
// number, or beyond the 32-bit range.
int requestInt(std::string_view text);

}  // namespace torvane
