// The lab page's model: the physical sky behind a few C functions, which the
// page's worker (lab_worker.js) calls.  One run at a time: lab_setup starts
// it, lab_trace adds rays, lab_develop and lab_profile show what they have
// added up so far.  Rays are numbered from 0 in every run, so the same
// settings build up the same picture.
#include <stdint.h>

#include <string>
#include <vector>

#include "sky.h"

namespace {

const double kProfileBinDeg = 0.1;  // the page's plot is a few hundred pixels wide

struct Run {
  physical::Sky sky;
  physical::Tally tally;
  uint64_t rays = 0;
  bool ready = false;
  std::string problem;
  std::vector<uint32_t> pixels;  // the picture as RGBA bytes, for ImageData
  std::vector<double> profile;   // per bin: angle, perpendicular, parallel
};

Run& run() {
  static Run r;
  return r;
}

bool refuse(const std::string& why) {
  run().problem = why;
  return false;
}

}  // namespace

extern "C" {

// A run of the sky on a width x height canvas: the sun elev degrees high,
// drops of radius_um micrometres, optics 0 rays, 1 Airy, 2 Mie, and with
// `polarizer` a filter at polarizer_deg from the horizontal.  0 with the
// reason in lab_problem().
int lab_setup(int width, int height, double sun_elevation_deg, double drop_radius_um, int optics,
              int polarizer, double polarizer_deg) {
  Run& r = run();
  r.ready = false;
  r.rays = 0;
  r.problem.clear();
  // NaN fails every comparison, so each test is written to pass only inside.
  if (!(width >= 1 && width <= 4096 && height >= 1 && height <= 4096))
    return refuse("the picture must be 1 to 4096 pixels each way");
  if (!(sun_elevation_deg >= 0 && sun_elevation_deg <= 90))
    return refuse("the sun's height must be 0 to 90 degrees");
  if (!(drop_radius_um >= 1 && drop_radius_um <= 5000))
    return refuse("the drops' radius must be 1 to 5000 micrometres");
  if (optics < 0 || optics > 2) return refuse("the optics must be rays, Airy or Mie");
  if (!(polarizer_deg >= -360 && polarizer_deg <= 360))
    return refuse("the filter's angle must be -360 to 360 degrees");

  physical::Settings s;
  s.width = width;
  s.height = height;
  s.sun_elevation_deg = sun_elevation_deg;
  s.drop_radius_um = drop_radius_um;
  s.optics = optics == 0   ? physical::Method::Rays
             : optics == 1 ? physical::Method::Airy
                           : physical::Method::Mie;
  s.polarizer = polarizer != 0;
  s.polarizer_deg = polarizer_deg;
  s.profile = true;
  s.profile_bin_deg = kProfileBinDeg;
  std::string problem;
  if (!r.sky.setup(s, 1, &problem)) return refuse(problem);
  r.sky.clear(&r.tally);
  r.pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
  r.profile.assign(static_cast<size_t>(r.sky.profile_bins()) * 3, 0);
  r.ready = true;
  return 1;
}

const char* lab_problem() {
  return run().problem.c_str();
}

// Adds `count` more rays; the run's rays so far (a double: JavaScript's
// numbers hold integers to 2^53 exactly).
double lab_trace(int count) {
  Run& r = run();
  if (!r.ready || count <= 0) return static_cast<double>(r.rays);
  r.sky.trace(r.rays, static_cast<uint64_t>(count), &r.tally);
  r.rays += static_cast<uint64_t>(count);
  return static_cast<double>(r.rays);
}

// The picture of the rays so far, width x height RGBA bytes, exposed for
// its brightest sky; null before a run.
const uint8_t* lab_develop() {
  Run& r = run();
  if (!r.ready) return nullptr;
  r.sky.develop(r.tally, r.rays, 0, false, r.pixels.data());
  // 0x00RRGGBB to the bytes R, G, B, 255 (wasm is little-endian).
  for (uint32_t& p : r.pixels)
    p = 0xFF000000u | ((p & 0xFF) << 16) | (p & 0xFF00) | ((p >> 16) & 0xFF);
  return reinterpret_cast<const uint8_t*>(r.pixels.data());
}

int lab_profile_bins() {
  return run().ready ? run().sky.profile_bins() : 0;
}

// The profile of the rays so far: per bin its scattering angle (degrees),
// then the perpendicular and parallel intensity per unit solid angle.
const double* lab_profile() {
  Run& r = run();
  if (!r.ready) return nullptr;
  for (int k = 0; k < r.sky.profile_bins(); ++k) {
    double* row = &r.profile[3 * static_cast<size_t>(k)];
    row[0] = r.sky.profile_angle(k);
    r.sky.profile_value(r.tally, r.rays, k, &row[1], &row[2]);
  }
  return r.profile.data();
}

}  // extern "C"
