#include "params/param_block.h"

#include <cstring>

#include "common/dev_info.h"

namespace dravex {
namespace {

constexpr char kSignature[4] = {'1', '2', '3', '4'};

struct SensorDefaults {
  int startExposure;
  std::uint8_t backlightOn[8];
  float steps[4];
};

constexpr SensorDefaults kClass2 = {120, {0x36, 0x25, 0x19, 0x0E, 0x0E, 0x19, 0x25, 0x36}, {64, 32, 16, 8}};
constexpr SensorDefaults kClass1Type1 = {680, {0x3F, 0x2F, 0x19, 0x0E, 0x0E, 0x19, 0x2F, 0x3F}, {285, 142, 71, 35}};
constexpr SensorDefaults kClass1Type3 = {800, {0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F}, {285, 142, 71, 35}};
constexpr SensorDefaults kType16Or18 = {40, {0x36, 0x25, 0x19, 0x0E, 0x0E, 0x19, 0x25, 0x36}, {20, 10, 5, 2.5f}};
constexpr SensorDefaults kOther = {760, {0x36, 0x25, 0x19, 0x0E, 0x0E, 0x19, 0x25, 0x36}, {128, 64, 32, 16}};

// The first row that matches wins.
const SensorDefaults& sensorDefaults(int sensor, int deviceType) {
  if (sensor == 2) return kClass2;
  if (sensor == 1 && deviceType == 1) return kClass1Type1;
  if (sensor == 1 && deviceType == 3) return kClass1Type3;
  if (deviceType == 16 || deviceType == 18) return kType16Or18;
  return kOther;
}

}  // namespace

int sensorClass(const FvDevInfo& info) {
  switch (devInfoProductId(info)) {
    case 0x8243:
      return 1;
    case 0x009B:
      return 2;
    default:
      return 0;
  }
}

FvParamBlock defaultParamBlock(const FvDevInfo& info) {
  FvParamBlock block;
  std::memset(&block, 0, sizeof block);
  block.magic = kParamMagic;
  block.edition = kDrxEdition;
  block.sensorClass = sensorClass(info);
  block.bandLow = 70;
  block.bandHigh = 90;
  block.width = devInfoWidth(info);
  block.height = devInfoHeight(info);
  block.exposure = 320;
  block.reserved0 = 0.05f;
  block.reserved1 = 0.125f;
  block.threshold = 0.63f;
  block.reserved2 = 0.4f;
  std::memcpy(block.signature, kSignature, sizeof kSignature);
  const SensorDefaults& sensor = sensorDefaults(block.sensorClass, devInfoType(info));
  block.startExposure = sensor.startExposure;
  std::memcpy(block.backlightOn, sensor.backlightOn, sizeof block.backlightOn);
  for (int i = 0; i < 4; ++i) block.steps[i] = sensor.steps[i];
  return block;
}

FvParamBlock withFieldsInRange(const FvParamBlock& block, const FvDevInfo& info) {
  const FvParamBlock defaults = defaultParamBlock(info);
  FvParamBlock checked = block;
  const auto isLevel = [](int v) { return v >= 0 && v <= 255; };
  if (!isLevel(block.bandLow) || !isLevel(block.bandHigh) || block.bandLow > block.bandHigh) {
    checked.bandLow = defaults.bandLow;
    checked.bandHigh = defaults.bandHigh;
  }
  const auto isExposure = [](int v) { return v >= 0 && v <= 0xFFFF; };
  if (!isExposure(block.exposure)) checked.exposure = defaults.exposure;
  if (!isExposure(block.startExposure)) checked.startExposure = defaults.startExposure;
  // Packed floats: copied bytewise.
  float steps[4];
  std::memcpy(steps, block.steps, sizeof steps);
  for (float step : steps) {
    if (!(step > 0.0f && step <= 65535.0f)) {  // false for NaN too
      std::memcpy(checked.steps, defaults.steps, sizeof steps);
      break;
    }
  }
  float threshold;
  std::memcpy(&threshold, &block.threshold, sizeof threshold);
  if (!(threshold > 0.0f && threshold <= 1.0f)) checked.threshold = defaults.threshold;
  return checked;
}

bool hasParamBlockFrame(const FvParamBlock& block) {
  return block.magic == kParamMagic && std::memcmp(block.signature, kSignature, sizeof kSignature) == 0;
}

bool isCurrentParamBlock(const FvParamBlock& block) {
  return hasParamBlockFrame(block) && block.edition == kDrxEdition;
}

}  // namespace dravex
