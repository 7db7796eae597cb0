// Airy and Lorenz-Mie scattering for the sky: one phase table per
// wavelength of a grid, from which each ray's polarisation and scattering
// angle are drawn instead of traced.
#ifndef RAINBOW_PHYSICAL_WAVE_OPTICS_H
#define RAINBOW_PHYSICAL_WAVE_OPTICS_H

#include <memory>
#include <string>
#include <vector>

namespace physical {

enum class Method;

class WaveOptics {
 public:
  WaveOptics();
  ~WaveOptics();
  // Tables for drops of radius_um (log-normal spread `spread`) over
  // scattering angles [lo, hi] radians, one per wavelength (nm) with its
  // index, built on `threads` threads.  False with the reason.
  bool build(Method method, double radius_um, double spread, double lo, double hi,
             const std::vector<double>& wavelengths, const std::vector<double>& indices,
             int threads, std::string* problem);
  // For a ray of the given wavelength, from the nearest table: its
  // polarisation (0 perpendicular, 1 parallel), scattering angle (radians)
  // and the power it carries.
  void draw(double wavelength_nm, double u_polarisation, double u_angle, int* polarisation,
            double* angle, double* power) const;

 private:
  struct Tables;
  std::unique_ptr<Tables> tables_;
};

}  // namespace physical

#endif  // RAINBOW_PHYSICAL_WAVE_OPTICS_H
