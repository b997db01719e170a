#pragma once
// Reads the frame size a JPEG stream announces, without decoding it.

#include <cstddef>
#include <cstdint>
#include <optional>

namespace dravex {

struct JpegFrameSize {
  int width;
  int height;
  int components;
};

// The size from the first start-of-frame segment; none when the stream is not a JPEG or its
// segments run out before one.
std::optional<JpegFrameSize> readJpegFrameSize(const std::uint8_t* data, std::size_t length);

}  // namespace dravex
