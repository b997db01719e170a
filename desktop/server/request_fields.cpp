#include "server/request_fields.h"

#include <cctype>
#include <cstdint>
#include <limits>

#include "text/text_fit.h"

namespace torvane {
namespace {

// The buffer each decoded text is kept in, terminator included.
constexpr int kDecodedSize = 1024;

// As urlDecodeToAnsi decodes, but an encoded zero byte stays in the value rather than ending
// it, so "getFingerCollect%00x" is not "getFingerCollect".
std::string decoded(std::string_view text) { return fitUtf8(urlDecode(text), kDecodedSize - 1); }

}  // namespace

std::string getRequestField(std::string_view rawQuery, std::string_view key) {
  std::size_t at = 0;
  while (at <= rawQuery.size()) {
    std::size_t end = rawQuery.find('&', at);
    if (end == std::string_view::npos) end = rawQuery.size();
    const std::string_view pair = rawQuery.substr(at, end - at);
    const std::size_t equals = pair.find('=');
    if (equals != std::string_view::npos && decoded(pair.substr(0, equals)) == key) {
      return decoded(pair.substr(equals + 1));
    }
    at = end + 1;
  }
  return {};
}

int requestInt(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > std::int64_t{std::numeric_limits<int>::max()} + 1) return 0;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int>::max() || value < std::numeric_limits<int>::min()) return 0;
  return static_cast<int>(value);
}

}  // namespace torvane
