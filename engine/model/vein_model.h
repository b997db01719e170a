#pragma once
// The enrolled template: 3352 bytes, little-endian, opaque outside the engine.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace veltrum {

static_assert(std::endian::native == std::endian::little, "stored forms are little-endian");

inline constexpr int kASamples = 144;
inline constexpr int kBSamples = 98;
inline constexpr int kEdgePairs = 70;
inline constexpr int kCoarseEntries = 240;

struct VeinModel {
  // Per A-sample, 16 four-bit values: byte i holds value 2i high, value 2i + 1 low.
  std::uint8_t cellVectors[kASamples][8];
  // Per B-sample, four words of three 11-bit codes; 104 bits count (word 3 bits 0-7 only).
  std::uint32_t codeRows[kBSamples][4];
  std::uint8_t edgePairs[kEdgePairs][2];
  std::int32_t gridOrigin;
  std::int32_t gridStep;
  std::uint8_t cellWeights[kASamples];  // radius-15 coverage
  std::uint8_t codeWeights[kBSamples];  // radius-27 coverage
  std::int8_t coarse[kCoarseEntries];
  std::uint8_t spare[2];
};

static_assert(sizeof(VeinModel) == 3352);
static_assert(offsetof(VeinModel, cellVectors) == 0);
static_assert(offsetof(VeinModel, codeRows) == 1152);
static_assert(offsetof(VeinModel, edgePairs) == 2720);
static_assert(offsetof(VeinModel, gridOrigin) == 2860);
static_assert(offsetof(VeinModel, gridStep) == 2864);
static_assert(offsetof(VeinModel, cellWeights) == 2868);
static_assert(offsetof(VeinModel, codeWeights) == 3012);
static_assert(offsetof(VeinModel, coarse) == 3110);
static_assert(offsetof(VeinModel, spare) == 3350);

// Callers' buffers carry no alignment promise: models move in and out by copy.
inline VeinModel LoadModel(const unsigned char* bytes) {
  VeinModel model;
  std::memcpy(&model, bytes, sizeof model);
  return model;
}

inline void StoreModel(const VeinModel& model, unsigned char* bytes) {
  std::memcpy(bytes, &model, sizeof model);
}

}  // namespace veltrum
