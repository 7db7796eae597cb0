#include "sky.h"

#include <math.h>

#include <algorithm>

#include "random.h"
#include "rays.h"
#include "wave_optics.h"

namespace physical {

namespace {

const double kPi = 3.14159265358979323846;
const double kRadian = kPi / 180;
const double kSky = 60 * kRadian;  // the angle xdiff and ydiff stand for
const double kScale = 16777216.0;  // fixed point: 2^24 units per unit of power
const double kProfileFrom = 120;   // degrees of scattering angle; the sky's 60 degrees
const double kSpectralStep = 1;    // nm, the spectral table's grid (the observer's knots lie on it)
const double kWaveStep = 10;       // nm, the wave optics' wavelength grid

inline void add_saturating(uint64_t* sum, uint64_t v) {
  if (__builtin_add_overflow(*sum, v, sum)) *sum = UINT64_MAX;
}

inline uint64_t fixed(double v) {
  return static_cast<uint64_t>(v * kScale + 0.5);
}

// D / sin D, the ratio of the solid angle the camera's pixels see at the
// centre to the one at angle D: by its Taylor series (to D^6) near the
// centre, where the sine would lose digits.
inline double pixel_stretch(double d2) {
  if (d2 < 1) return 1 + d2 * (1.0 / 6 + d2 * (7.0 / 360 + d2 * (31.0 / 15120)));
  const double d = sqrt(d2);
  return d / sin(d);
}

}  // namespace

void Tally::add(const Tally& other) {
  for (size_t k = 0; k < xyz.size(); ++k) add_saturating(&xyz[k], other.xyz[k]);
  for (size_t k = 0; k < profile.size(); ++k) add_saturating(&profile[k], other.profile[k]);
}

Sky::Sky() = default;
Sky::~Sky() = default;

bool Sky::setup(const Settings& s, int threads, std::string* problem) {
  s_ = s;
  // The classic model's sky layout for a window of this size; a window
  // too narrow for its 25-pixel margins keeps one pixel per 60 degrees.
  const int xbase = s.width / 2, xdiff = std::max(1, (s.width - 50) / 2);
  const int ybase = (7 * s.height) / 8, ydiff = std::max(1, (5 * s.height) / 8);
  xbase_ = xbase;
  ybase_ = ybase;
  ybase_row_ = ybase;
  to_x_ = xdiff / kSky;
  to_y_ = ydiff / kSky;
  disc_radius_ = 0.5 * s.sun_disc_deg * kRadian;
  cos_e_ = cos(s.sun_elevation_deg * kRadian);
  sin_e_ = sin(s.sun_elevation_deg * kRadian);
  cos_a_ = cos(s.polarizer_deg * kRadian);
  sin_a_ = sin(s.polarizer_deg * kRadian);
  bin_ = s.profile_bin_deg;
  bins_ = static_cast<int>(ceil(60 / bin_ - 1e-9));

  const double kelvin = s.temperature_c + 273.15, density = water_density(s.temperature_c);
  auto index_at = [&](double nm) {
    return s.index > 0 ? s.index : water_index(nm, kelvin, density);
  };
  const int count = static_cast<int>((kLongestNm - kShortestNm) / kSpectralStep + 0.5) + 1;
  spectral_.resize(count);
  for (int k = 0; k < count; ++k) {
    const double nm = kShortestNm + k * kSpectralStep;
    spectral_[k] = {index_at(nm), cie1931(nm)};
  }
  if (s.optics == Method::Rays) return true;

  // Wave optics: a table every 10 nm (or the one wavelength), over the
  // scattering angles the camera and the profile can see, widened by the
  // sun's disc.
  std::vector<double> wavelengths, indices;
  if (s.wavelength_nm > 0) {
    wavelengths.push_back(s.wavelength_nm);
  } else {
    for (double nm = kShortestNm; nm <= kLongestNm + 1e-9; nm += kWaveStep)
      wavelengths.push_back(nm);
  }
  for (double nm : wavelengths) indices.push_back(index_at(nm));
  const double widest =
      std::min(180.0, std::max(60.0, 90.0 + s.sun_elevation_deg) + s.sun_disc_deg);
  wave_ = std::make_unique<WaveOptics>();
  return wave_->build(s.optics, s.drop_radius_um, s.drop_spread, (180 - widest) * kRadian, kPi,
                      wavelengths, indices, threads, problem);
}

size_t Sky::tally_bytes() const {
  return (static_cast<size_t>(s_.width) * static_cast<size_t>(s_.height) * 3 +
          (s_.profile ? static_cast<size_t>(bins_) * 2 : 0)) *
         sizeof(uint64_t);
}

void Sky::clear(Tally* t) const {
  t->xyz.assign(static_cast<size_t>(s_.width) * static_cast<size_t>(s_.height) * 3, 0);
  t->profile.assign(s_.profile ? static_cast<size_t>(bins_) * 2 : 0, 0);
}

Sky::Spectral Sky::spectral_at(double nm) const {
  const double f = (nm - kShortestNm) / kSpectralStep;
  const size_t j = std::min(static_cast<size_t>(std::max(f, 0.0)), spectral_.size() - 2);
  const double t = f - static_cast<double>(j);
  const Spectral& a = spectral_[j];
  const Spectral& b = spectral_[j + 1];
  return {a.n + (b.n - a.n) * t,
          {a.cmf.x + (b.cmf.x - a.cmf.x) * t, a.cmf.y + (b.cmf.y - a.cmf.y) * t,
           a.cmf.z + (b.cmf.z - a.cmf.z) * t}};
}

// One outgoing ray: (px, py) is where it is seen, in radians on the plane
// tangent to the sky at the antisolar point (x to the right, y up), and
// (c, s) the direction of its plane of scattering there.
inline void Sky::deposit(Tally* t, Stage* stage, double px, double py, double c, double s,
                         double perpendicular, double parallel, const Tristimulus& cmf) const {
  const double r2 = px * px + py * py;
  // The profile: the scattering angle is 180 degrees less the angle from
  // the antisolar point.
  const double from_edge = s_.profile ? 60 - sqrt(r2) * (1 / kRadian) : -1;
  if (from_edge >= 0) {
    const int bin = std::min(static_cast<int>(from_edge / bin_), bins_ - 1);
    add_saturating(&t->profile[2 * bin], fixed(perpendicular));
    add_saturating(&t->profile[2 * bin + 1], fixed(parallel));
  }

  // Through the filter: the perpendicular part's field lies across the
  // plane of scattering, the parallel part's along it (Malus's law).
  double power = perpendicular + parallel;
  if (s_.polarizer) {
    const double along = cos_a_ * c + sin_a_ * s;
    const double along2 = along * along;
    power = perpendicular * (1 - along2) + parallel * along2;
  }

  // To the camera, centred on the horizon above the antisolar point.
  double hx = px, hy = py, d2 = r2;
  if (sin_e_ == 0) {
    // The sky is its own mirror image in the horizon: the light below it
    // is folded up, as the classic model folds its rays, for twice the
    // rays per pixel.  A mirrored ray's plane is mirrored with it, so the
    // filter saw the ray's true twin.
    hy = fabs(py);
    if (py < 0 && s_.polarizer) {
      const double along = cos_a_ * c - sin_a_ * s;
      const double along2 = along * along;
      power = perpendicular * (1 - along2) + parallel * along2;
    }
  } else {
    // The antisolar point lies e below the horizon: rotate up to the
    // camera's centre on the horizon, in three dimensions.
    const double r = sqrt(r2);
    const double sin_r = sin(r), cos_r = cos(r);
    const double u = r > 0 ? px / r : 0, v = r > 0 ? py / r : 0;
    const double dx = sin_r * u;
    const double dy = cos_r * cos_e_ + sin_r * v * sin_e_;
    const double dz = -cos_r * sin_e_ + sin_r * v * cos_e_;
    if (dz <= 0) return;  // the ground
    const double d = acos(std::min(1.0, dy)), h = sqrt(dx * dx + dz * dz);
    hx = d * dx / h;
    hy = d * dz / h;
    d2 = d * d;
  }
  const double fx = xbase_ + to_x_ * hx, fy = ybase_ - to_y_ * hy;
  if (!(fx >= 0 && fx < s_.width && fy >= 0 && fy < ybase_row_)) return;
  const size_t pixel =
      static_cast<size_t>(fy) * static_cast<size_t>(s_.width) + static_cast<size_t>(fx);
  const double e = power * pixel_stretch(d2);
  uint64_t* p = &t->xyz[3 * pixel];
  // Staged, and its line fetched now: the tally of a large picture is far
  // bigger than the caches, and many fetches in flight at once cost little
  // more than one.
  __builtin_prefetch(p, 1);
  stage->hits[stage->count++] = {p, fixed(e * cmf.x), fixed(e * cmf.y), fixed(e * cmf.z)};
}

void Sky::Stage::flush() {
  for (int k = 0; k < count; ++k) {
    uint64_t* p = hits[k].sum;
    add_saturating(&p[0], hits[k].x);
    add_saturating(&p[1], hits[k].y);
    add_saturating(&p[2], hits[k].z);
  }
  count = 0;
}

void Sky::trace(uint64_t first, uint64_t count, Tally* t) const {
  const bool one_wavelength = s_.wavelength_nm > 0;
  const Spectral fixed_light = one_wavelength ? spectral_at(s_.wavelength_nm) : Spectral{};
  Stage stage;
  for (uint64_t k = first; k < first + count; ++k) {
    if (stage.count > Stage::kSize - 3) stage.flush();
    RayRandom g(s_.seed, k);
    const double nm = one_wavelength ? s_.wavelength_nm : sampler_.draw(g.uniform());
    const Spectral light = one_wavelength ? fixed_light : spectral_at(nm);
    // Where on the sun's disc the ray comes from, evenly over it: the
    // whole scattering turns with it, which shifts where the ray is seen
    // by the same small angle.
    double ox = 0, oy = 0;
    if (disc_radius_ > 0) {
      double q;
      do {
        ox = g.signed_unit();
        oy = g.signed_unit();
        q = ox * ox + oy * oy;
      } while (q >= 1);
      ox *= disc_radius_;
      oy *= disc_radius_;
    }
    // A point evenly over the drop's cross-section: its distance from the
    // centre is the impact parameter, its direction the plane of scattering.
    double x, y, q;
    do {
      x = g.signed_unit();
      y = g.signed_unit();
      q = x * x + y * y;
    } while (q >= 1 || q == 0);
    const double b = sqrt(q), c = x / b, s = y / b;
    if (s_.optics == Method::Rays) {
      Outgoing out;
      trace_drop(b, light.n, &out);
      for (int j = 0; j < 3; ++j)
        deposit(t, &stage, out.angle[j] * c + ox, out.angle[j] * s + oy, c, s, out.perpendicular[j],
                out.parallel[j], light.cmf);
    } else {
      int polarisation;
      double angle, power;
      wave_->draw(nm, g.uniform(), g.uniform(), &polarisation, &angle, &power);
      const double d = kPi - angle;
      deposit(t, &stage, d * c + ox, d * s + oy, c, s, polarisation == 0 ? power : 0,
              polarisation == 1 ? power : 0, light.cmf);
    }
  }
  stage.flush();
}

double Sky::develop(const Tally& t, uint64_t rays, double exposure, bool has_backdrop,
                    uint32_t* pixels) const {
  const size_t w = static_cast<size_t>(s_.width), h = static_cast<size_t>(s_.height);
  // Radiance in units of the drops' power per unit solid angle: a pixel at
  // the centre sees 1 / (to_x to_y) steradians.
  const double unit = rays > 0 ? to_x_ * to_y_ / (static_cast<double>(rays) * kScale) : 0;
  if (exposure <= 0) {
    std::vector<double> lum;
    for (size_t k = 0; k < w * h; ++k)
      if (t.xyz[3 * k + 1] > 0) lum.push_back(static_cast<double>(t.xyz[3 * k + 1]) * unit);
    exposure = 1;
    if (!lum.empty()) {
      const size_t at = static_cast<size_t>(0.995 * static_cast<double>(lum.size() - 1));
      std::nth_element(lum.begin(), lum.begin() + static_cast<long>(at), lum.end());
      if (lum[at] > 0) exposure = 1 / lum[at];
    }
  }
  const double k = exposure * unit;
  for (size_t y = 0; y < h; ++y) {
    for (size_t x = 0; x < w; ++x) {
      uint32_t& out = pixels[y * w + x];
      if (static_cast<int>(y) >= ybase_row_) {
        if (!has_backdrop) out = 0x141210;  // dark ground
        continue;
      }
      const uint64_t* p = &t.xyz[3 * (y * w + x)];
      double rgb[3];
      xyz_to_linear_srgb(static_cast<double>(p[0]) * k, static_cast<double>(p[1]) * k,
                         static_cast<double>(p[2]) * k, rgb);
      uint32_t v = 0;
      for (int c = 0; c < 3; ++c) {
        double linear = rgb[c];
        if (has_backdrop) linear += srgb_linear((out >> (16 - 8 * c)) & 0xFF);
        v = (v << 8) | static_cast<uint32_t>(srgb_byte(linear));
      }
      out = v;
    }
  }
  return exposure;
}

double Sky::profile_angle(int bin) const {
  const double lo = kProfileFrom + bin * bin_, hi = std::min(180.0, lo + bin_);
  return 0.5 * (lo + hi);
}

void Sky::profile_value(const Tally& t, uint64_t rays, int bin, double* perpendicular,
                        double* parallel) const {
  const double lo = kProfileFrom + bin * bin_, hi = std::min(180.0, lo + bin_);
  // The bin's solid angle: a ring of the sphere, 2 pi (cos lo - cos hi).
  const double solid = 2 * kPi * (cos(lo * kRadian) - cos(hi * kRadian));
  const double k = rays > 0 && solid > 0 ? 1 / (static_cast<double>(rays) * kScale * solid) : 0;
  *perpendicular = static_cast<double>(t.profile[2 * bin]) * k;
  *parallel = static_cast<double>(t.profile[2 * bin + 1]) * k;
}

}  // namespace physical
