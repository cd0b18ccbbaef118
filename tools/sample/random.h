// A small, fully specified random number generator (splitmix64), so that the same seed gives the
// same files with every compiler and library.
#pragma once

#include <cmath>
#include <cstdint>

namespace pelinor::sample {

class SplitMix {
 public:
  explicit SplitMix(std::uint64_t seed) : state_(seed) {}

  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform in [0, 1) with 53 bits.
  double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
  // Uniform integer in [0, n), n > 0.
  int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
  bool chance(double p) { return uniform() < p; }
  // Approximately standard normal (sum of four uniforms, scaled to variance 1): only basic
  // arithmetic and a correctly rounded square root, so results never depend on the math library.
  double normal() {
    double sum = uniform() + uniform() + uniform() + uniform();
    return (sum - 2.0) * std::sqrt(3.0);
  }

 private:
  std::uint64_t state_;
};

// Mixes several values into one seed.
inline std::uint64_t mixSeed(std::uint64_t a, std::uint64_t b, std::uint64_t c = 0) {
  SplitMix m(a ^ (b * 0xD1B54A32D192ED03ull) ^ (c * 0x8CB92BA72F3D8DD7ull));
  m.next();
  return m.next();
}

}  // namespace pelinor::sample
