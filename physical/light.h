// Sunlight, water and the eye: the spectrum the wavelengths are drawn from,
// water's refractive index, the CIE 1931 observer and the sRGB display.
#ifndef RAINBOW_PHYSICAL_LIGHT_H
#define RAINBOW_PHYSICAL_LIGHT_H

#include <stddef.h>

#include <vector>

namespace physical {

constexpr double kShortestNm = 380, kLongestNm = 780;  // the visible range drawn from

// The sun as a 5778 K black body: Planck's law of spectral radiance per
// unit wavelength, B(lambda, T) = 2 h c^2 / lambda^5 / (exp(h c / (lambda k T)) - 1)
// (M. Planck, Ann. Phys. 4, 553, 1901), in arbitrary units.  5778 K is the
// sun's effective temperature (Cox, Allen's Astrophysical Quantities, 4th
// ed., 2000, table 14.7).  Over 380-780 nm it follows the tabulated
// extraterrestrial spectrum (ASTM E490) within some 10% with no table to
// carry, and the sky below it takes out no more than that again.
double planck(double wavelength_nm, double kelvin);

// Draws wavelengths in proportion to a spectrum over [380, 780] nm: an
// inverse cumulative distribution tabulated once, so a draw is one lookup.
class SpectrumSampler {
 public:
  explicit SpectrumSampler(double kelvin = 5778);
  // u in [0, 1) -> wavelength in nm; inline, since every ray draws one.
  double draw(double u) const {
    const double f = u * last_;
    size_t j = static_cast<size_t>(f);
    if (j > inverse_.size() - 2) j = inverse_.size() - 2;
    const double t = f - static_cast<double>(j);
    return inverse_[j] + (inverse_[j + 1] - inverse_[j]) * t;
  }

 private:
  std::vector<double> inverse_;  // wavelength at u = k / (size - 1)
  double last_ = 0;              // size - 1
};

// The IAPWS release on the refractive index of ordinary water substance as
// a function of wavelength, temperature and pressure (Erlangen, 1997;
// Harvey, Gallagher and Levelt Sengers, J. Phys. Chem. Ref. Data 27, 761,
// 1998): kelvin, kg/m^3 and vacuum wavelength in nm.  Valid from -12 to
// 500 C, 0 to 1060 kg/m^3 and 200 to 1100 nm.
double water_index(double wavelength_nm, double kelvin, double density);

// Liquid water at 0.1 MPa (one atmosphere), 0-150 C, kg/m^3: G. S. Kell,
// J. Chem. Eng. Data 20, 97 (1975), equation 16.
double water_density(double celsius);

// CIE 1931 2-degree standard colorimetric observer, linearly interpolated
// between the 5 nm values of CIE 15:2004 table T.4; zero outside 380-780.
struct Tristimulus {
  double x, y, z;
};
Tristimulus cie1931(double wavelength_nm);

// CIE XYZ to linear sRGB (IEC 61966-2-1:1999, the D65 matrix) and the
// sRGB transfer function to an 8-bit value, clipped to [0, 1] first.
void xyz_to_linear_srgb(double x, double y, double z, double rgb[3]);
int srgb_byte(double linear);
double srgb_linear(unsigned byte);  // the transfer's inverse, for a backdrop's pixels

}  // namespace physical

#endif  // RAINBOW_PHYSICAL_LIGHT_H
