// Airy theory of the rainbow (Airy 1838; van de Hulst 1957, sections 13.21-
// 13.23), with the Airy function from its power and asymptotic series.
#include "airy.h"

#include <algorithm>
#include <cmath>

namespace physical {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Ai(x) = c1 f(x) - c2 g(x) with f = sum 3^k (1/3)_k x^(3k) / (3k)!,
// g = sum 3^k (2/3)_k x^(3k+1) / (3k+1)! (Abramowitz and Stegun 10.4.2-3).
// Used for -6 <= x <= 5, where the terms' growth costs at most 1e-11 absolute.
double airy_series(double x) {
  const double c1 = 0.355028053887817239260;  // Ai(0), A&S 10.4.4
  const double c2 = 0.258819403792806798405;  // -Ai'(0), A&S 10.4.5
  const double x3 = x * x * x;
  double f = 1, g = x, tf = 1, tg = x;
  for (int k = 1; k < 200; ++k) {
    tf *= x3 / ((3.0 * k - 1) * (3.0 * k));
    tg *= x3 / ((3.0 * k) * (3.0 * k + 1));
    f += tf;
    g += tg;
    if (std::fabs(tf) < 1e-18 * std::fabs(f) && std::fabs(tg) < 1e-18 * std::fabs(g)) break;
  }
  return c1 * f - c2 * g;
}

// u_k = Gamma(3k + 1/2) / (54^k k! Gamma(k + 1/2)) by their ratio
// u_k / u_(k-1) = (6k-5)(6k-3)(6k-1) / ((2k-1) 216 k)  (A&S 10.4.58).
double u_next(double u, int k) {
  return u * (6.0 * k - 5) * (6.0 * k - 3) * (6.0 * k - 1) / ((2.0 * k - 1) * 216.0 * k);
}

}  // namespace

double airy_ai(double x) {
  if (std::isnan(x)) return x;
  if (x >= -6 && x <= 5) return airy_series(x);
  if (x > 5) {
    // A&S 10.4.59: Ai(x) ~ exp(-zeta) / (2 sqrt(pi) x^(1/4)) sum (-1)^k u_k zeta^-k.
    if (x > 100) return 0.0;  // below 1e-289
    const double zeta = 2.0 / 3.0 * x * std::sqrt(x);
    double sum = 1, term = 1, u = 1, last = 1;
    for (int k = 1; k < 40; ++k) {
      u = u_next(u, k);
      term = (k % 2 ? -u : u) / std::pow(zeta, k);
      if (std::fabs(term) > std::fabs(last) || std::fabs(term) < 1e-17) break;
      sum += term;
      last = term;
    }
    return std::exp(-zeta) / (2 * std::sqrt(kPi) * std::sqrt(std::sqrt(x))) * sum;
  }
  // A&S 10.4.60 (DLMF 9.7.9): Ai(-z) ~ pi^(-1/2) z^(-1/4) [sin(zeta + pi/4) P
  // - cos(zeta + pi/4) Q], P = sum (-1)^k u_2k zeta^-2k, Q = sum (-1)^k u_2k+1 zeta^-2k-1.
  const double z = -x;
  const double zeta = 2.0 / 3.0 * z * std::sqrt(z);
  double p = 1, q = 0, u = 1, power = 1, last = 1;
  for (int k = 1; k < 60; ++k) {
    u = u_next(u, k);
    power /= zeta;
    const double term = u * power;
    if (term > last || term < 1e-17) break;
    last = term;
    // k odd goes to Q with sign (-1)^((k-1)/2), k even to P with sign (-1)^(k/2).
    if (k % 2)
      q += ((k - 1) / 2 % 2 ? -term : term);
    else
      p += (k / 2 % 2 ? -term : term);
  }
  const double phase = zeta + kPi / 4;
  return (std::sin(phase) * p - std::cos(phase) * q) / (std::sqrt(kPi) * std::sqrt(std::sqrt(z)));
}

double rainbow_scattering_angle(double n, int chords) {
  const double k1 = chords + 1;
  const double i = std::acos(std::sqrt((n * n - 1) / (k1 * k1 - 1)));
  const double r = std::asin(std::sin(i) / n);
  const double deviation = 2 * (i - r) + chords * (kPi - 2 * r);
  // The deviation folded onto [0, pi]: a scattering angle.
  const double folded = std::fmod(deviation, 2 * kPi);
  return folded <= kPi ? folded : 2 * kPi - folded;
}

