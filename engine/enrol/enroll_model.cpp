// Enrolment: one to three captures of a finger into one template.

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "api/operations.h"
#include "core/alloc.h"
#include "core/stage_observer.h"
#include "core/status.h"
#include "enrol/enrol_order.h"
#include "enrol/enrol_sampling.h"
#include "enrol/match_enroll_pair.h"
#include "enrol/merge_enroll_features.h"
#include "feature/compute_feature_block.h"
#include "feature/filter_bank.h"
#include "feature/rotate_region.h"
#include "feature/unpack_feature_block.h"
#include "preprocess/preprocess_image.h"

namespace veltrum {
namespace {

constexpr int kBlocks = 3 * kMaxEnrolImages;  // block 3i + g: image i, tilt g

struct EnrolBuffers {
  WorkArray<std::uint8_t> images[kMaxEnrolImages];
  WorkArray<std::uint8_t> reference, mask, integral;
  // working: the template's sample block, a scratch sample block, two merge results.
  WorkArray<FeatureBlock> blocks, working;
  // Per block its normalised responses (the work table), which the merge averages: codes and
  // coarse vector of a template are then on the same scale as a probe's.
  WorkArray<std::int32_t> tables;
  WorkArray<std::int32_t> responses, merged;  // merged: two alternating tables
  WorkArray<MergeRunning> running;
  std::int16_t upper[kFrameWidth] = {}, lower[kFrameWidth] = {};

  bool Allocate(int count) {
    for (int i = 0; i < count; ++i) {
      if (!(images[i] = AllocArray<std::uint8_t>(kFramePixels))) return false;
    }
    // Every buffer is written whole before it is read: the planes by preprocessing, blocks and
    // tables by their block, the merge's by the merge.
    return (reference = AllocArray<std::uint8_t>(kFramePixels)) &&
           (mask = AllocArray<std::uint8_t>(kFramePixels)) &&
           (integral = AllocArray<std::uint8_t>(kIntegralScratchBytes)) &&
           (blocks = AllocArray<FeatureBlock>(kBlocks)) &&
           (working = AllocArray<FeatureBlock>(4)) &&
           (tables = AllocArray<std::int32_t>(std::size_t{kBlocks} * kResponseEntries)) &&
           (responses = AllocArray<std::int32_t>(kResponseEntries)) &&
           (merged = AllocArray<std::int32_t>(std::size_t{2} * kResponseEntries)) &&
           (running = AllocArray<MergeRunning>(1));
  }

