#include "feature/extract_feature_set.h"

#include <cstring>

#include "core/alloc.h"
#include "core/stage_observer.h"
#include "core/status.h"
#include "feature/compute_feature_block.h"
#include "feature/filter_bank.h"
#include "feature/refine_feature.h"
#include "feature/rotate_region.h"
#include "preprocess/preprocess_image.h"

namespace veltrum {
namespace {

struct ExtractionBuffers {
  WorkArray<std::uint8_t> reference, mask, image, integral;
  WorkArray<std::int32_t> work;
  std::int16_t upper[kFrameWidth] = {}, lower[kFrameWidth] = {};
  SampleBlock sample = {};

  bool Allocate() {
    // Preprocessing writes every byte that is read of these.
    reference = AllocArray<std::uint8_t>(kFramePixels);
    if (!reference) return false;
    mask = AllocArray<std::uint8_t>(kFramePixels);
    if (!mask) return false;
    image = AllocArray<std::uint8_t>(kFramePixels);
    if (!image) return false;
    integral = AllocArray<std::uint8_t>(kIntegralScratchBytes);
    if (!integral) return false;
    // The work table's area is as large as the integral scratch; only 36960 entries are used,
    // each written before it is read.
    work = AllocArray<std::int32_t>(kIntegralScratchBytes / 4);
    return work != nullptr;
  }
};

}  // namespace

int ExtractFeatureSet(const ImageRef& input, VeinFeature& feature) {
  ExtractionBuffers buffers;
  if (!buffers.Allocate()) return kOutOfMemory;
  std::memcpy(buffers.image.get(), input.pixels, kFramePixels);
  const ImageRef copy{input.width, input.height, buffers.image.get()};
  ImageRef enhanced{};
  if (PreprocessImage(buffers.reference.get(), copy, enhanced, buffers.integral.get(),
                      buffers.upper, buffers.lower, buffers.mask.get()) != 0) {
    return kPreprocessFailed;
  }
  std::uint8_t* mask = buffers.mask.get();
  std::int32_t* work = buffers.work.get();
  for (int i = 0; i < 3; ++i) {
    FeatureBlock& block = feature.blocks[i];
    if (i > 0) {
      if (const int s = RotateRegion(enhanced.pixels, mask, kFeatureTilts[i]); s != 0) return s;
      ObserveStage("rotateRegion", "image", enhanced.pixels, kOutWidth * kOutHeight);
      ObserveStage("rotateRegion", "mask", mask, kOutWidth * kOutHeight);
    }
    if (const int s = ComputeFeatureBlock(enhanced, block, buffers.sample, mask, work); s != 0) {
      return s;
    }
    if (i == 0) {
      if (const int s = RefineFeature(block, block.coverage27, work, false); s != 0) return s;
    }
    ObserveStage("featureBlock", "block", &block, sizeof block);
  }
  return kOk;
}

}  // namespace veltrum
