#include "preprocess/preprocess_image.h"

#include <array>
#include <cstring>

#include "core/alloc.h"
#include "core/engine_state.h"
#include "core/stage_observer.h"
#include "core/status.h"
#include "edges/finger_edges.h"
#include "preprocess/preprocess_steps.h"

namespace veltrum {
namespace {

constexpr int kMinFingerArea = 6400;
constexpr int kHalfW = kFrameWidth / 2;
constexpr int kCropCol = 10;

// The state of one call: the caller's planes, the second (band) edges and the work planes.
struct Pipeline {
  Pipeline(std::uint8_t* image_, std::uint8_t* mask_, std::int16_t* upper_, std::int16_t* lower_)
      : image(image_), mask(mask_), upper(upper_), lower(lower_) {}

  std::uint8_t* image;
  std::uint8_t* mask;
  std::int16_t* upper;
  std::int16_t* lower;
  std::array<std::int16_t, kEdgeColumns> bandUpper{}, bandLower{};
  WorkArray<std::uint8_t> bandMask, innerMask, bandPlane, searchPlane, referencePlane;
  int upperVaries = 0, lowerVaries = 0;
  int top = 0, bottom = 0;

  // The whole state after a step, for a listener: planes, edges and the rows in use.
  void Observe(const char* stage) const {
    if (!StagesObserved()) return;
    ObserveStage(stage, "image", image, kFramePixels);
    ObserveStage(stage, "mask", mask, kFramePixels);
    ObserveStage(stage, "bandMask", bandMask.get(), kFramePixels);
    ObserveEdges(stage);
    const int rows[2] = {top, bottom};
    ObserveStage(stage, "rows", rows, sizeof rows);
  }
  void ObserveEdges(const char* stage) const {
    ObserveStage(stage, "upper", upper, kEdgeColumns * sizeof(std::int16_t));
    ObserveStage(stage, "lower", lower, kEdgeColumns * sizeof(std::int16_t));
    ObserveStage(stage, "bandUpper", bandUpper.data(), sizeof bandUpper);
    ObserveStage(stage, "bandLower", bandLower.data(), sizeof bandLower);
  }

  bool Allocate() {
    // Each plane is written whole (a copy, or a mask cleared first) before it is read.
    for (auto* plane : {&bandMask, &innerMask, &bandPlane, &searchPlane, &referencePlane}) {
      *plane = AllocArray<std::uint8_t>(kFramePixels);
      if (!*plane) return false;
    }
    return true;
  }

  // Edges of a glare-free copy (the caller's) and of a copy without over-exposed bands.
  int SearchEdges() {
    std::memset(upper, 0, kEdgeColumns * sizeof(std::int16_t));
    std::memset(lower, 0, kEdgeColumns * sizeof(std::int16_t));
    const bool mode2 = EngineMode() == 2;
    if (!mode2) {
      SuppressEdgeGlare(image, searchPlane.get());
      ObserveStage("glare", "plane", searchPlane.get(), kFramePixels);
    }
    if (const int s = SuppressSaturatedBands(image, bandPlane.get()); s < 0) return s;
    ObserveStage("bands", "plane", bandPlane.get(), kFramePixels);
    if (mode2) {
      std::memcpy(searchPlane.get(), bandPlane.get(), kFramePixels);
    } else if (const int s = FindFingerEdges(searchPlane.get(), upper, lower); s != kOk) {
      return s;
    }
    if (const int s = FindFingerEdges(bandPlane.get(), bandUpper.data(), bandLower.data())) {
      return s;
    }
    if (mode2) {
      std::memcpy(upper, bandUpper.data(), sizeof bandUpper);
      std::memcpy(lower, bandLower.data(), sizeof bandLower);
    }
    if (StagesObserved()) ObserveEdges("edges");
    return kOk;
  }

