// Counter-based random numbers: each ray's numbers are a pure function of
// the run's seed and the ray's index, so any split of the rays over threads
// draws the very same numbers for every ray.
#ifndef RAINBOW_PHYSICAL_RANDOM_H
#define RAINBOW_PHYSICAL_RANDOM_H

#include <stdint.h>

namespace physical {

// SplitMix64's finaliser (Steele, Lea and Flood, "Fast splittable
// pseudorandom number generators", OOPSLA 2014).
inline uint64_t mix64(uint64_t z) {
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

// SplitMix64 started from a hash of (seed, index).
class RayRandom {
 public:
  RayRandom(uint64_t seed, uint64_t index) : state_(mix64(mix64(seed) + index)) {}
  // The same, from mix64(seed) worked out once for many rays.
  enum Mixed { kMixed };
  RayRandom(uint64_t mixed_seed, uint64_t index, Mixed) : state_(mix64(mixed_seed + index)) {}
  uint64_t next() { return mix64(state_ += 0x9E3779B97F4A7C15ULL); }
  // The starting state, already a hash of the seed and the index, as a
  // draw of its own before next()'s: one hash fewer for a ray.
  uint64_t first() const { return state_; }
  double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }  // [0, 1)
  double signed_unit() { return uniform() * 2 - 1; }                          // [-1, 1)
  // Two in [-1, 1) from one draw, 32 bits each: enough for a point of the
  // sun's disc (steps of 1e-12 rad), for half the work.
  // Two in [0, 1) from one draw, 32 bits each: steps of 2.3e-10.
  static void unit_pair(uint64_t v, double* a, double* b) {
    *a = static_cast<double>(v >> 32) * 0x1.0p-32;
    *b = static_cast<double>(v & 0xFFFFFFFFu) * 0x1.0p-32;
  }
  // A point of the unit disc, evenly: two tries from each draw, 16 bits a
  // coordinate (steps of 3e-5 of the radius: 8e-6 degrees of the sun's), the first inside taken
  // with no branch; another draw in 4.6 % of cases ((1 - pi / 4)^2), where one try a draw takes
  // another in 21 %, a branch hard to guess.
  void disc_point(double* x, double* y) {
    for (;;) {
      const uint64_t v = next();
      const uint32_t a = static_cast<uint32_t>(v >> 32), b = static_cast<uint32_t>(v);
      const uint32_t first = 0u - static_cast<uint32_t>(inside(a));  // all ones or zero
      const uint32_t t = (a & first) | (b & ~first);                 // with no branch
      if (inside(t)) {
        *x = static_cast<int16_t>(t >> 16) * 0x1.0p-15;
        *y = static_cast<int16_t>(t & 0xFFFF) * 0x1.0p-15;
        return;
      }
    }
  }
  void signed_pair(double* a, double* b) {
    const uint64_t v = next();
    *a = static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(v >> 32))) * 0x1.0p-31;
    *b = static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(v))) * 0x1.0p-31;
  }

 private:
  // x in the high 16 bits of t, y in the low, in steps of 2^-15: x^2 + y^2 < 1.
  static bool inside(uint32_t t) {
    const int x = static_cast<int16_t>(t >> 16), y = static_cast<int16_t>(t & 0xFFFF);
    return static_cast<uint32_t>(x * x) + static_cast<uint32_t>(y * y) < (1u << 30);
  }
  uint64_t state_;
};

}  // namespace physical

#endif  // RAINBOW_PHYSICAL_RANDOM_H
