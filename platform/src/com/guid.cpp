#include <cctype>
#include <cstdio>

#include "fvplatform/com_types.h"

namespace fvplat {

std::string GuidToString(const GUID& guid) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0],
                guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
                guid.Data4[6], guid.Data4[7]);
  return text;
}

namespace {

int HexValue(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  if (lower >= 'a' && lower <= 'f') return lower - 'a' + 10;
  return -1;
}

// Reads `digits` hex digits at text[at], advancing at; false on a non-digit.
bool ReadHex(const std::string& text, std::size_t& at, int digits, std::uint32_t& value) {
  value = 0;
  for (int i = 0; i < digits; ++i, ++at) {
    const int digit = HexValue(text[at]);
    if (digit < 0) return false;
    value = value << 4 | static_cast<std::uint32_t>(digit);
  }
  return true;
}

}  // namespace

std::optional<GUID> GuidFromString(const std::string& text) {
  // {8-4-4-4-12}
  if (text.size() != 38 || text.front() != '{' || text.back() != '}') return std::nullopt;
  if (text[9] != '-' || text[14] != '-' || text[19] != '-' || text[24] != '-') return std::nullopt;
  GUID guid{};
  std::size_t at = 1;
  std::uint32_t value = 0;
  if (!ReadHex(text, at, 8, value)) return std::nullopt;
  guid.Data1 = value;
  ++at;
  if (!ReadHex(text, at, 4, value)) return std::nullopt;
  guid.Data2 = static_cast<std::uint16_t>(value);
  ++at;
  if (!ReadHex(text, at, 4, value)) return std::nullopt;
  guid.Data3 = static_cast<std::uint16_t>(value);
  ++at;
  for (int i = 0; i < 8; ++i) {
    if (i == 2) ++at;  // the dash before the last 12 digits
    if (!ReadHex(text, at, 2, value)) return std::nullopt;
    guid.Data4[i] = static_cast<std::uint8_t>(value);
  }
  return guid;
}

}  // namespace fvplat
