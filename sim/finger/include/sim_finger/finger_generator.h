#pragma once
// Seeded synthetic near-infrared finger images: a bright rounded finger band on a dark
// background, crossed by dark winding veins whose pattern is a function of the finger's seed.

#include <cstdint>
#include <vector>

namespace simfinger {

inline constexpr int kWidth = 320;
inline constexpr int kHeight = 240;

// One dark vessel, a curve y(x) across part of the finger in scene coordinates (320 x 240).
struct Vein {
  double x0, x1;           // horizontal extent
  double y0, slope;        // base line
  double a1, w1, p1;       // first undulation: amplitude, angular frequency, phase
  double a2, w2, p2;       // second undulation
  double width;            // width in pixels (3..5): 1.25 standard deviations of its profile
  double depth;            // grey levels at the centre (15..40)
};

// What stays the same from one capture of a finger to the next.
struct Finger {
  double centreRow;   // finger axis at the middle column
  double halfWidth;   // half the band's height
  double tilt;        // axis slope, rows per column
  double taper;       // relative change of the half width across the image
  double level;       // grey level at the band's centre
  double levelWave;   // relative brightness swing along the finger
  double wavePhase;
  double background;  // grey level off the finger
  std::vector<Vein> veins;
  double tipColumn = 1e9;  // scene column where the finger ends; beyond the frame by default
};

// How one capture differs: placement, exposure and sensor noise.
struct Capture {
  double shiftX = 0, shiftY = 0;
  double rotationDeg = 0;  // about the image centre
  double gain = 1.0;
  double noiseSigma = 0;
  std::uint64_t noiseSeed = 0;
  bool clipsToWhite = false;  // an over-driven sensor: what would exceed 254 reads 255
};

Finger MakeFinger(std::uint64_t seed);
// Capture index 0 and up: small seeded shifts (a few px), rotation (at most 2 degrees),
// brightness and noise (sigma at most 4).
Capture MakeCapture(std::uint64_t fingerSeed, int captureIndex);

// Renders the scene at any size; the geometry scales with it. No pixel reaches 255.
std::vector<std::uint8_t> Render(const Finger& finger, const Capture& capture, int width = kWidth,
                                 int height = kHeight);

// The usual shorthand: capture `captureIndex` of finger `seed`, 320 x 240.
std::vector<std::uint8_t> FingerImage(std::uint64_t seed, int captureIndex);

// Ways a capture goes wrong that a quality check must refuse.
enum class Flaw {
  kSaturated,  // over-exposed: much of the finger reads 255
  kNarrow,     // a thin finger, edges less than 96 rows apart
  kOffCentre,  // lying low in the frame, its upper edge below row 120
  kShort,      // only its tip reaches in, ending before the middle
  kDark,       // under-exposed: the finger averages below 15
  kNoVeins,    // a finger without any vein
};

// Capture 0 of finger `seed` with one flaw, 320 x 240.
std::vector<std::uint8_t> FlawedFingerImage(std::uint64_t seed, Flaw flaw);

}  // namespace simfinger
