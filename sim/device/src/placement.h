#pragma once
// How a person puts the same finger on the sensor again: each placement shifts and rotates it,
// rolls it about its own axis, presses it a little harder or softer and lets the light fall on
// it a little differently, and the sensor adds noise of its own to each frame.

#include <cstdint>

#include "sim_finger/finger_generator.h"
#include "sim_device/sim_device.h"

namespace simdev {

// Spreads (standard deviations) fitted so that scores between placements of simulated fingers
// follow those between captures of real fingers.
FvSimPlacementSpread DefaultPlacementSpread();

struct Placement {
  simfinger::Finger finger;
  simfinger::Capture capture;
};

// Placement `index` (0 and up) of finger `seed`: the same arguments give the same placement,
// any other index another one.
Placement MakePlacement(std::uint64_t seed, int index, const FvSimPlacementSpread& spread);

}  // namespace simdev
