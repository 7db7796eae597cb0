// Geometric optics of one ray through a spherical drop, both polarisations.
#ifndef RAINBOW_PHYSICAL_RAYS_H
#define RAINBOW_PHYSICAL_RAYS_H

#include <math.h>

namespace physical {

// The light a ray striking the drop at impact parameter b (0 <= b < 1, in
// drop radii) sends out, for unit incident power split evenly between the
// two polarisations: by reflection off the outside (order 0), and after one
// (the primary bow) and two (the secondary) reflections inside.  Each
// order's signed angle from the antisolar point lies in the plane of the
// ray and the drop's centre, so the components perpendicular and parallel
// to that plane keep their own Fresnel coefficients all the way through.
// Inline, with no call to the library's arcsine: every ray takes it.
struct Outgoing {
  double angle[3];  // radians from the antisolar point, signed within the plane
  double perpendicular[3], parallel[3];
};
inline void trace_drop(double b, double n, Outgoing* out);

// asin on [0, 1) from a table of asin x0 and cos(asin x0) every 1/256 and,
// from the sine of the difference, sin(a - a0) = x cos a0 - x0 cos a with
// cos a = sqrt(1 - x^2) known already, the difference by the arcsine's
// Taylor series to the ninth power (Abramowitz and Stegun, Handbook of
// Mathematical Functions, 4.4.40).  The difference is at most 0.09 rad (in
// the last step below 1), so the first term left out is below 1e-13 rad.
struct ArcsineTable {
  static const int kSteps = 256;
  double angle[kSteps + 1], cosine[kSteps + 1];
  ArcsineTable();
};
extern const ArcsineTable kArcsine;

// asin x for 0 <= x <= 1, given c = sqrt(1 - x^2).
inline double arcsine(double x, double c) {
  int j = static_cast<int>(x * ArcsineTable::kSteps);
  if (j > ArcsineTable::kSteps) j = ArcsineTable::kSteps;
  const double x0 = j * (1.0 / ArcsineTable::kSteps);
  const double d = x * kArcsine.cosine[j] - x0 * c;
  const double s = d * d;
  return kArcsine.angle[j] +
         d * (1 + s * (1.0 / 6 + s * (3.0 / 40 + s * (5.0 / 112 + s * (35.0 / 1152)))));
}

inline void trace_drop(double b, double n, Outgoing* out) {
  // Snell's law: sin i = b, sin r = b / n.
  const double sin_i = b, cos_i = sqrt(1 - b * b);
  const double sin_r = b / n, cos_r = sqrt(1 - sin_r * sin_r);
  const double kPi = 3.14159265358979323846;
  const double i = arcsine(sin_i, cos_i), r = arcsine(sin_r, cos_r);
  // Fresnel's amplitude ratios for reflection (Born and Wolf, Principles of
  // Optics, 7th ed., section 1.5.2, eq. 21; Jackson, Classical
  // Electrodynamics, 3rd ed., eqs. 7.39 and 7.41 with mu = mu'), in their
  // cosine form, which has no 0/0 at normal incidence.  Inside the drop the
  // ray meets the surface at r, and the reflectance there equals the
  // outside one at i (Stokes' relations), so one pair serves every bounce.
  // One division serves both: 1 / (ds dp).
  const double ds = cos_i + n * cos_r, dp = n * cos_i + cos_r;
  const double over = 1 / (ds * dp);
  const double rs = (cos_i - n * cos_r) * dp * over;
  const double rp = (n * cos_i - cos_r) * ds * over;
  const double reflect_s = rs * rs, reflect_p = rp * rp;
  const double pass_s = 1 - reflect_s, pass_p = 1 - reflect_p;
  // After two refractions and k inner reflections (k = 1 for the primary,
  // 2 for the secondary) the power left is T^2 R^k; the outer reflection
  // keeps R (van de Hulst, Light Scattering by Small Particles, 1957,
  // section 12.21).
  out->perpendicular[0] = 0.5 * reflect_s;
  out->parallel[0] = 0.5 * reflect_p;
  out->perpendicular[1] = 0.5 * pass_s * pass_s * reflect_s;
  out->parallel[1] = 0.5 * pass_p * pass_p * reflect_p;
  out->perpendicular[2] = out->perpendicular[1] * reflect_s;
  out->parallel[2] = out->parallel[1] * reflect_p;
  // The total deviation after k inner reflections is 2 (i - r) + k (pi - 2 r)
  // (Nussenzveig, "The theory of the rainbow", Sci. Am. 236(4), 116, 1977);
  // its angle from the antisolar point is pi minus that.
  out->angle[0] = 2 * i;
  out->angle[1] = 4 * r - 2 * i;
  out->angle[2] = 6 * r - 2 * i - kPi;
}

}  // namespace physical

#endif  // RAINBOW_PHYSICAL_RAYS_H
