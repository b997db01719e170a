#include <algorithm>
#include <cmath>

#include "fvplatform/clock.h"
#include "sim_finger/finger_generator.h"
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
      d.scene = simfinger::Render(simfinger::MakeFinger(d.fingerSeed),
                                  simfinger::MakeCapture(d.fingerSeed, capture), w, h);
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

// Brightness factor of sensor 0: linear in exposure and gain, rising with the backlight until
// the finger is fully lit.
double Brightness(const SimDevice& d) {
  double pattern = 0;
  for (std::uint8_t segment : d.backlight) pattern += segment;
  pattern /= 8.0;
  const double light = std::min(1.0, kAmbientLight + (1.0 - kAmbientLight) * pattern / kFullLight);
  const double gain = (d.gain[0][0] & 0x3F) / 32.0;  // the top bits are product flags
  return std::max(0, d.exposure[0]) / static_cast<double>(d.config.exposureUnit) * gain * light;
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
  const double k = Brightness(d);
  int lut[256];
  for (int v = 0; v < 256; ++v) lut[v] = Expose(v * k);
  const bool wide = SixteenBit(d.config.type);
  std::vector<std::uint8_t> frame(scene.size() * (wide ? 2 : 1), 0);
  for (std::size_t i = 0; i < scene.size(); ++i) {
    const int v = lut[scene[i]];
    // No light, no signal: the noise rides on what the sensor sees.
    const auto pixel = static_cast<std::uint8_t>(v == 0 ? 0 : std::clamp(v + d.readNoise[i], 0, 254));
    if (!wide) {
      frame[i] = pixel;
    } else {
      // The second byte of a pair is nothing the library reads; it differs from the first so
      // that taking the wrong byte shows.
      frame[2 * i] = pixel;
      frame[2 * i + 1] = static_cast<std::uint8_t>(255 - pixel);
    }
  }
  return frame;
}

}  // namespace simdev
