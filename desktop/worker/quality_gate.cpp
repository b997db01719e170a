#include "worker/quality_gate.h"

namespace torvane {

bool passesQualityGate(DeviceAccess& device, const Bytes& blob, GateLimits limits) {
  QualityMeasures q{};
  if (!device.quality(blob, q)) return false;
  return q.saturated < limits.saturatedBelow && q.band > limits.bandAbove;
}

bool isSameFinger(DeviceAccess& device, const Bytes& blob, const Bytes& model) {
  Bytes copy = model;
  float score = 0;
  if (!device.match(blob, copy, score)) return false;
  return static_cast<double>(score) > kSameFingerScore;
}

}  // namespace torvane
