#pragma once
// The preprocessing pipeline: a 320 x 240 image into the 140 x 120 enhanced vein image,
// reference image and finger mask.

#include <cstdint>

#include "core/image_ref.h"

namespace veltrum {

inline constexpr int kIntegralScratchBytes = 309444;  // 321 x 241 32-bit values

// `input` pixels are processed in place (76800 bytes); on 0, `output` = {140, 120, input pixels}.
// `reference` receives 16800 bytes; `mask` is a 76800-byte plane whose first 16800 bytes end as
// the 140 x 120 finger mask; `upper`/`lower` are 320-entry edge arrays.
int PreprocessImage(std::uint8_t* reference, const ImageRef& input, ImageRef& output,
                    std::uint8_t* integralScratch, std::int16_t* upper, std::int16_t* lower,
                    std::uint8_t* mask);

}  // namespace veltrum
