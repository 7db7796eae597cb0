// A drop's phase function at one wavelength, tabulated over the scattering
// angles the camera sees, for drawing each ray's scattering angle.
#pragma once

#include <string>
#include <vector>

namespace physical {

enum class Optics { Airy, Mie };

struct PhaseTableRequest {
  Optics optics;
  double radius_um;                   // median radius of the drops
  double spread;                      // log-normal sigma of the radius (of ln r), 0 = one size
  double theta_lo_rad, theta_hi_rad;  // the scattering angles the camera sees
  double wavelength_nm;
  double n;              // refractive index of water at that wavelength (real)
  int radius_nodes = 0;  // radii averaged over when spread > 0; 0 = chosen from the size
  double step_rad = 0;   // angular step of the table; 0 = chosen (see phase_table.cpp)
};

class PhaseTable {
 public:
  // Tabulates the phase function; deterministic (the same table on any
  // thread, any number of threads) and touching no shared state, so tables
  // may be built on several threads at once.  False with *problem naming the
  // fault for a bad request, leaving the table empty.
  bool build(const PhaseTableRequest& request, std::string* problem);

  // A scattering angle (radians) drawn from the phase function of
  // polarisation pol (0 = perpendicular, 1 = parallel) over [lo, hi], for u in
  // [0, 1): the inverse of the cumulative distribution of intensity times
  // solid angle, exact for the table's piecewise-linear density.
  double draw(int pol, double u) const;
  // The integral of the intensity over the solid angle within [lo, hi], in
  // square micrometres (a partial scattering cross-section per drop): the
  // weight of this wavelength and polarisation against others.
  double weight(int pol) const;
  // The tabulated intensity at theta, linearly interpolated; 0 outside
  // [lo, hi].  Intensity = differential scattering cross-section per drop,
  // |S|^2 / k^2 in square micrometres per steradian, averaged over the
  // number distribution of radii.
  double intensity(int pol, double theta_rad) const;

  int size() const { return static_cast<int>(theta_count_); }
  double theta_lo() const { return lo_; }
  double step() const { return step_; }
  int radius_count() const { return radii_; }

 private:
  size_t theta_count_ = 0;
  int radii_ = 0;
  double lo_ = 0, step_ = 0;
  std::vector<double> intensity_[2];   // per node
  std::vector<double> cumulative_[2];  // integral of intensity * sin(theta) up to each node
};

}  // namespace physical
