#pragma once
// The 96-byte parameter block at on-board offset 0 and the 25-byte serial block at offset 180:
// the device's exposure tuning, target band, backlight patterns, threshold, number and serial.

#include <cstddef>
#include <cstdint>

#include "dravex.h"

namespace dravex {

#pragma pack(push, 1)
struct FvParamBlock {
  std::uint16_t magic;
  std::uint16_t edition;
  std::int32_t sensorClass;
  std::int32_t bandLow;   // lowest accepted finger-region level
  std::int32_t bandHigh;  // highest accepted level
  std::int32_t deviceNumber;
  std::int32_t lastLevel;  // written by every acquisition step
  std::int32_t width;
  std::int32_t height;
  std::int32_t mirror;  // non-zero mirrors every frame left to right
  std::int32_t exposure;
  std::int32_t startExposure;
  std::uint8_t backlightOn[8];
  std::uint8_t backlightOff[8];
  float reserved0;
  float reserved1;
  float threshold;  // default match threshold
  float reserved2;
  float steps[4];  // exposure steps s1 > s2 > s3 > s4
  char signature[4];
};

struct FvSerialBlock {
  std::int32_t date;  // production date, as the caller chose it
  char text[21];      // zero-terminated, at most 20 characters
};
#pragma pack(pop)

static_assert(sizeof(FvParamBlock) == 96);
static_assert(offsetof(FvParamBlock, deviceNumber) == 16);
static_assert(offsetof(FvParamBlock, startExposure) == 40);
static_assert(offsetof(FvParamBlock, backlightOn) == 44);
static_assert(offsetof(FvParamBlock, threshold) == 68);
static_assert(offsetof(FvParamBlock, steps) == 76);
static_assert(offsetof(FvParamBlock, signature) == 92);
static_assert(sizeof(FvSerialBlock) == 25);

inline constexpr int kParamBlockOffset = 0;
inline constexpr int kDeviceNumberOffset = 16;
inline constexpr int kSerialBlockOffset = 180;
inline constexpr std::uint16_t kParamMagic = 0x9876;
inline constexpr int kSerialTextMax = 20;

// The on-board memory as the blocks see it: byte reads and writes at an offset.
class OnboardMemory {
 public:
  virtual ~OnboardMemory() = default;
  virtual bool read(int offset, void* data, int length) = 0;
  virtual bool write(int offset, const void* data, int length) = 0;
};

// 1 for product id 0x8243, 2 for 0x009B, else 0.
int sensorClass(const FvDevInfo& info);

// The block a device without a valid one gets: the fixed defaults and those of its sensor.
FvParamBlock defaultParamBlock(const FvDevInfo& info);

// The block with every field the library reads checked on its own: a field out of its range
// (a band whose low end lies above its high end, exposures beyond 16 bits, steps that are not
// finite numbers in 0 < s <= 65535, a threshold that is not a number in 0 < t <= 1) takes its
// default for the device.
FvParamBlock withFieldsInRange(const FvParamBlock& block, const FvDevInfo& info);

// Magic and signature are ours: the block was written by some edition of this library.
bool hasParamBlockFrame(const FvParamBlock& block);
// ... and by this edition.
bool isCurrentParamBlock(const FvParamBlock& block);

}  // namespace dravex
