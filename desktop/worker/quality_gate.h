#pragma once
// The quality gate of every capture, and the same-finger test of enrolment captures 2 and 3.

#include "ports/device_access.h"

namespace torvane {

struct GateLimits {
  float saturatedBelow;  // q[1] must lie below this
  float bandAbove;       // q[3] must lie above this
};

inline constexpr GateLimits kEnrolGate{0.001f, 0.072f};
inline constexpr GateLimits kSignInGate{0.025f, 0.053f};
inline constexpr double kSameFingerScore = 0.4;

// Fresh measures for every call; a failed call is a refusal, whatever was measured before.
// A NaN measure refuses, since every comparison with it is false.
bool passesQualityGate(DeviceAccess& device, const Bytes& blob, GateLimits limits);

// Matches the capture against a copy of the model; passed when the call succeeds and the score
// is above 0.4.
bool isSameFinger(DeviceAccess& device, const Bytes& blob, const Bytes& model);

}  // namespace torvane
