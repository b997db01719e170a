#pragma once
// Base64 of RFC 4648: standard alphabet, "=" fill. One coder for every front-end.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fvcommon {

std::string Base64Encode(const std::uint8_t* data, std::size_t length);
std::string Base64Encode(std::string_view bytes);

// Decodes up to the first "=" or the first character outside the alphabet (a line break
// included). A last group of two or three characters gives one or two bytes; a lone
// character carries too few bits for a byte and gives none.
std::vector<std::uint8_t> Base64Decode(std::string_view text);

// The strict decode for texts from outside: the bytes of `text`, or none when a character lies
// outside the alphabet, a "=" stands anywhere but in the last two places of the last group, the
// last group is a single character, or the result would exceed `maxBytes`. A last group of two
// or three characters without its "=" fill is accepted; an empty text gives no bytes.
std::optional<std::vector<std::uint8_t>> Base64DecodeStrict(std::string_view text,
                                                            std::size_t maxBytes = SIZE_MAX);

// Characters of the encoding of `length` bytes, without a terminator.
constexpr std::size_t Base64EncodedSize(std::size_t length) { return (length + 2) / 3 * 4; }

}  // namespace fvcommon
