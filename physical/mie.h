// Lorenz-Mie theory: the light a homogeneous sphere scatters, exactly.
//
// Formulas from C. F. Bohren and D. R. Huffman, "Absorption and Scattering
// of Light by Small Particles" (Wiley, 1983), chapter 4 and the BHMIE
// program of its appendix A, with W. J. Wiscombe's choices for large spheres
// ("Improved Mie scattering algorithms", Appl. Opt. 19, 1505-1509, 1980):
// N = x + 4.05 x^(1/3) + 2 terms and the logarithmic derivative D_n(mx) by
// downward recurrence.  Convention of Bohren and Huffman: time factor
// exp(-i omega t), so an absorbing sphere has Im m > 0.
#pragma once

#include <complex>

namespace physical {

struct MieEfficiencies {
  double qext, qsca;  // extinction and scattering efficiencies (cross-section / pi a^2)
};

// The largest size parameter accepted (a 2 mm drop in violet light is about
// 33000): the series' length and memory grow with it.
constexpr double kMieMaxSizeParameter = 200000.0;

// Number of terms of the series for size parameter x: Wiscombe's
// x + 4.05 x^(1/3) + 2 (1980, eq. 1c for x > 4200, the same form below as in
// BHMIE) and a margin of eight for backscattering (see mie.cpp).
int mie_terms(double x);

// The amplitude functions S1 (perpendicular to the scattering plane) and S2
// (parallel) of a sphere of size parameter x = 2 pi radius / wavelength and
// relative index m (Im m >= 0) at `count` scattering angles theta_rad[i]
// (0 = forward, pi = back), Bohren and Huffman eqs. 4.74.  Returns Qext and
// Qsca (eqs. 4.61, 4.62).  Bad input (x not in (0, kMieMaxSizeParameter],
// Re m <= 0, Im m < 0, count < 0, a non-finite value) fills the outputs with
// zeros and returns NaN efficiencies; mie_problem names the fault.
MieEfficiencies mie_amplitudes(double x, std::complex<double> m, const double* theta_rad, int count,
                               std::complex<double>* s1, std::complex<double>* s2);

// The same, as intensities |S1|^2 into perp and |S2|^2 into par.  The
// differential scattering cross-section per polarisation is |S|^2 / k^2 with
// k = 2 pi / wavelength (Bohren and Huffman eq. 3.16 and section 4.4.4).
MieEfficiencies mie_intensities(double x, std::complex<double> m, const double* theta_rad,
                                int count, double* perp, double* par);

// Why these arguments are refused, or nullptr when they are fine.
const char* mie_problem(double x, std::complex<double> m, int count);

}  // namespace physical
