#include "sim_finger/finger_generator.h"

#include <algorithm>
#include <cmath>

#include "sim_finger/random.h"

namespace simfinger {
namespace {

constexpr double kPi = 3.14159265358979323846;

double Smoothstep(double edge0, double edge1, double x) {
  const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
  return t * t * (3.0 - 2.0 * t);
}

Vein MakeVein(Random& rng, const Finger& f, bool branch) {
  Vein v{};
  if (branch) {
    v.x0 = rng.Uniform(20, 260);
    v.x1 = v.x0 + rng.Uniform(30, 70);
    v.slope = rng.Uniform(0.5, 1.4) * (rng.Next() & 1 ? 1 : -1);
  } else {
    v.x0 = rng.Uniform(-20, 60);
    v.x1 = rng.Uniform(240, 340);
    v.slope = rng.Uniform(-0.12, 0.12);
  }
  v.y0 = rng.Uniform(-0.65, 0.65) * f.halfWidth;
  v.a1 = rng.Uniform(3, 10);
  v.w1 = 2 * kPi / rng.Uniform(70, 160);
  v.p1 = rng.Uniform(0, 2 * kPi);
  v.a2 = rng.Uniform(1, 4);
  v.w2 = 2 * kPi / rng.Uniform(25, 60);
  v.p2 = rng.Uniform(0, 2 * kPi);
  v.width = rng.Uniform(3, 5);
  v.depth = rng.Uniform(15, 40);
  return v;
}

// Vertical offset of the vein's curve from the finger axis at scene column x, and its slope.
void VeinCurve(const Vein& v, double x, double& y, double& dy) {
  const double u = x - v.x0;
  y = v.y0 + v.slope * u + v.a1 * std::sin(v.w1 * x + v.p1) + v.a2 * std::sin(v.w2 * x + v.p2);
  dy = v.slope + v.a1 * v.w1 * std::cos(v.w1 * x + v.p1) + v.a2 * v.w2 * std::cos(v.w2 * x + v.p2);
}

}  // namespace

Finger MakeFinger(std::uint64_t seed) {
  Random rng(MixSeed(seed, 0x46494E47));
  Finger f{};
  f.centreRow = 120 + rng.Uniform(-4, 4);
  f.halfWidth = rng.Uniform(52, 60);
  f.tilt = rng.Uniform(-0.02, 0.02);
  f.taper = rng.Uniform(-0.08, 0.08);
  f.level = rng.Uniform(145, 165);
  f.levelWave = rng.Uniform(0.02, 0.06);
  f.wavePhase = rng.Uniform(0, 2 * kPi);
  f.background = rng.Uniform(26, 34);
  const int mains = rng.UniformInt(4, 6);
  const int branches = rng.UniformInt(2, 4);
  for (int i = 0; i < mains; ++i) f.veins.push_back(MakeVein(rng, f, false));
  for (int i = 0; i < branches; ++i) f.veins.push_back(MakeVein(rng, f, true));
  return f;
}

Capture MakeCapture(std::uint64_t fingerSeed, int captureIndex) {
  Random rng(MixSeed(MixSeed(fingerSeed, 0x43415054), static_cast<std::uint64_t>(captureIndex)));
  Capture c;
  c.shiftX = rng.Uniform(-3, 3);
  c.shiftY = rng.Uniform(-2.5, 2.5);
  c.rotationDeg = rng.Uniform(-1.5, 1.5);
  c.gain = rng.Uniform(0.95, 1.05);
  c.noiseSigma = rng.Uniform(1.5, 3.0);
  c.noiseSeed = rng.Next();
  return c;
}

std::vector<std::uint8_t> Render(const Finger& f, const Capture& c, int width, int height) {
  std::vector<std::uint8_t> out(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  Random noise(c.noiseSeed);
  const double sx = static_cast<double>(kWidth) / width;
  const double sy = static_cast<double>(kHeight) / height;
  const double angle = c.rotationDeg * kPi / 180.0;
  const double ca = std::cos(angle), sa = std::sin(angle);
  const double cx = kWidth / 2.0, cy = kHeight / 2.0;
  for (int row = 0; row < height; ++row) {
    for (int col = 0; col < width; ++col) {
      // Back from the captured image into the finger's own scene coordinates.
      const double px = (col + 0.5) * sx - cx - c.shiftX;
      const double py = (row + 0.5) * sy - cy - c.shiftY;
      const double x = ca * px + sa * py + cx;
      const double y = -sa * px + ca * py + cy;
      const double axis = f.centreRow + f.tilt * (x - cx);
      const double half = f.halfWidth * (1.0 + f.taper * (x - cx) / kWidth);
      const double u = (y - axis) / half;
      double value = f.background;
      // The tip: the finger fades into the background over its last 12 columns.
      const double tip = Smoothstep(f.tipColumn, f.tipColumn - 12, x);
      if (std::abs(u) < 1.08 && tip > 0) {
        const double across = std::pow(std::max(0.0, 1.0 - u * u), 0.3);
        const double edge = Smoothstep(1.06, 0.96, std::abs(u));
        const double along = 1.0 + f.levelWave * std::sin(2 * kPi * x / 260 + f.wavePhase);
        double finger = f.level * along * across;
        // Veins towards the sides lie deeper in the tissue: fainter. Their flanks stay gentle
        // enough that no vein is mistaken for the finger's edge by a strip-wise edge search.
        const double veinShade = std::pow(std::max(0.0, 1.0 - u * u), 1.5);
        for (const Vein& v : f.veins) {
          if (x < v.x0 || x > v.x1) continue;
          double vy, dvy;
          VeinCurve(v, x, vy, dvy);
          const double dist = std::abs(y - axis - vy) / std::sqrt(1.0 + dvy * dvy);
          const double sigma = v.width / 1.25;
          if (dist > 4 * sigma) continue;
          const double fade = Smoothstep(v.x0, v.x0 + 12, x) * Smoothstep(v.x1, v.x1 - 12, x);
          finger -= v.depth * fade * veinShade * std::exp(-dist * dist / (2 * sigma * sigma));
        }
        value = f.background + (std::max(finger, f.background) - f.background) * edge * tip;
      }
      value = value * c.gain + c.noiseSigma * noise.Gaussian();
      const long brightest = c.clipsToWhite ? 255L : 254L;
      out[static_cast<std::size_t>(row) * width + col] =
          static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, brightest));
    }
  }
  return out;
}

std::vector<std::uint8_t> FingerImage(std::uint64_t seed, int captureIndex) {
  return Render(MakeFinger(seed), MakeCapture(seed, captureIndex));
}

}  // namespace simfinger

namespace simfinger {

std::vector<std::uint8_t> FlawedFingerImage(std::uint64_t seed, Flaw flaw) {
  Finger finger = MakeFinger(seed);
  Capture capture = MakeCapture(seed, 0);
  switch (flaw) {
    case Flaw::kSaturated:
      capture.gain = 1.9;
      capture.clipsToWhite = true;
      break;
    case Flaw::kNarrow:
      finger.halfWidth = 40;
      break;
    case Flaw::kOffCentre:
      finger.centreRow = 172;
      finger.halfWidth = 45;
      break;
    case Flaw::kShort:
      // Beyond the tip a still, unlit sensor: no edge can be traced there.
      finger.tipColumn = 190;
      capture.noiseSigma = 0;
      break;
    case Flaw::kDark:
      capture.gain = 0.1;
      capture.noiseSigma = 0.5;
      break;
    case Flaw::kNoVeins:
      finger.veins.clear();
      break;
  }
  return Render(finger, capture);
}

}  // namespace simfinger
