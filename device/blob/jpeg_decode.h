#pragma once
// Decoding a JPEG to grey with libjpeg itself, so that its warnings ("Corrupt JPEG data: ...")
// go to the library's log under its debug level instead of standard error.

#include <cstddef>
#include <cstdint>

namespace dravex {

// Decodes `data` as a JPEG of exactly width x height into `grey` (width x height bytes, row by
// row); false, with `grey` untouched, when it does not decode or has another size.
bool decodeGreyJpeg(const std::uint8_t* data, std::size_t size, int width, int height,
                    std::uint8_t* grey);

}  // namespace dravex
