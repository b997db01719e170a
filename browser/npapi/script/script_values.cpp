#include "script/script_values.h"

#include <cmath>
#include <cstring>

#include "entry/browser_table.h"

namespace npsorvik {

std::optional<std::int32_t> IntArgument(const NPVariant& value) {
  if (value.type == NPVariantType_Int32) return value.value.intValue;
  if (value.type == NPVariantType_Double) {
    const double truncated = std::trunc(value.value.doubleValue);
    if (!(truncated >= -2147483648.0 && truncated <= 2147483647.0)) return std::nullopt;
    return static_cast<std::int32_t>(truncated);
  }
  return std::nullopt;
}

std::optional<std::string> TextArgument(const NPVariant& value) {
  if (value.type != NPVariantType_String) return std::nullopt;
  const NPString& text = value.value.stringValue;
  if (text.UTF8Characters == nullptr) return std::string();
  return std::string(text.UTF8Characters, text.UTF8Length);
}

void SetVoid(NPVariant* result) {
  result->type = NPVariantType_Void;
  result->value.objectValue = nullptr;
}

void SetInt(NPVariant* result, std::int32_t value) {
  result->type = NPVariantType_Int32;
  result->value.intValue = value;
}

bool SetText(NPVariant* result, const std::string& text) {
  auto* copy = static_cast<NPUTF8*>(NPN_MemAlloc(static_cast<std::uint32_t>(text.size() + 1)));
  if (copy == nullptr) {
    SetVoid(result);
    return false;
  }
  std::memcpy(copy, text.c_str(), text.size() + 1);
  result->type = NPVariantType_String;
  result->value.stringValue.UTF8Characters = copy;
  result->value.stringValue.UTF8Length = static_cast<std::uint32_t>(text.size());
  return true;
}

}  // namespace npsorvik
