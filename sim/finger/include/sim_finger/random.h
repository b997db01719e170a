#pragma once
// A small seeded generator whose sequence is the same on every platform and library.

#include <cstdint>

namespace simfinger {

class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next();
  // Uniform in [lo, hi).
  double Uniform(double lo, double hi);
  int UniformInt(int lo, int hi);  // inclusive
  double Gaussian();               // mean 0, sigma 1

 private:
  std::uint64_t state_;
};

// Mixes several values into one seed.
std::uint64_t MixSeed(std::uint64_t a, std::uint64_t b);

}  // namespace simfinger
