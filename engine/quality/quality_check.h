#pragma once
// The steps of the quality check and of the quality assessment. `params` is the caller's
// block of six floats: limits [0..2] in, measures [3..5] out, written only as far as the check
// gets.

#include <cstdint>

namespace veltrum {

// Verdicts besides the engine's statuses.
inline constexpr int kPoorFinger = 2001;  // blurred, or too little vein structure
inline constexpr int kOffCentre = 2002;
inline constexpr int kTooNarrow = 2003;
inline constexpr int kOverexposed = 2004;
inline constexpr int kTooShort = 2005;
inline constexpr int kTooDark = 2006;

// Replaces each limit that is exactly 0 by the default of `mode` and writes it back.
void FillQualityLimits(float* params, int mode);

// Judges the image on its finger edges (320 rows each, 0 = none, any values), from the column
// statistics on.
int JudgeFingerEdges(const std::uint8_t* image, float* params, const std::int16_t* upper,
                     const std::int16_t* lower, int mode);

// The last test, on the filtered band: its bright structure against the band limit.
// `cropScore` and `contrast` come from the crop, `fingerPixels` counts the mask.
int BandVerdict(const std::uint8_t* band, int bandHeight, std::int32_t fingerPixels,
                float cropScore, float contrast, float* params, int mode);

// Mode 0's acceptance: r1 is the share of pixels above the adapted threshold, m the mixed
// bright measure, s the crop's block contrast.
bool AcceptsBand(float r1, float m, float s, float limit);

// Rows of the finger's edges near the middle columns, searched outwards from row 120.
void CentreEdgeRows(const std::uint8_t* image, int& lower, int& upper);

// Mean line strength of the 288 blocks of a normalised 288 x 96 crop.
float MeanLineStrength(const std::uint8_t* crop);

}  // namespace veltrum
