#include "sim_finger/random.h"

#include <cmath>

namespace simfinger {

std::uint64_t Random::Next() {  // splitmix64
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

double Random::Uniform(double lo, double hi) {
  return lo + (hi - lo) * (static_cast<double>(Next() >> 11) * 0x1.0p-53);
}

int Random::UniformInt(int lo, int hi) {
  const auto span = static_cast<std::uint64_t>(hi - lo + 1);
  return lo + static_cast<int>(Next() % span);
}

double Random::Gaussian() {
  const double u1 = (static_cast<double>(Next() >> 11) + 1.0) * 0x1.0p-53;
  const double u2 = static_cast<double>(Next() >> 11) * 0x1.0p-53;
  return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
}

std::uint64_t MixSeed(std::uint64_t a, std::uint64_t b) {
  Random r(a ^ (b * 0xD1B54A32D192ED03ull));
  return r.Next();
}

}  // namespace simfinger
