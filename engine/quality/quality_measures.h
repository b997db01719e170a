#pragma once
// Image measures of the quality check and assessment. Planes are 8-bit grey, width x height
// bytes, row by row; a band is always 320 wide. Each measure allocates its own work storage.

#include <cstdint>

namespace veltrum {

inline constexpr int kBandWidth = 320;

// Share of the 320 x 240 image's pixels equal to 255.
float SaturatedFraction(const std::uint8_t* image);

// 0..1: mean over 6 x 12 blocks of each block's deviation root, saturating at 200.
float BlockContrastScore(const std::uint8_t* plane, int width, int height);

// Local mean of the fourth-root curve against its 33 x 33 surround, centred on 128.
// 0, or 3012 with the plane untouched.
int LocalContrastNormalise(std::uint8_t* plane, int width, int height);

// Vertical against horizontal change of the positive x-gradient. 0, or 3012 (out unwritten).
// Not a number when the plane has no horizontal change.
int ClarityRatio(const std::uint8_t* plane, int width, int height, float& ratio);

// The grey level that best splits the plane's histogram in two (first of equal ones).
int OtsuThreshold(const std::uint8_t* plane, int width, int height);

// Pixels >= threshold in regions of more than 30 pixels, by a one-pass labelling whose merge
// rule is deliberately partial. 0 with `count` written, or 3012 (count unchanged).
int BrightRegionPixels(const std::uint8_t* plane, int width, int height, int threshold,
                       std::int32_t& count);

// 3 x 3 median over each column's first run of mask pixels in rows top..bottom. 0, or -1.
int MaskedMedianBand(std::uint8_t* band, int bandHeight, const std::uint8_t* mask, int top,
                     int bottom);

// Valley depth at distance 8 wherever the 17 x 17 window lies inside the mask; 0 elsewhere.
// 0, or 3012 with the band unchanged.
int ValleyResponseBand(std::uint8_t* band, int bandHeight, const std::uint8_t* mask, int top,
                       int bottom);

}  // namespace veltrum
