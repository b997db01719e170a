#include "placement.h"

#include <algorithm>
#include <cmath>

#include "sim_finger/random.h"

namespace simdev {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr std::uint64_t kPlacementStream = 0x504C4143;  // apart from the finger's own streams
// How much more one vein's filling varies than the finger's flattening.
constexpr double kVeinFill = 4.0;

// A person's hand stays within bounds: no placement strays more than 2.5 spreads.
double Draw(simfinger::Random& rng, double spread) {
  return spread * std::clamp(rng.Gaussian(), -2.5, 2.5);
}

// Rolling the finger about its axis by `angle` carries a vein at lateral offset y of a
// finger of half width r round the cylinder: its offset becomes r sin(theta + angle), and its
// sideways swings shrink or grow with the projection.
void Roll(simfinger::Finger& finger, double angle) {
  const double r = finger.halfWidth;
  for (simfinger::Vein& v : finger.veins) {
    const double theta = std::asin(std::clamp(v.y0 / r, -0.95, 0.95));
    const double turned = std::clamp(theta + angle, -1.35, 1.35);
    const double projection = std::clamp(std::cos(turned) / std::cos(theta), 0.5, 1.5);
    v.y0 = r * std::sin(turned);
    v.slope *= projection;
    v.a1 *= projection;
    v.a2 *= projection;
  }
}

// Pressing harder flattens the finger and pushes blood out of the veins, which then show
// fainter and a little wider; the pressure never falls evenly, so each vein fills anew.
void Press(simfinger::Finger& finger, simfinger::Random& rng, double spread) {
  const double press = Draw(rng, spread);
  finger.halfWidth *= 1.0 + press;
  for (simfinger::Vein& v : finger.veins) {
    const double fill = 1.0 - 2.0 * press + Draw(rng, kVeinFill * spread);
    v.depth *= std::clamp(fill, 0.3, 1.7);
    v.width *= 1.0 + press;
  }
}

}  // namespace

FvSimPlacementSpread DefaultPlacementSpread() {
  FvSimPlacementSpread s{};
  s.shiftAlong = 4.0;
  s.shiftAcross = 2.0;
  s.rotationDeg = 1.0;
  s.rollDeg = 4.0;
  s.press = 0.115;
  s.light = 0.08;
  return s;
}

Placement MakePlacement(std::uint64_t seed, int index, const FvSimPlacementSpread& spread) {
  simfinger::Random rng(
      simfinger::MixSeed(simfinger::MixSeed(seed, kPlacementStream), static_cast<std::uint64_t>(index)));
  Placement p{simfinger::MakeFinger(seed), simfinger::Capture{}};
  p.capture.shiftX = Draw(rng, spread.shiftAlong);
  p.capture.shiftY = Draw(rng, spread.shiftAcross);
  p.capture.rotationDeg = Draw(rng, spread.rotationDeg);
  Roll(p.finger, Draw(rng, spread.rollDeg) * kPi / 180.0);
  Press(p.finger, rng, spread.press);
  p.capture.gain = 1.0 + Draw(rng, spread.light);
  p.finger.levelWave = std::clamp(p.finger.levelWave + Draw(rng, spread.light) / 2, 0.0, 0.15);
  p.finger.wavePhase += Draw(rng, spread.light) * 4.0;
  p.capture.noiseSigma = rng.Uniform(1.5, 3.0);
  p.capture.noiseSeed = rng.Next();
  return p;
}

}  // namespace simdev
