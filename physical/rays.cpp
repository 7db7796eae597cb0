#include "rays.h"

#include <math.h>

namespace physical {

const double kPi = 3.14159265358979323846;

void trace_drop(double b, double n, Outgoing* out) {
  // Snell's law: sin i = b, sin r = b / n.
  const double sin_i = b, cos_i = sqrt(1 - b * b);
  const double sin_r = b / n, cos_r = sqrt(1 - sin_r * sin_r);
  const double i = asin(sin_i), r = asin(sin_r);
  // Fresnel's amplitude ratios for reflection (Born and Wolf, Principles of
  // Optics, 7th ed., section 1.5.2, eq. 21; Jackson, Classical
  // Electrodynamics, 3rd ed., eqs. 7.39 and 7.41 with mu = mu'), in their
  // cosine form, which has no 0/0 at normal incidence.  Inside the drop the
  // ray meets the surface at r, and the reflectance there equals the
  // outside one at i (Stokes' relations), so one pair serves every bounce.
  const double rs = (cos_i - n * cos_r) / (cos_i + n * cos_r);
  const double rp = (n * cos_i - cos_r) / (n * cos_i + cos_r);
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
