#pragma once
// Standard base64 (the RFC 4648 alphabet, "=" filling the last group), the one coder of the
// system. Lengths are always explicit; a decode refuses any text it could not have written.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace fvcommon {

// Exactly 4 x ceil(n / 3) characters.
std::size_t base64EncodedLength(std::size_t bytes);
std::string base64Encode(std::span<const std::uint8_t> data);
std::string base64Encode(std::string_view data);

// The bytes of `text`, or none when a character lies outside the alphabet, a "=" stands
// anywhere but in the last two places of the last group, the last group is a single character,
// or the result would exceed `maxBytes`. A last group of two or three characters without its
// "=" fill is accepted. An empty text decodes to no bytes.
std::optional<std::vector<std::uint8_t>> base64Decode(std::string_view text,
                                                      std::size_t maxBytes = SIZE_MAX);

}  // namespace fvcommon
