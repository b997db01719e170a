#pragma once
// The steps of the preprocessing pipeline, in pipeline order. Every plane is 320 x 240 bytes
// (pitch 320) unless said otherwise; edge arrays hold 320 rows, 0 = no edge in that column;
// masks hold 0 or 1. `top`/`bottom` are the row bounds that MaskEdgeRows reports.

#include <cstdint>

namespace veltrum {

// Cleaning of the copies searched for edges.
// 1: nothing changed (plain copy), 0: ran to the end, -1: out of memory.
int SuppressSaturatedBands(const std::uint8_t* image, std::uint8_t* out);
// Always 0.
int SuppressEdgeGlare(const std::uint8_t* image, std::uint8_t* out);

// Geometry. Area of the mask set from the edges (mask cleared first).
int FillFingerMask(const std::int16_t* upper, const std::int16_t* lower, std::uint8_t* mask);
// Always 0; `intercept` is written only when a line is fitted.
int FitFingerAxis(float& slope, float& intercept, const std::int16_t* upper,
                  const std::int16_t* lower, int& upperVaries, int& lowerVaries);
// 0, or 3012 with the planes untouched.
int RotateFinger(std::uint8_t* image, std::uint8_t* mask1, std::uint8_t* mask2, float slope,
                 const std::int16_t* upper, const std::int16_t* lower);
void MaskEdgeRows(std::int16_t* upper, std::int16_t* lower, const std::uint8_t* mask, int& top,
                  int& bottom);
// 0, or 3012 with the planes untouched.
int NormaliseFingerWidth(const std::int16_t* upper, const std::int16_t* lower, std::uint8_t* image,
                         std::uint8_t* mask);
int UnwrapFingerSection(const std::int16_t* lower, int lowerVaries, int upperVaries,
                        const std::int16_t* upper, std::uint8_t* image, std::uint8_t* mask);

// Vein valleys.
// 0, or -1 when out of memory.
int MedianInMask(std::uint8_t* image, const std::uint8_t* mask, int top, int bottom);
// The same over a plane of 320 columns and `height` rows.
int MedianInMaskRows(std::uint8_t* image, int height, const std::uint8_t* mask, int top,
                     int bottom);
// 0, or 3012. `valley` enters as a copy of the image and leaves as the response.
int ValleyResponse(std::uint8_t* valley, const std::uint8_t* mask, std::uint8_t* innerMask, int top,
                   int bottom);
// 0, or 3012.
int SmoothInMask(const std::uint8_t* mask, std::uint8_t* valley, int top, int bottom);
void CombineValleyImage(std::uint8_t* image, const std::uint8_t* valley);

// Local equalisation and reduction.
// 0, or 3012.
int EqualiseLocalHistogram(std::uint8_t* image, const std::uint8_t* mask, int top, int bottom);
// 0, or -1. `scratch` (309444 bytes, still given by the callers) is not used: the window sums
// roll down the rows over a copy of the image instead of an integral image.
int BrightenLocalMean(std::uint8_t* image, const std::uint8_t* mask, std::uint8_t* scratch, int top,
                      int bottom);
// 0, or 3012. Each plane's first 19200 bytes then hold its 160 x 120 reduction.
int HalveImages(std::uint8_t* image, std::uint8_t* reference, std::uint8_t* mask);

}  // namespace veltrum
