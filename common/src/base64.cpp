#include "fvcommon/base64.h"

#include <array>

namespace fvcommon {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<std::int8_t, 256> DecodeTable() {
  std::array<std::int8_t, 256> table{};
  for (auto& entry : table) entry = -1;
  for (int i = 0; i < 64; ++i)
    table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::int8_t>(i);
  return table;
}
constexpr std::array<std::int8_t, 256> kDecode = DecodeTable();

}  // namespace

std::size_t base64EncodedLength(std::size_t bytes) {
  return (bytes + 2) / 3 * 4;
}

std::string base64Encode(std::span<const std::uint8_t> data) {
  std::string text;
  text.reserve(base64EncodedLength(data.size()));
  std::size_t i = 0;
  for (; i + 3 <= data.size(); i += 3) {
    const std::uint32_t group = data[i] << 16 | data[i + 1] << 8 | data[i + 2];
    text += kAlphabet[group >> 18 & 63];
    text += kAlphabet[group >> 12 & 63];
    text += kAlphabet[group >> 6 & 63];
    text += kAlphabet[group & 63];
  }
  if (const std::size_t rest = data.size() - i; rest > 0) {
    const std::uint32_t group = data[i] << 16 | (rest == 2 ? data[i + 1] << 8 : 0);
    text += kAlphabet[group >> 18 & 63];
    text += kAlphabet[group >> 12 & 63];
    text += rest == 2 ? kAlphabet[group >> 6 & 63] : '=';
    text += '=';
  }
  return text;
}

std::string base64Encode(std::string_view data) {
  return base64Encode(std::span<const std::uint8_t>(
      reinterpret_cast<const std::uint8_t*>(data.data()), data.size()));
}

std::optional<std::vector<std::uint8_t>> base64Decode(std::string_view text, std::size_t maxBytes) {
  // Strip the fill first: at most two "=" and only at the very end of a whole group.
  std::size_t fill = 0;
  while (fill < 2 && fill < text.size() && text[text.size() - 1 - fill] == '=') ++fill;
  if (fill > 0 && text.size() % 4 != 0) return std::nullopt;
  const std::string_view body = text.substr(0, text.size() - fill);
  const std::size_t tail = body.size() % 4;
  if (tail == 1) return std::nullopt;
  const std::size_t bytes = body.size() / 4 * 3 + (tail == 0 ? 0 : tail - 1);
  if (bytes > maxBytes) return std::nullopt;

  std::vector<std::uint8_t> out;
  out.reserve(bytes);
  std::uint32_t group = 0;
  int held = 0;
  for (const char ch : body) {
    const int value = kDecode[static_cast<unsigned char>(ch)];
    if (value < 0) return std::nullopt;
    group = group << 6 | static_cast<std::uint32_t>(value);
    if (++held == 4) {
      out.push_back(static_cast<std::uint8_t>(group >> 16));
      out.push_back(static_cast<std::uint8_t>(group >> 8));
      out.push_back(static_cast<std::uint8_t>(group));
      group = 0;
      held = 0;
    }
  }
  if (held == 2) {
    out.push_back(static_cast<std::uint8_t>(group >> 4));
  } else if (held == 3) {
    out.push_back(static_cast<std::uint8_t>(group >> 10));
    out.push_back(static_cast<std::uint8_t>(group >> 2));
  }
  return out;
}

}  // namespace fvcommon
