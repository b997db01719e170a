#include "text/text_fit.h"

#include <cstring>

namespace torvane {
namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Length of the valid UTF-8 character at `s[i]`, or 0.
std::size_t utf8Length(std::string_view s, std::size_t i) {
  const auto b = static_cast<unsigned char>(s[i]);
  std::size_t n = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
  if (n == 0 || i + n > s.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    if ((static_cast<unsigned char>(s[i + k]) >> 6) != 0x2) return 0;
  }
  if (n == 2 && b < 0xC2) return 0;  // overlong
  return n;
}

}  // namespace

std::string urlDecode(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '+') {
      bytes += ' ';
    } else if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
               hexValue(text[i + 2]) >= 0) {
      bytes += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
      i += 2;
    } else {
      bytes += text[i];
    }
  }
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    std::size_t n = utf8Length(bytes, i);
    if (n == 0) {
      out += '?';
      ++i;
    } else {
      out.append(bytes, i, n);
      i += n;
    }
  }
  return out;
}

std::string fitUtf8(std::string_view text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return std::string(text);
  std::size_t end = maxBytes;
  // Step back over continuation bytes to the start of the character that does not fit.
  while (end > 0 && (static_cast<unsigned char>(text[end]) >> 6) == 0x2) --end;
  return std::string(text.substr(0, end));
}

int urlDecodeToAnsi(const char* text, char* output, int size) {
  if (text == nullptr || output == nullptr || size <= 0) return 0;
  std::string decoded = fitUtf8(urlDecode(text), static_cast<std::size_t>(size) - 1);
  std::memcpy(output, decoded.c_str(), decoded.size() + 1);
  return 1;
}

}  // namespace torvane
