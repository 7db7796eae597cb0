// The physical model's picture: sunlight of every visible wavelength, or
// one, strikes drops all over the sky; each ray's light, split into the
// components perpendicular and parallel to its plane of scattering, adds
// up in integer sums, so a picture does not depend on the order the rays
// land in, nor on how they are shared among threads.
//
// Drops fill the sky evenly and the sun's disc is round, so the light a
// ray sends depends on its angle from the antisolar point alone, never on
// the direction around it: each ray adds its light to the thin ring of sky
// at its angle, and each pixel shows the rings it covers.  A ring gathers
// every ray at its angle, where a pixel would gather a few: the picture
// has no grain long before a pixel-by-pixel one would.  The polarising
// filter acts per pixel, on the ring's two parts and the direction from
// the antisolar point there (the perpendicular part's field runs along
// the ring, the parallel part's across it).
//
// The camera is the classic model's: the point of the horizon above the
// antisolar point sits at (xbase, ybase) and the angle from it maps
// linearly to pixels, xdiff and ydiff pixels to 60 degrees, so with the
// sun on the horizon both models' bows line up.
#ifndef RAINBOW_PHYSICAL_SKY_H
#define RAINBOW_PHYSICAL_SKY_H

#include <stdint.h>

#include <memory>
#include <string>
#include <vector>

#include "light.h"

namespace physical {

enum class Method { Rays, Airy, Mie };

struct Settings {
  int width = 640, height = 480;
  uint64_t seed = 1;
  double temperature_c = 20;
  double wavelength_nm = 0;  // 0: sunlight's spectrum
  double index = 0;          // 0: water's, at each wavelength and the temperature
  bool polarizer = false;
  double polarizer_deg = 0;  // the filter's axis, counter-clockwise from the horizontal
  // The sun's mean apparent diameter, 2 x 959.63" = 0.533 degrees at 1 AU
  // (Allen's Astrophysical Quantities, 4th ed., 2000).
  double sun_disc_deg = 0.53, sun_elevation_deg = 0;
  Method optics = Method::Rays;
  double drop_radius_um = 500, drop_spread = 0;
  bool profile = false;  // tally the profile too
  double profile_bin_deg = 0.01;
};

// Light in fixed point (2^24 units per unit of power): per ring of sky X,
// Y and Z of the perpendicular part, then of the parallel part; per bin
// of the profile the perpendicular and parallel power.  Sums stop at
// 2^63 - 1 rather than wrap, which keeps them independent of order.
struct Tally {
  std::vector<uint64_t> rings;
  std::vector<uint64_t> profile;
  void add(const Tally& other);
};

class WaveOptics;

class Sky {
 public:
  Sky();
  ~Sky();
  // Works out the tables the run needs, airy and mie ones on `threads`
  // threads; false with the reason.
  bool setup(const Settings& s, int threads, std::string* problem);
  // Bytes one tally takes, and an empty one.
  size_t tally_bytes() const;
  void clear(Tally* t) const;
  // Rays first .. first + count - 1 of the run, into t.
  void trace(uint64_t first, uint64_t count, Tally* t) const;

  // The picture, 0x00RRGGBB row by row: the light of `rays` rays added to
  // `pixels`, which hold the backdrop (with `has_backdrop`) or are drawn
  // as black sky and dark ground.  exposure 0 picks one from the picture
  // (the brightest thousandth of the sky turns white); the one used is
  // returned.  Exposure 1 shows a radiance of 1 (power per steradian per
  // unit of power striking a drop, times the observer's Y) as white.
  double develop(const Tally& t, uint64_t rays, double exposure, bool has_backdrop,
                 uint32_t* pixels, int threads = 1) const;
  // The sky's X, Y and Z per pixel above the horizon, row by row, in the
  // units of exposure 1: what develop shows.
  void sky_xyz(const Tally& t, uint64_t rays, std::vector<float>* xyz, int threads = 1) const;

  // The profile: intensity per unit solid angle against the scattering
  // angle, bins over [120, 180] degrees.
  int profile_bins() const { return bins_; }
  double profile_angle(int bin) const;  // its centre, degrees
  void profile_value(const Tally& t, uint64_t rays, int bin, double* perpendicular,
                     double* parallel) const;

 private:
  struct Spectral {
    double n;
    Tristimulus cmf;  // times 2^24: in the tally's units
  };
  Spectral spectral_at(double wavelength_nm) const;
  Spectral sunlight_at(double u) const;
  std::vector<double> radiance(const Tally& t, uint64_t rays) const;
  void pixel_xyz(const std::vector<double>& radiance, size_t x, size_t y, double xyz[3]) const;
  void add_profile(Tally* t, double square, double perpendicular, double parallel) const;

  Settings s_;
  SpectrumSampler sampler_;
  std::vector<Spectral> spectral_;  // every nm over 380-780
  std::vector<Spectral> sunlight_;  // at the sampler's draws u = k / (size - 1)
  double xbase_ = 0, ybase_ = 0, to_x_ = 0, to_y_ = 0;
  int ybase_row_ = 0;
  double disc_radius_ = 0, cos_e_ = 1, sin_e_ = 0, cos_a_ = 1, sin_a_ = 0;
  double ring_ = 0, per_ring_ = 0;  // radians
  int rings_ = 0;
  double bin_ = 0, per_bin_ = 0;  // degrees
  int bins_ = 0;
  std::unique_ptr<WaveOptics> wave_;
};

}  // namespace physical

#endif  // RAINBOW_PHYSICAL_SKY_H
