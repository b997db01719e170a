#pragma once
// Script arguments and results of the scriptable object.

#include <cstdint>
#include <optional>
#include <string>

#include "fvplatform/npapi.h"

namespace npsorvik {

// An Int32, or a Double truncated toward zero; none for any other value or a Double out of
// the 32-bit range.
std::optional<std::int32_t> IntArgument(const NPVariant& value);
// A String's characters with their given length; none for any other value.
std::optional<std::string> TextArgument(const NPVariant& value);

void SetVoid(NPVariant* result);
void SetInt(NPVariant* result, std::int32_t value);
// Copied with its terminator into memory from the browser; false (and void) when none is had.
bool SetText(NPVariant* result, const std::string& text);

}  // namespace npsorvik
