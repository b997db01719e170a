#pragma once
// The corpus the engine's trained tables are made from: seeded synthetic fingers, then the real
// images of the shared data folder when it is present; and their blocks as extraction makes them.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "feature/feature_block.h"

namespace training {

struct CorpusImage {
  std::string finger;  // one label per finger
  int capture;
  std::vector<std::uint8_t> pixels;  // 320 x 240
  std::string note;  // the manifest's note (the capture device of real-a); empty for synthetic
  std::string source;  // "sim", or the real set's folder ("real-a", "real-b", ...)
};

struct CorpusPlan {
  std::uint64_t firstSeed = 1000;
  int syntheticFingers = 500;
  int capturesPerFinger = 4;
  std::string dataDir;  // empty: synthetic only
};

// Where one image of the corpus comes from: a synthetic finger's seed, or a file.
struct ImageSpec {
  std::string finger;
  int capture;
  std::string note, source;
  std::uint64_t seed;
  std::string path;  // empty for synthetic
};
// The images of the plan in a fixed order: synthetic fingers, then the manifest's lines.
std::vector<ImageSpec> ListImages(const CorpusPlan& plan);
// False when the file cannot be read as a 320 x 240 grey image.
bool LoadImage(const ImageSpec& spec, CorpusImage& out);

// Visits every image in a fixed order; returns how many were visited.
int ForEachImage(const CorpusPlan& plan, const std::function<void(const CorpusImage&)>& visit);

// What VLT_FV_Init(0) does: engine mode 0 and the lookup tables. Call before ExtractBlocks.
void InitEngineForTraining();

// The three tilted blocks of one image as the extraction computes them, unpacked with both
// coverage maps, and each block's filter responses.
struct ImageBlocks {
  veltrum::FeatureBlock blocks[3];
  std::vector<std::int32_t> responses[3];
};
// False when the image is refused (no finger, too small).
bool ExtractBlocks(const std::uint8_t* image, ImageBlocks& out);

// "label,capture,path" lines describing the corpus, for the generated file's header.
std::string Describe(const CorpusPlan& plan, int images, int extracted);

}  // namespace training
