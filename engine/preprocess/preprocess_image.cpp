#include "preprocess/preprocess_image.h"

#include <array>
#include <cstring>
#include <memory>

#include "core/alloc.h"
#include "core/engine_state.h"
#include "core/status.h"
#include "edges/finger_edges.h"
#include "preprocess/preprocess_steps.h"

namespace veltrum {
namespace {

constexpr int kMinFingerArea = 6400;
constexpr int kHalfW = kFrameWidth / 2;
constexpr int kCropCol = 10;

struct WorkPlanes {
  std::unique_ptr<std::uint8_t[]> bandMask, innerMask, bandPlane, searchPlane, referencePlane;

  bool Allocate() {
    for (auto* plane : {&bandMask, &innerMask, &bandPlane, &searchPlane, &referencePlane}) {
      *plane = AllocArray<std::uint8_t>(kFramePixels);
      if (!*plane) return false;
    }
    return true;
  }
};

// Columns 10..149 of each 160-wide row; the rows overlap when a plane is cropped onto itself.
void Crop(const std::uint8_t* from, std::uint8_t* to) {
  for (int j = 0; j < kOutHeight; ++j) {
    std::memmove(to + j * kOutWidth, from + j * kHalfW + kCropCol, kOutWidth);
  }
}

}  // namespace

int PreprocessImage(std::uint8_t* reference, const ImageRef& input, ImageRef& output,
                    std::uint8_t* integralScratch, std::int16_t* upper, std::int16_t* lower,
                    std::uint8_t* mask) {
  std::uint8_t* image = input.pixels;
  WorkPlanes w;
  if (!w.Allocate()) return kOutOfMemory;
  std::array<std::int16_t, kEdgeColumns> bandUpper{}, bandLower{};
  std::memset(upper, 0, kEdgeColumns * sizeof(std::int16_t));
  std::memset(lower, 0, kEdgeColumns * sizeof(std::int16_t));

  // Edges, searched on cleaned copies.
  const bool mode2 = EngineMode() == 2;
  if (!mode2) SuppressEdgeGlare(image, w.searchPlane.get());
  if (const int s = SuppressSaturatedBands(image, w.bandPlane.get()); s < 0) return s;
  if (mode2) {
    std::memcpy(w.searchPlane.get(), w.bandPlane.get(), kFramePixels);
  } else if (const int s = FindFingerEdges(w.searchPlane.get(), upper, lower); s != kOk) {
    return s;
  }
  if (const int s = FindFingerEdges(w.bandPlane.get(), bandUpper.data(), bandLower.data());
      s != kOk) {
    return s;
  }
  if (mode2) {
    std::memcpy(upper, bandUpper.data(), sizeof bandUpper);
    std::memcpy(lower, bandLower.data(), sizeof bandLower);
  }

  // Geometry: straighten, normalise the width, unwrap the cross-section.
  float slope = 0, intercept = 0;
  int upperVaries = 0, lowerVaries = 0;
  FitFingerAxis(slope, intercept, bandUpper.data(), bandLower.data(), upperVaries, lowerVaries);
  const int area = FillFingerMask(upper, lower, mask);
  const int bandArea = FillFingerMask(bandUpper.data(), bandLower.data(), w.bandMask.get());
  if (area < kMinFingerArea || bandArea < kMinFingerArea) return kFingerTooSmall;
  if (const int s = RotateFinger(image, mask, w.bandMask.get(), slope, upper, lower); s != kOk)
    return s;
  int top = 0, bottom = 0;
  MaskEdgeRows(bandUpper.data(), bandLower.data(), w.bandMask.get(), top, bottom);
  if (const int s = NormaliseFingerWidth(bandUpper.data(), bandLower.data(), image, mask);
      s != kOk) {
    return s;
  }
  MaskEdgeRows(upper, lower, mask, top, bottom);
  if (const int s = UnwrapFingerSection(lower, lowerVaries, upperVaries, upper, image, mask);
      s != kOk) {
    return s;
  }
  MaskEdgeRows(upper, lower, mask, top, bottom);

  // Veins: denoise, valley response, merge.
  if (const int s = MedianInMask(image, mask, top, bottom); s != kOk) return s;
  std::memcpy(w.referencePlane.get(), image, kFramePixels);
  std::uint8_t* valley = w.searchPlane.get();
  std::memcpy(valley, image, kFramePixels);
  if (const int s = ValleyResponse(valley, mask, w.innerMask.get(), top, bottom); s != kOk)
    return s;
  for (int pass = 0; pass < 2; ++pass) {
    if (const int s = SmoothInMask(mask, valley, top, bottom); s != kOk) return s;
  }
  CombineValleyImage(image, valley);

  // Local contrast within the inner mask, then reduction and crop.
  std::uint8_t* savedMask = w.searchPlane.get();
  std::memcpy(savedMask, mask, kFramePixels);
  std::memcpy(mask, w.innerMask.get(), kFramePixels);
  if (const int s = EqualiseLocalHistogram(image, mask, top, bottom); s != kOk) return s;
  if (const int s = BrightenLocalMean(image, mask, integralScratch, top, bottom); s != kOk)
    return s;
  std::memcpy(mask, savedMask, kFramePixels);
  if (const int s = HalveImages(image, w.referencePlane.get(), mask); s != kOk) return s;
  Crop(w.referencePlane.get(), reference);
  Crop(image, image);
  Crop(mask, mask);
  output = {kOutWidth, kOutHeight, image};
  return kOk;
}

}  // namespace veltrum