  // Straightens the finger, normalises its width and unwraps its cross-section.
  int Straighten() {
    float slope = 0, intercept = 0;
    FitFingerAxis(slope, intercept, bandUpper.data(), bandLower.data(), upperVaries, lowerVaries);
    const float axis[2] = {slope, intercept};
    const int varies[2] = {upperVaries, lowerVaries};
    ObserveStage("axis", "line", axis, sizeof axis);
    ObserveStage("axis", "varies", varies, sizeof varies);
    const int area = FillFingerMask(upper, lower, mask);
    const int bandArea = FillFingerMask(bandUpper.data(), bandLower.data(), bandMask.get());
    Observe("fillMask");
    if (area < kMinFingerArea || bandArea < kMinFingerArea) return kFingerTooSmall;
    if (const int s = RotateFinger(image, mask, bandMask.get(), slope, upper, lower)) return s;
    Observe("rotate");
    MaskEdgeRows(bandUpper.data(), bandLower.data(), bandMask.get(), top, bottom);
    Observe("maskBandRows");
    if (const int s = NormaliseFingerWidth(bandUpper.data(), bandLower.data(), image, mask)) {
      return s;
    }
    Observe("width");
    MaskEdgeRows(upper, lower, mask, top, bottom);
    Observe("maskRows");
    if (const int s = UnwrapFingerSection(lower, lowerVaries, upperVaries, upper, image, mask)) {
      return s;
    }
    Observe("unwrap");
    MaskEdgeRows(upper, lower, mask, top, bottom);
    Observe("maskUnwrappedRows");
    return kOk;
  }

  // Denoises, keeps the reference, and turns the vein valleys bright.
  int EnhanceVeins() {
    if (const int s = MedianInMask(image, mask, top, bottom)) return s;
    Observe("median");
    std::memcpy(referencePlane.get(), image, kFramePixels);
    std::uint8_t* valley = searchPlane.get();
    std::memcpy(valley, image, kFramePixels);
    if (const int s = ValleyResponse(valley, mask, innerMask.get(), top, bottom)) return s;
    ObserveStage("valley", "plane", valley, kFramePixels);
    ObserveStage("valley", "innerMask", innerMask.get(), kFramePixels);
    for (int pass = 0; pass < 2; ++pass) {
      if (const int s = SmoothInMask(mask, valley, top, bottom)) return s;
      ObserveStage("smooth", "plane", valley, kFramePixels);
    }
    CombineValleyImage(image, valley);
    ObserveStage("combine", "image", image, kFramePixels);
    return kOk;
  }

  // Local contrast, worked within the inner mask; both steps only read their mask, so the
  // finger mask stays where it is.
  int EqualiseContrast(std::uint8_t* integralScratch) {
    if (const int s = EqualiseLocalHistogram(image, innerMask.get(), top, bottom)) return s;
    ObserveStage("equalise", "image", image, kFramePixels);
    if (const int s = BrightenLocalMean(image, innerMask.get(), integralScratch, top, bottom)) {
      return s;
    }
    ObserveStage("brighten", "image", image, kFramePixels);
    return kOk;
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
  Pipeline p(input.pixels, mask, upper, lower);
  if (!p.Allocate()) return kOutOfMemory;
  if (const int s = p.SearchEdges()) return s;
  if (const int s = p.Straighten()) return s;
  if (const int s = p.EnhanceVeins()) return s;
  if (const int s = p.EqualiseContrast(integralScratch)) return s;
  if (const int s = HalveImages(p.image, p.referencePlane.get(), mask)) return s;
  Crop(p.referencePlane.get(), reference);
  Crop(p.image, p.image);
  Crop(mask, mask);
  ObserveStage("preprocessed", "image", p.image, kOutWidth * kOutHeight);
  ObserveStage("preprocessed", "reference", reference, kOutWidth * kOutHeight);
  ObserveStage("preprocessed", "mask", mask, kOutWidth * kOutHeight);
  output = {kOutWidth, kOutHeight, p.image};
  return kOk;
}

}  // namespace veltrum
