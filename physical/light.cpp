#include "light.h"

#include <math.h>

#include <algorithm>

namespace physical {

double planck(double wavelength_nm, double kelvin) {
  // c2 = h c / k in m K, from the exact SI values of h, c and k (2019).
  const double c2 = 1.438776877e-2;
  const double m = wavelength_nm * 1e-9;
  return 1 / (m * m * m * m * m) / expm1(c2 / (m * kelvin)) * 1e-30;
}

SpectrumSampler::SpectrumSampler(double kelvin) {
  // The cumulative distribution on a 0.05 nm grid (trapezoids), then its
  // inverse on an even grid in u; between grid points both are linear.
  const int steps = 8000;
  const double h = (kLongestNm - kShortestNm) / steps;
  std::vector<double> cdf(steps + 1, 0.0);
  double previous = planck(kShortestNm, kelvin);
  for (int k = 1; k <= steps; ++k) {
    const double here = planck(kShortestNm + k * h, kelvin);
    cdf[k] = cdf[k - 1] + 0.5 * (previous + here) * h;
    previous = here;
  }
  for (double& c : cdf) c /= cdf[steps];
  const int size = 1 << 10;  // 8 kB: a draw mostly finds it in the first-level cache
  inverse_.resize(size + 1);
  int k = 0;
  for (int j = 0; j <= size; ++j) {
    const double u = static_cast<double>(j) / size;
    while (k < steps - 1 && cdf[k + 1] < u) ++k;
    const double span = cdf[k + 1] - cdf[k];
    const double t = span > 0 ? std::clamp((u - cdf[k]) / span, 0.0, 1.0) : 0.0;
    inverse_[j] = kShortestNm + (k + t) * h;
  }
  last_ = size;
}

double water_index(double wavelength_nm, double kelvin, double density) {
  // The release's equation: (n^2 - 1) / (n^2 + 2) / rho_bar = a0 + a1 rho_bar
  // + a2 T_bar + a3 lambda_bar^2 T_bar + a4 / lambda_bar^2 + a5 / (lambda_bar^2
  // - lambda_UV^2) + a6 / (lambda_bar^2 - lambda_IR^2) + a7 rho_bar^2, with
  // T* = 273.15 K, rho* = 1000 kg/m^3 and lambda* = 0.589 um.
  const double a0 = 0.244257733, a1 = 9.74634476e-3, a2 = -3.73234996e-3, a3 = 2.68678472e-4,
               a4 = 1.58920570e-3, a5 = 2.45934259e-3, a6 = 0.900704920, a7 = -1.66626219e-2;
  const double uv = 0.2292020, ir = 5.432937;
  const double t = kelvin / 273.15, rho = density / 1000, l = wavelength_nm / 589.0;
  const double l2 = l * l;
  const double a = rho * (a0 + a1 * rho + a2 * t + a3 * l2 * t + a4 / l2 + a5 / (l2 - uv * uv) +
                          a6 / (l2 - ir * ir) + a7 * rho * rho);
  return sqrt((1 + 2 * a) / (1 - a));
}

double water_density(double celsius) {
  const double t = celsius;
  const double top = 999.83952 + 16.945176 * t - 7.9870401e-3 * t * t - 46.170461e-6 * t * t * t +
                     105.56302e-9 * t * t * t * t - 280.54253e-12 * t * t * t * t * t;
  return top / (1 + 16.879850e-3 * t);
}

namespace {

// CIE 15:2004 table T.4, 380 to 780 nm in 5 nm steps: x-bar, y-bar, z-bar.
// (A public copy: the Colour & Vision Research Laboratory's ciexyz31_1.csv.)
const double kCmf[81][3] = {
    {0.001368, 0.000039, 0.006450}, {0.002236, 0.000064, 0.010550}, {0.004243, 0.000120, 0.020050},
    {0.007650, 0.000217, 0.036210}, {0.014310, 0.000396, 0.067850}, {0.023190, 0.000640, 0.110200},
    {0.043510, 0.001210, 0.207400}, {0.077630, 0.002180, 0.371300}, {0.134380, 0.004000, 0.645600},
    {0.214770, 0.007300, 1.039050}, {0.283900, 0.011600, 1.385600}, {0.328500, 0.016840, 1.622960},
    {0.348280, 0.023000, 1.747060}, {0.348060, 0.029800, 1.782600}, {0.336200, 0.038000, 1.772110},
    {0.318700, 0.048000, 1.744100}, {0.290800, 0.060000, 1.669200}, {0.251100, 0.073900, 1.528100},
    {0.195360, 0.090980, 1.287640}, {0.142100, 0.112600, 1.041900}, {0.095640, 0.139020, 0.812950},
    {0.057950, 0.169300, 0.616200}, {0.032010, 0.208020, 0.465180}, {0.014700, 0.258600, 0.353300},
    {0.004900, 0.323000, 0.272000}, {0.002400, 0.407300, 0.212300}, {0.009300, 0.503000, 0.158200},
    {0.029100, 0.608200, 0.111700}, {0.063270, 0.710000, 0.078250}, {0.109600, 0.793200, 0.057250},
    {0.165500, 0.862000, 0.042160}, {0.225750, 0.914850, 0.029840}, {0.290400, 0.954000, 0.020300},
    {0.359700, 0.980300, 0.013400}, {0.433450, 0.994950, 0.008750}, {0.512050, 1.000000, 0.005750},
    {0.594500, 0.995000, 0.003900}, {0.678400, 0.978600, 0.002750}, {0.762100, 0.952000, 0.002100},
    {0.842500, 0.915400, 0.001800}, {0.916300, 0.870000, 0.001650}, {0.978600, 0.816300, 0.001400},
    {1.026300, 0.757000, 0.001100}, {1.056700, 0.694900, 0.001000}, {1.062200, 0.631000, 0.000800},
    {1.045600, 0.566800, 0.000600}, {1.002600, 0.503000, 0.000340}, {0.938400, 0.441200, 0.000240},
    {0.854450, 0.381000, 0.000190}, {0.751400, 0.321000, 0.000100}, {0.642400, 0.265000, 0.000050},
    {0.541900, 0.217000, 0.000030}, {0.447900, 0.175000, 0.000020}, {0.360800, 0.138200, 0.000010},
    {0.283500, 0.107000, 0.000000}, {0.218700, 0.081600, 0.000000}, {0.164900, 0.061000, 0.000000},
    {0.121200, 0.044580, 0.000000}, {0.087400, 0.032000, 0.000000}, {0.063600, 0.023200, 0.000000},
    {0.046770, 0.017000, 0.000000}, {0.032900, 0.011920, 0.000000}, {0.022700, 0.008210, 0.000000},
    {0.015840, 0.005723, 0.000000}, {0.011359, 0.004102, 0.000000}, {0.008111, 0.002929, 0.000000},
    {0.005790, 0.002091, 0.000000}, {0.004109, 0.001484, 0.000000}, {0.002899, 0.001047, 0.000000},
    {0.002049, 0.000740, 0.000000}, {0.001440, 0.000520, 0.000000}, {0.001000, 0.000361, 0.000000},
    {0.000690, 0.000249, 0.000000}, {0.000476, 0.000172, 0.000000}, {0.000332, 0.000120, 0.000000},
    {0.000235, 0.000085, 0.000000}, {0.000166, 0.000060, 0.000000}, {0.000117, 0.000042, 0.000000},
    {0.000083, 0.000030, 0.000000}, {0.000059, 0.000021, 0.000000}, {0.000042, 0.000015, 0.000000},
};

}  // namespace

Tristimulus cie1931(double wavelength_nm) {
  const double f = (wavelength_nm - kShortestNm) / 5;
  if (!(f >= 0 && f <= 80)) return {0, 0, 0};
  const int j = std::min(static_cast<int>(f), 79);
  const double t = f - j;
  const double* a = kCmf[j];
  const double* b = kCmf[j + 1];
  return {a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t, a[2] + (b[2] - a[2]) * t};
}

void xyz_to_linear_srgb(double x, double y, double z, double rgb[3]) {
  rgb[0] = 3.2406 * x - 1.5372 * y - 0.4986 * z;
  rgb[1] = -0.9689 * x + 1.8758 * y + 0.0415 * z;
  rgb[2] = 0.0557 * x - 0.2040 * y + 1.0570 * z;
}

int srgb_byte(double linear) {
  const double c = std::clamp(linear, 0.0, 1.0);
  const double v = c <= 0.0031308 ? 12.92 * c : 1.055 * pow(c, 1 / 2.4) - 0.055;
  return static_cast<int>(v * 255 + 0.5);
}

double srgb_linear(unsigned byte) {
  const double v = byte / 255.0;
  return v <= 0.04045 ? v / 12.92 : pow((v + 0.055) / 1.055, 2.4);
}

}  // namespace physical
