#include "fvcommon/base64.h"

#include <array>

namespace fvcommon {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<std::int8_t, 256> kValues = [] {
  std::array<std::int8_t, 256> values{};
  values.fill(-1);
  for (int i = 0; i < 64; ++i) values[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::int8_t>(i);
  return values;
}();

}  // namespace

std::string Base64Encode(const std::uint8_t* data, std::size_t length) {
  std::string text;
  if (data == nullptr || length == 0) return text;
  text.reserve(Base64EncodedSize(length));
  std::size_t i = 0;
  for (; i + 3 <= length; i += 3) {
    const std::uint32_t group = (std::uint32_t{data[i]} << 16) | (std::uint32_t{data[i + 1]} << 8) | data[i + 2];
    text += kAlphabet[group >> 18];
    text += kAlphabet[(group >> 12) & 63];
    text += kAlphabet[(group >> 6) & 63];
    text += kAlphabet[group & 63];
  }
  if (const std::size_t rest = length - i; rest != 0) {
    const std::uint32_t group = (std::uint32_t{data[i]} << 16) | (rest == 2 ? std::uint32_t{data[i + 1]} << 8 : 0);
    text += kAlphabet[group >> 18];
    text += kAlphabet[(group >> 12) & 63];
    text += rest == 2 ? kAlphabet[(group >> 6) & 63] : '=';
    text += '=';
  }
  return text;
}

std::string Base64Encode(std::string_view bytes) {
  return Base64Encode(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

std::vector<std::uint8_t> Base64Decode(std::string_view text) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(text.size() / 4 * 3 + 2);
  std::uint32_t group = 0;
  int held = 0;  // characters in `group`
  for (const char ch : text) {
    const int value = kValues[static_cast<unsigned char>(ch)];
    if (value < 0) break;  // "=" is outside the alphabet too
    group = (group << 6) | static_cast<std::uint32_t>(value);
    if (++held == 4) {
      bytes.push_back(static_cast<std::uint8_t>(group >> 16));
      bytes.push_back(static_cast<std::uint8_t>(group >> 8));
      bytes.push_back(static_cast<std::uint8_t>(group));
      group = 0;
      held = 0;
    }
  }
  if (held >= 2) bytes.push_back(static_cast<std::uint8_t>(group >> (6 * held - 8)));
  if (held == 3) bytes.push_back(static_cast<std::uint8_t>(group >> 2));
  return bytes;
}

std::optional<std::vector<std::uint8_t>> Base64DecodeStrict(std::string_view text,
                                                            std::size_t maxBytes) {
  // The fill: at most two "=", only at the very end of a whole group.
  std::size_t fill = 0;
  while (fill < 2 && fill < text.size() && text[text.size() - 1 - fill] == '=') ++fill;
  if (fill > 0 && text.size() % 4 != 0) return std::nullopt;
  const std::string_view body = text.substr(0, text.size() - fill);
  const std::size_t tail = body.size() % 4;
  if (tail == 1) return std::nullopt;
  const std::size_t length = body.size() / 4 * 3 + (tail == 0 ? 0 : tail - 1);
  if (length > maxBytes) return std::nullopt;
  for (const char ch : body) {
    if (kValues[static_cast<unsigned char>(ch)] < 0) return std::nullopt;
  }
  // Every character is now in the alphabet, so the lenient decode reads all of them.
  return Base64Decode(body);
}

}  // namespace fvcommon
