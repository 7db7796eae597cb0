// Airy theory of the rainbow: the intensity near the primary and secondary
// bows of a large sphere as the square of the Airy integral.
//
// G. B. Airy, "On the intensity of light in the neighbourhood of a caustic",
// Trans. Camb. Phil. Soc. 6, 379-403 (1838); H. C. van de Hulst, "Light
// Scattering by Small Particles" (Wiley, 1957), section 13.21-13.23; W. J.
// Humphreys, "Physics of the Air" (1929).  Near the rainbow ray the outgoing
// wavefront is a cubic, and the far field there is I ∝ Ai^2(-z), with z
// proportional to the angle from the geometric rainbow angle and scaled by
// the curvature of the ray's deflection (see airy.cpp).
#pragma once

namespace physical {

// Ai(x), the Airy function of the first kind, to about 1e-10 relative for
// x <= 5 and 1e-8 beyond (where Ai < 1e-4: the bows' dark side) (power series near 0, asymptotic
// series beyond: Abramowitz and Stegun 10.4.2-10.4.3 and 10.4.59, 10.4.60;
// DLMF 9.4.1, 9.7.5, 9.7.9).
double airy_ai(double x);

// Intensities in the perpendicular (perp) and parallel (par) polarisations
// at `count` scattering angles theta_rad[i] (0 = forward, pi = back) of a
// drop of radius_um micrometres in light of wavelength_nm nanometres, of
// real refractive index n, from the primary and secondary bows together
// (their intensities added; each is Airy's, with the Fresnel factors of its
// rainbow ray per polarisation).  On the scale of Mie's |S|^2: the geometric
// optics of the two rays the cubic wavefront stands for, averaged over their
// interference, far from the bow (airy.cpp).  The parallel part is the
// poorer: its Fresnel factor changes sign across the wavefront near the
// rainbow ray (Brewster's angle inside), which puts its supernumeraries in the
// perpendicular ones' dark fringes in drops under 1 mm across (G. P. Konnen
// and J. H. de Boer, "Polarized rainbow", Appl. Opt. 18, 1961, 1979), and in
// 2 mm drops from the second on (Mie, in the tests); here they stay with the
// perpendicular ones.  Bad input (radius or wavelength not positive and
// finite, n not in (1, 2), count < 0) gives zeros; airy_problem names the
// fault.
void airy_intensities(double radius_um, double wavelength_nm, double n, const double* theta_rad,
                      int count, double* perp, double* par);

// Why these arguments are refused, or nullptr when they are fine.
const char* airy_problem(double radius_um, double wavelength_nm, double n, int count);

// The geometric rainbow angle of the bow with `chords` internal reflections
// (1 primary, 2 secondary) as a scattering angle in radians (0 = forward):
// Descartes' minimum deviation, cos^2 i = (n^2 - 1) / ((k+1)^2 - 1).
double rainbow_scattering_angle(double n, int chords);

}  // namespace physical
