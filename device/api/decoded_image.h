#pragma once
// Decodes an export's blob argument into a 320 x 240 image, leaving the decode's code as the
// last error.

#include <vector>
#include <cstdint>

#include "blob/image_blob.h"

namespace dravex {

struct DecodedImage {
  std::vector<std::uint8_t> pixels = std::vector<std::uint8_t>(kFrameBytes);
  bool ok = false;
};

DecodedImage decodeArgument(const unsigned char* blob, int length);

}  // namespace dravex
