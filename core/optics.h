// The exact optics of one ray through a drop, shared by the sample step and
// the builder of its tables, so that both work out the very same values.
#ifndef RAINBOW_CORE_OPTICS_H
#define RAINBOW_CORE_OPTICS_H

#include <math.h>

namespace rainbow_exact {

constexpr double kDegreesPerRadian = 57.295827908797776;  // 180 / 3.14159, as the bows were tuned
constexpr double kSecondaryOffset = 180.0;

constexpr double refractive_index(int k) {
  return 1.33 + 0.01 * k;  // red to violet
}

inline double square(double v) {
  return v * v;
}

// Fresnel reflectance per polarisation, from sin i = b and sin r = b / n
// with square roots alone (the sines and tangents of i - r and i + r by
// their sum formulas).  The values differ from the trigonometric form in
// the last bits only, and a test checks that no acceptance test can come
// out differently for any point and threshold the generator can draw.  At
// b == 0 they are 0/0 (NaN) and every comparison with them is false, so the
// centre ray draws nothing.
inline void intensities(double b, int k, double* i1, double* i2) {
  const double sin_i = b, cos_i = sqrt(1 - b * b);
  const double sin_r = b / refractive_index(k), cos_r = sqrt(1 - sin_r * sin_r);
  const double sin_diff = sin_i * cos_r - cos_i * sin_r;  // sin(i - r)
  const double sin_sum = sin_i * cos_r + cos_i * sin_r;   // sin(i + r)
  const double cos_diff = cos_i * cos_r + sin_i * sin_r;  // cos(i - r)
  const double cos_sum = cos_i * cos_r - sin_i * sin_r;   // cos(i + r)
  // tan(i - r) / tan(i + r) is sin(i - r) / sin(i + r) times cos(i + r) / cos(i - r).
  const double ratio = sin_diff / sin_sum;
  const double rs = square(ratio);
  const double rp = square(ratio * (cos_sum / cos_diff));
  const double ts = 1 - rs;
  const double tp = 1 - rp;
  *i1 = 0.5 * (rs * ts * ts + rp * tp * tp);
  *i2 = 0.5 * (rs * rs * ts * ts + rp * rp * tp * tp);
}

// Deviations in degrees from the antisolar point, primary and secondary,
// from the angles of incidence i and refraction r.
inline void deviation_angles(double i, double r, double* d1, double* d2) {
  *d1 = (4 * r - 2 * i) * kDegreesPerRadian;
  *d2 = (6 * r - 2 * i) * kDegreesPerRadian - kSecondaryOffset;
}

inline void deviations(double b, int k, double* d1, double* d2) {
  deviation_angles(asin(b), asin(b / refractive_index(k)), d1, d2);
}

}  // namespace rainbow_exact

#endif  // RAINBOW_CORE_OPTICS_H
