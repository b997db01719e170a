#pragma once
// ImageBlob: a 320 x 240 grey frame as JPEG (quality 85), zero-padded to whole 16-byte blocks and
// enciphered with the engine's image cipher. The only form in which images cross the library's
// interface.

#include <cstdint>
#include <optional>
#include <vector>

#include "common/frame_size.h"

namespace dravex {

// Error codes a decode leaves for the exports' last error.
inline constexpr int kErrEmptyImage = 10;
inline constexpr int kErrImageSize = 11;

// What a decode reports: success, and the code the exports store as their last error
// (the cipher's status 0 on success; none when the data was refused before deciphering).
struct BlobDecodeResult {
  bool ok = false;
  std::optional<int> error;
};

// Encodes a 76800-byte frame; the result's length is a multiple of 16.
std::vector<std::uint8_t> encodeImageBlob(const std::uint8_t* frame);

// Deciphers and decodes; only a 320 x 240 JPEG fills `image` (76800 bytes). The JPEG header is
// read before any decoding, so a blob announcing another size is refused without decoding it.
BlobDecodeResult decodeImageBlob(const std::vector<std::uint8_t>& blob, std::uint8_t* image);

// The exports' form: null data or length <= 0 fails with no error code.
BlobDecodeResult decodeBlobBytes(const std::uint8_t* data, int length, std::uint8_t* image);

}  // namespace dravex