  std::int32_t* Table(int block) { return tables.get() + std::size_t(block) * kResponseEntries; }
  std::int32_t* Merged(int k) { return merged.get() + std::size_t(k) * kResponseEntries; }
  FeatureBlock& Sampled() { return working[0]; }
  FeatureBlock& Scratch() { return working[1]; }
  FeatureBlock& MergeBlock(int k) { return working[2 + k]; }
};

// Preprocesses capture i and computes its three tilted blocks, unpacked with both maps.
int ComputeImageBlocks(EnrolBuffers& b, int i) {
  const ImageRef input{kFrameWidth, kFrameHeight, b.images[i].get()};
  ImageRef enhanced{};
  if (const int status = PreprocessImage(b.reference.get(), input, enhanced, b.integral.get(),
                                         b.upper, b.lower, b.mask.get());
      status != 0) {
    std::memset(&b.blocks[3 * i], 0, 3 * sizeof(FeatureBlock));
    return status;
  }
  for (int g = 0; g < 3; ++g) {
    const int k = 3 * i + g;
    FeatureBlock& sample = k == 0 ? b.Sampled() : b.Scratch();
    if (const int s = RotateRegion(enhanced.pixels, b.mask.get(), kFeatureTilts[g]); s != 0) return s;
    if (const int s = ComputeFeatureBlock(enhanced, b.blocks[k], sample, b.mask.get(), b.Table(k),
                                          b.responses.get());
        s != 0) {
      return s;
    }
    if (const int s = UnpackFeatureBlock(b.blocks[k], kGridCells, true); s != 0) return s;
    ObserveStage("enrolBlock", "block", &b.blocks[k], sizeof b.blocks[k]);
    ObserveStage("enrolBlock", "responses", b.Table(k), kResponseEntries * sizeof(std::int32_t));
  }
  return kOk;
}

// Two or three captures: order, merge and sample. Leaves the template's sample block in
// Sampled(); `leader` receives the first image of the order.
int MergeImages(EnrolBuffers& b, int images, int& leader) {
  EnrolPairMatch pairs[kMaxEnrolImages][kMaxEnrolImages];
  PairScores scores{};
  for (int i = 0; i < images; ++i) {
    for (int j = 0; j < images; ++j) {
      if (i == j) continue;
      pairs[i][j] = BestEnrolBlock(b.blocks[3 * i], &b.blocks[3 * j]);
      scores[i][j] = pairs[i][j].score;
    }
  }
  const auto order = EnrolOrder(scores, images);
  if (StagesObserved()) {
    for (int i = 0; i < images; ++i) {
      for (int j = 0; j < images; ++j) {
        if (i == j) continue;
        const EnrolPairMatch& m = pairs[i][j];
        const int match[4] = {m.score, m.block, m.shiftRow, m.shiftCol};
        ObserveStage("enrolPairs", "match", match, sizeof match);
      }
    }
    ObserveStage("enrolOrder", "order", order.data(), sizeof order);
  }
  leader = order[0];
  const EnrolPairMatch& second = pairs[order[0]][order[1]];
  const int otherBlock = 3 * order[1] + second.block;
  StartMerge(b.running[0], b.blocks[3 * order[0]]);
  MergeEnrollFeatures(b.MergeBlock(0), b.blocks[3 * order[0]], b.blocks[otherBlock],
                      b.Table(3 * order[0]), b.Table(otherBlock), b.running[0], second.shiftRow,
                      second.shiftCol, 10, b.Merged(0));
  ObserveStage("enrolMerge", "block", &b.MergeBlock(0), sizeof(FeatureBlock));
  ObserveStage("enrolMerge", "responses", b.Merged(0), kResponseEntries * sizeof(std::int32_t));
  int result = 0;
  if (images == 3) {
    FeatureBlock& merged = b.MergeBlock(0);
    if (UnpackFeatureBlock(merged, kGridCells, false) != 0) return -1;
    const EnrolPairMatch third = BestEnrolBlock(merged, &b.blocks[3 * order[2]]);
    const int block = 3 * order[2] + third.block;
    MergeEnrollFeatures(b.MergeBlock(1), merged, b.blocks[block], b.Merged(0), b.Table(block),
                        b.running[0], third.shiftRow, third.shiftCol, ThirdImageWeight(third.score),
                        b.Merged(1));
    const int match[4] = {third.score, third.block, third.shiftRow, third.shiftCol};
    ObserveStage("enrolThird", "match", match, sizeof match);
    ObserveStage("enrolMerge", "block", &b.MergeBlock(1), sizeof(FeatureBlock));
    ObserveStage("enrolMerge", "responses", b.Merged(1), kResponseEntries * sizeof(std::int32_t));
    result = 1;
  }
  return SampleMergedBlock(b.Sampled(), b.MergeBlock(result), b.Merged(result));
}

}  // namespace

int EnrollModel(const unsigned char* image1, const unsigned char* image2,
                const unsigned char* image3, unsigned char* model) {
  if (image1 == nullptr || (image3 != nullptr && image2 == nullptr)) return kNoImage;
  const unsigned char* inputs[kMaxEnrolImages] = {image1, image2, image3};
  const int images = image3 ? 3 : (image2 ? 2 : 1);
  EnrolBuffers b;
  if (!b.Allocate(images)) return kOutOfMemory;
  for (int i = 0; i < images; ++i) {
    std::memcpy(b.images[i].get(), inputs[i], kFramePixels);  // the caller's images stay as given
    if (const int status = ComputeImageBlocks(b, i); status != kOk) return status;
  }
  int leader = 0;
  const int status = images == 1 ? CompleteSingleSamples(b.Sampled(), b.blocks[0], b.Table(0))
                                 : MergeImages(b, images, leader);
  if (status != kOk) return status;
  // Built aside and copied out whole on success; the spare bytes stay the caller's.
  VeinModel out{};
  FillModel(out, b.Sampled(), b.blocks[3 * leader]);
  std::memcpy(model, &out, offsetof(VeinModel, spare));
  return kOk;
}

}  // namespace veltrum
