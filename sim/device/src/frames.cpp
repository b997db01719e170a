#include <algorithm>
#include <array>
#include <cmath>

#include "fvplatform/clock.h"
#include "sim_finger/finger_generator.h"
#include "placement.h"
#include "sim_finger/random.h"
#include "sim_state.h"

namespace simdev {
namespace {

constexpr std::uint8_t kBackground = 6;
constexpr int kContrast = 150;
// A backlight pattern of this mean grey lights the finger fully; brighter patterns add nothing.
constexpr double kFullLight = 32.0;
constexpr double kAmbientLight = 0.1;
// Read-out noise of the sensor in output grey levels, fixed for one capture.
constexpr double kReadNoiseSigma = 3.0;

const std::vector<std::uint8_t>& Scene(World& world, SimDevice& d) {
  const bool finger = FingerPresent(world, d);
  const int capture = world.demo ? static_cast<int>(fvplat::ClockMs() / 6000) : d.captureIndex;
  const std::uint64_t key = finger ? (d.fingerSeed * 1000003ull + static_cast<std::uint64_t>(capture))
                                   : ~1ull;
  if (key != d.sceneKey) {
    const int w = d.config.width, h = d.config.height;
    if (finger) {
      const Placement placement = MakePlacement(d.fingerSeed, capture, world.placementSpread);
      d.scene = simfinger::Render(placement.finger, placement.capture, w, h);
      // Light through a finger falls off faster than linearly with its thickness: a square
      // law spreads the rounded cross-section over the grey range as real captures do.
      for (std::uint8_t& v : d.scene) v = static_cast<std::uint8_t>((v * v + kContrast / 2) / kContrast);
    } else {
      d.scene.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), kBackground);
    }
    d.sceneKey = key;
    simfinger::Random rng(key);
    d.readNoise.resize(d.scene.size());
    for (std::int8_t& n : d.readNoise) {
      n = static_cast<std::int8_t>(std::clamp(std::lround(rng.Gaussian() * kReadNoiseSigma), -12L, 12L));
    }
  }
  return d.scene;
}

// Mode bits the sensor of a product expects in each gain word. A word without them, or with
// another product's, leaves its channel in the low range.
std::uint16_t ModeBits(unsigned productId) {
  switch (productId) {
    case 0x8431: return 0x40;
    case 0x8232:
    case 0x8243: return 0x80;
    default: return 0;
  }
}
constexpr double kLowRange = 0.25;
constexpr std::uint16_t kGainValueMask = 0x3F;
constexpr double kUnityGain = 32.0;

double ChannelGain(const SimDevice& d, std::uint16_t word) {
  const double gain = (word & kGainValueMask) / kUnityGain;
  return (word & ~kGainValueMask) == ModeBits(d.config.productId) ? gain : gain * kLowRange;
}

// Light on the finger: rises with the backlight pattern until the finger is fully lit.
double Light(const SimDevice& d) {
  double pattern = 0;
  for (std::uint8_t segment : d.backlight) pattern += segment;
  pattern /= 8.0;
  return std::min(1.0, kAmbientLight + (1.0 - kAmbientLight) * pattern / kFullLight);
}

// Brightness factor of one sensor's channel: linear in its exposure and gain word.
double Brightness(const SimDevice& d, int sensor, int channel) {
  return std::max(0, d.exposure[sensor]) / static_cast<double>(d.config.exposureUnit) *
         ChannelGain(d, d.gain[sensor][channel]) * Light(d);
}

// A soft knee near white keeps an over-exposed frame graded instead of flat.
std::uint8_t Expose(double v) {
  constexpr double knee = 200.0, room = 54.0;
  if (v > knee) v = knee + room * (1.0 - std::exp(-(v - knee) / room));
  return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 254L));
}

}  // namespace

bool SixteenBit(int type) { return type == 3 || type == 16 || type == 18; }

std::vector<std::uint8_t> RenderFrame(World& world, SimDevice& d) {
  const std::vector<std::uint8_t>& scene = Scene(world, d);
  const bool wide = SixteenBit(d.config.type);
  const int sensors = wide ? 2 : 1;
  // One look-up table per sensor and channel (the pixel's row and column parity).
  std::vector<std::array<std::uint8_t, 256>> lut(static_cast<std::size_t>(4 * sensors));
  for (int s = 0; s < sensors; ++s) {
    for (int c = 0; c < 4; ++c) {
      const double k = Brightness(d, s, c);
      for (int v = 0; v < 256; ++v) lut[static_cast<std::size_t>(4 * s + c)][v] = Expose(v * k);
    }
  }
  const int w = d.config.width;
  std::vector<std::uint8_t> frame(scene.size() * static_cast<std::size_t>(sensors), 0);
  for (std::size_t i = 0; i < scene.size(); ++i) {
    const int row = static_cast<int>(i / static_cast<std::size_t>(w));
    const int col = static_cast<int>(i % static_cast<std::size_t>(w));
    const int channel = 2 * (row & 1) + (col & 1);
    for (int s = 0; s < sensors; ++s) {
      const int v = lut[static_cast<std::size_t>(4 * s + channel)][scene[i]];
      // No light, no signal: the noise rides on what the sensor sees.
      frame[i * static_cast<std::size_t>(sensors) + static_cast<std::size_t>(s)] =
          static_cast<std::uint8_t>(v == 0 ? 0 : std::clamp(v + d.readNoise[i], 0, 254));
    }
  }
  return frame;
}

}  // namespace simdev
