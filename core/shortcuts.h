// Tables that let the sample step skip most of its arithmetic without
// changing a single pixel.  Most samples are decided far from any threshold
// and most rays land far from a pixel's edge; the step uses these tables
// there and works the exact way wherever a table cannot be sure.
//
// - Acceptance: for each of 1024 bands of q = X*X + Y*Y and each colour,
//   the draws that surely accept a bow and the last that may.  The exact
//   intensities are worked out only for a draw in between (about 1 sample
//   in 250) or in the band holding the centre, whose ray has none.
// - Arcsines: cubic pieces within kArcsineError of the runtime's asin, for
//   the deviations of a ray that is seen; the step keeps a pixel from them
//   only when every angle that close gives the same pixel.
// Both are built from the exact optics when the program starts (about 1 ms).
// Tests check the bounds and the error against every point the generator
// can draw (RAINBOW_EXHAUSTIVE=1).
#ifndef RAINBOW_CORE_SHORTCUTS_H
#define RAINBOW_CORE_SHORTCUTS_H

#include <math.h>
#include <stdint.h>

#include "optics.h"

const double kRandomScale = 0.000030517578125;  // 2^-15
const double kPrimaryThreshold = 0.04;
const double kSecondaryThreshold = 0.02;

// The threshold a draw u (0..32767) gives, exactly as the step works it out.
inline double rainbow_threshold(int u, double scale) {
  return (u * kRandomScale) * scale;
}

// q in units of 2^-28, since X and Y are multiples of 2^-14: the drop's
// cross-section is q28 < 2^28.
const int kQ28One = 1 << 28;
const int kAcceptanceShift = 18;  // 1024 bands of q28
const int kAcceptanceBands = kQ28One >> kAcceptanceShift;

// A draw u <= *_sure accepts that bow; u > *_maybe rejects it; between the
// two only the exact intensity can tell.  -1 where no draw is sure.
struct rainbow_acceptance {
  int16_t primary_sure, primary_maybe;
  int16_t secondary_sure, secondary_maybe;
};
extern rainbow_acceptance rainbow_acceptance_table[kAcceptanceBands][6];

inline const rainbow_acceptance& rainbow_acceptance_for(int q28, int k) {
  return rainbow_acceptance_table[q28 >> kAcceptanceShift][k];
}

// The arcsine pieces cover 0 <= x <= kArcsineTop: a refraction's sine is at
// most 1/1.33, and the incidence uses asin(b) = pi/2 - asin(sqrt(1 - b*b))
// above sqrt(1/2).
constexpr double kArcsineError = 1e-9;  // radians, against the runtime's asin
const double kArcsineTop = 0.76;
const int kArcsinePieces = 256;
struct rainbow_cubic {
  double c0, c1, c2, c3;
};
extern rainbow_cubic rainbow_arcsine_table[kArcsinePieces];

inline double rainbow_table_arcsine(double x) {
  const double s = x * (kArcsinePieces / kArcsineTop);
  const int j = static_cast<int>(s);
  const double u = s - j;
  const rainbow_cubic& p = rainbow_arcsine_table[j];
  return p.c0 + u * (p.c1 + u * (p.c2 + u * p.c3));
}

// asin(b) for b = sqrt(q28 * 2^-28), within kArcsineError.  The smaller of
// sin i and cos i goes into the table, picked without a branch: which one
// it is follows the random point, so a branch would be mispredicted often.
inline double rainbow_table_incidence(int q28, double b) {
  const double half_pi = 1.5707963267948966;
  const double cos_i = sqrt(1 - q28 * (1.0 / kQ28One));  // 1 - q is exact
  const int low = b < cos_i;
  const double p = rainbow_table_arcsine(low ? b : cos_i);
  return half_pi * (1 - low) + (2.0 * low - 1.0) * p;
}

// asin(b / n) for colour k, within kArcsineError.
inline double rainbow_table_refraction(double b, int k) {
  using rainbow_exact::refractive_index;
  static constexpr double inverse_index[6] = {1 / refractive_index(0), 1 / refractive_index(1),
                                              1 / refractive_index(2), 1 / refractive_index(3),
                                              1 / refractive_index(4), 1 / refractive_index(5)};
  return rainbow_table_arcsine(b * inverse_index[k]);
}

#endif  // RAINBOW_CORE_SHORTCUTS_H
