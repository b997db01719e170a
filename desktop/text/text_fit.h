#pragma once
// Texts from outside (the management page, the cloud) as the dialog keeps them: URL-encoded
// UTF-8 decoded to the narrow code page, and cut to fixed sizes on a character boundary.

#include <string>
#include <string_view>

namespace torvane {

// "%hh" becomes one byte and "+" a space; a "%" without two hex digits stays as it is. Bytes
// that do not form UTF-8 characters become "?" (the narrow code page is UTF-8 here).
std::string urlDecode(std::string_view text);

// The longest prefix of `text` of at most `maxBytes` bytes that ends on a UTF-8 character
// boundary.
std::string fitUtf8(std::string_view text, std::size_t maxBytes);

// Decodes into a buffer of `size` bytes, terminator included, cut on a character boundary.
// 1 on success, 0 for a null text or output or a size not above 0.
int urlDecodeToAnsi(const char* text, char* output, int size);

}  // namespace torvane