const char* airy_problem(double radius_um, double wavelength_nm, double n, int count) {
  if (!(radius_um > 0) || !std::isfinite(radius_um)) return "drop radius not positive";
  if (!(wavelength_nm > 0) || !std::isfinite(wavelength_nm)) return "wavelength not positive";
  if (!(n > 1 && n < 2)) return "refractive index not between 1 and 2";
  if (count < 0) return "negative number of angles";
  return nullptr;
}

void airy_intensities(double radius_um, double wavelength_nm, double n, const double* theta_rad,
                      int count, double* perp, double* par) {
  std::fill(perp, perp + std::max(count, 0), 0.0);
  std::fill(par, par + std::max(count, 0), 0.0);
  if (airy_problem(radius_um, wavelength_nm, n, count)) return;
  const double x = 2 * kPi * radius_um * 1000 / wavelength_nm;
  for (int chords = 1; chords <= 2; ++chords) {
    // The rainbow ray: incidence i, refraction r (Snell), deviation
    // D(i) = 2(i - r) + k(pi - 2r) least at cos^2 i = (n^2-1)/((k+1)^2-1).
    const double k = chords;
    const double cos_i = std::sqrt((n * n - 1) / ((k + 1) * (k + 1) - 1));
    const double sin_i = std::sqrt(1 - cos_i * cos_i);
    const double sin_r = sin_i / n, cos_r = std::sqrt(1 - sin_r * sin_r);
    const double i = std::acos(cos_i), r = std::asin(sin_r);
    const double d_rainbow = 2 * (i - r) + k * (kPi - 2 * r);
    // Curvature of the deviation against the impact parameter b = sin i (in
    // radii): D'' = 2 sin i / cos^3 i - 2 (k+1) sin r / (n^2 cos^3 r), from
    // dD/db = 2 / cos i - 2 (k+1) / (n cos r).
    const double d2 =
        2 * sin_i / (cos_i * cos_i * cos_i) - 2 * (k + 1) * sin_r / (n * n * cos_r * cos_r * cos_r);
    // The phase across the outgoing wavefront, u = b - b_rainbow:
    // x [(D_R - D) u + D'' u^3 / 6], whose integral over u is Airy's:
    // amplitude ∝ Ai(-z), z = (D - D_R) (2 x^2 / D'')^(1/3) (van de Hulst 13.22).
    const double scale = std::cbrt(2 * x * x / d2);
    // Energy left in the ray: Fresnel transmission in, k internal
    // reflections, transmission out, per polarisation (Born and Wolf 1.5.3).
    const double rs = (cos_i - n * cos_r) / (cos_i + n * cos_r);
    const double rp = (n * cos_i - cos_r) / (n * cos_i + cos_r);
    const double ts = (1 - rs * rs) * (1 - rs * rs) * std::pow(rs * rs, k);
    const double tp = (1 - rp * rp) * (1 - rp * rp) * std::pow(rp * rp, k);
    // Scale: far on the bright side Ai^2(-z) averages 1 / (2 pi sqrt z), and
    // there the two geometric rays give |S|^2 = x^2 b |db/dtheta| T / sin theta
    // each (van de Hulst 12.2), with |db/dD| = 1 / sqrt(2 D'' (D - D_R)).
    // Equal for C = 4 pi 2^(-1/3) b T x^(7/3) D''^(-2/3) / sin theta_R, with the
    // geometric factors taken at the rainbow ray.
    const double theta_rainbow = rainbow_scattering_angle(n, chords);
    const double c = 4 * kPi * std::cbrt(0.5) * sin_i * std::pow(x, 7.0 / 3.0) /
                     (std::cbrt(d2 * d2) * std::sin(theta_rainbow));
    for (int j = 0; j < count; ++j) {
      // The deviation that lands at this scattering angle nearest the bow.
      const double a = theta_rad[j];
      const double d =
          std::fabs(a - d_rainbow) <= std::fabs(2 * kPi - a - d_rainbow) ? a : 2 * kPi - a;
      const double ai = airy_ai(-(d - d_rainbow) * scale);
      perp[j] += c * ts * ai * ai;
      par[j] += c * tp * ai * ai;
    }
  }
}

}  // namespace physical
