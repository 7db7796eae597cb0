#include "sky.h"

#include <math.h>
#include <string.h>

#include <algorithm>
#include <atomic>
#include <thread>

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
const int kSunlightSteps = 512;    // the sunlight table's grid in the sampler's u

// Sums stop at kFull rather than wrap: whatever the order of the adds, a
// sum ends as the least of kFull and the whole.  Two full sums add up
// within 64 bits.
const uint64_t kFull = (uint64_t{1} << 63) - 1;
inline void add_saturating(uint64_t* sum, uint64_t v) {
  if (__builtin_add_overflow(*sum, v, sum) || *sum > kFull) *sum = kFull;
}
// Rays between the sums' checks against kFull: with less than 2^26 units a
// ray (three adds below 2^24), 2^30 rays add less than 2^56, so a sum at
// kFull or below does not wrap in between.
const uint64_t kSegment = uint64_t{1} << 30;

// Two sums at a time, with the processor's vector instructions where it
// has them (the compiler's generic vectors, so no instruction set named).
typedef double Pair __attribute__((vector_size(16)));
typedef uint64_t Sums __attribute__((vector_size(16)));
// v (0 <= v < 2^51) to the nearest integer, ties to even, in the low bits
// of v + 2^52: the double's significand holds them.  Added to two sums.
inline void add_units(uint64_t* sums, Pair v) {
  const Pair shifted = v + Pair{0x1.0p52, 0x1.0p52};
  Sums add, sum;
  memcpy(&add, &shifted, sizeof add);
  memcpy(&sum, sums, sizeof sum);
  sum += add - Sums{0x4330000000000000, 0x4330000000000000};  // the bits of 2^52
  memcpy(sums, &sum, sizeof sum);
}

// Through a signed conversion, one instruction where an unsigned one takes
// a branch; a ray's power is at most a few units, far within range.
inline uint64_t fixed(double v) {
  return static_cast<uint64_t>(static_cast<int64_t>(v * kScale + 0.5));
}
// The same for a value already in units: the spectral table holds the
// observer's functions times 2^24, a power of two, so the products are
// bit for bit those of fixed().
inline uint64_t units(double v) {
  return static_cast<uint64_t>(static_cast<int64_t>(v + 0.5));
}

// The angle from the antisolar point, e below the horizon, of the point of
// the sky the camera sees hx radians right of and hy above its centre: on
// the sphere, along the great circle at that angle from the centre.
double angle_from_antisolar(double hx, double hy, double cos_e, double sin_e) {
  const double from_centre = sqrt(hx * hx + hy * hy);
  if (sin_e == 0) return from_centre;
  const double up = from_centre > 0 ? hy / from_centre : 0;
  return acos(std::clamp(cos(from_centre) * cos_e - sin(from_centre) * up * sin_e, -1.0, 1.0));
}

}  // namespace

void Tally::add(const Tally& other) {
  for (size_t k = 0; k < rings.size(); ++k) add_saturating(&rings[k], other.rings[k]);
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
  // Rings half a pixel wide (0.001 to 0.05 degrees), out to the farthest
  // corner of the picture: few enough that the tally stays in the cache.
  ring_ = std::clamp(kSky / std::max(xdiff, ydiff) / 2, 0.001 * kRadian, 0.05 * kRadian);
  const double elevation = s.sun_elevation_deg * kRadian;
  double farthest = 0;
  for (double x : {0.0, static_cast<double>(s.width)})
    for (double y : {0.0, static_cast<double>(s.height)})
      farthest = std::max(farthest, angle_from_antisolar((x - xbase) / to_x_, (ybase - y) / to_y_,
                                                         cos(elevation), sin(elevation)));
  rings_ = static_cast<int>(ceil(std::min(kPi, farthest + disc_radius_) / ring_)) + 2;
  per_ring_ = 1 / ring_;
  cos_e_ = cos(elevation);
  sin_e_ = sin(elevation);
  cos_a_ = cos(s.polarizer_deg * kRadian);
  sin_a_ = sin(s.polarizer_deg * kRadian);
  bin_ = s.profile_bin_deg;
  per_bin_ = 1 / bin_;
  bins_ = static_cast<int>(ceil(60 / bin_ - 1e-9));

  const double kelvin = s.temperature_c + 273.15, density = water_density(s.temperature_c);
  auto index_at = [&](double nm) {
    return s.index > 0 ? s.index : water_index(nm, kelvin, density);
  };
  const int count = static_cast<int>((kLongestNm - kShortestNm) / kSpectralStep + 0.5) + 1;
  spectral_.resize(count);
  for (int k = 0; k < count; ++k) {
    const double nm = kShortestNm + k * kSpectralStep;
    const Tristimulus cmf = cie1931(nm);
    spectral_[k] = {index_at(nm), {cmf.x * kScale, cmf.y * kScale, cmf.z * kScale}};
  }
  // A ray of sunlight needs its wavelength for the index and the observer
  // alone, so one table, on an even grid in the sampler's u, gives both
  // from u with no wavelength between.  Both are smooth in u but for the
  // observer's knots every 5 nm, which the grid's steps (0.7-1.0 nm) round
  // off.  Linearly interpolated, the index is within 1.3e-7 of water's at
  // the sampler's wavelength (the 1 nm table: 1.2e-7; a bow moves some 60
  // degrees per unit of index, so 1e-5 degrees), the observer's functions
  // within 0.004 (of z-bar's 1.78; x-bar 0.0008, y-bar 0.0005).
  sunlight_.resize(kSunlightSteps + 1);
  for (int k = 0; k <= kSunlightSteps; ++k) {
    const double nm = sampler_.draw(static_cast<double>(k) / kSunlightSteps);
    const Tristimulus cmf = cie1931(nm);
    sunlight_[k] = {index_at(nm), {cmf.x * kScale, cmf.y * kScale, cmf.z * kScale}};
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
      std::min(180.0, std::max(60.0, (rings_ - 2) * ring_ / kRadian) + s.sun_disc_deg);
  wave_ = std::make_unique<WaveOptics>();
  return wave_->build(s.optics, s.drop_radius_um, s.drop_spread, (180 - widest) * kRadian, kPi,
                      wavelengths, indices, threads, problem);
}

size_t Sky::tally_bytes() const {
  return (static_cast<size_t>(rings_) * 6 + (s_.profile ? static_cast<size_t>(bins_) * 2 : 0)) *
         sizeof(uint64_t);
}

void Sky::clear(Tally* t) const {
  t->rings.assign(static_cast<size_t>(rings_) * 6, 0);
  t->profile.assign(s_.profile ? static_cast<size_t>(bins_) * 2 : 0, 0);
}

__attribute__((always_inline)) inline Sky::Spectral Sky::spectral_at(double nm) const {
  const double f = (nm - kShortestNm) / kSpectralStep;
  const size_t j = std::min(static_cast<size_t>(std::max(f, 0.0)), spectral_.size() - 2);
  const double t = f - static_cast<double>(j);
  const Spectral& a = spectral_[j];
  const Spectral& b = spectral_[j + 1];
  return {a.n + (b.n - a.n) * t,
          {a.cmf.x + (b.cmf.x - a.cmf.x) * t, a.cmf.y + (b.cmf.y - a.cmf.y) * t,
           a.cmf.z + (b.cmf.z - a.cmf.z) * t}};
}

// u in [0, 1).
__attribute__((always_inline)) inline Sky::Spectral Sky::sunlight_at(double u) const {
  const double f = u * kSunlightSteps;
  const size_t j = static_cast<size_t>(static_cast<int64_t>(f));
  const double t = f - static_cast<double>(static_cast<int64_t>(j));
  const Spectral& a = sunlight_[j];
  const Spectral& b = sunlight_[j + 1];
  return {a.n + (b.n - a.n) * t,
          {a.cmf.x + (b.cmf.x - a.cmf.x) * t, a.cmf.y + (b.cmf.y - a.cmf.y) * t,
           a.cmf.z + (b.cmf.z - a.cmf.z) * t}};
}

// The profile: the scattering angle is 180 degrees less the angle from the
// antisolar point.
void Sky::add_profile(Tally* t, double square, double perpendicular, double parallel) const {
  const double from_edge = 60 - sqrt(square) * (1 / kRadian);
  if (from_edge < 0) return;
  const size_t bin =
      static_cast<size_t>(std::min(static_cast<int>(from_edge * per_bin_), bins_ - 1));
  add_saturating(&t->profile[2 * bin], fixed(perpendicular));
  add_saturating(&t->profile[2 * bin + 1], fixed(parallel));
}

// Rays go in blocks, each step over the whole block before the next: the
// random numbers (the disc's rejection loop the one branch), the drops,
// the rings, the sums.  With no branch in a loop to guess wrong, the
// processor works on several rays at once.
void Sky::trace(uint64_t first, uint64_t count, Tally* t) const {
  // The loop's constants in locals: the tally's stores could otherwise
  // alias them, and each would be read again for every ray.
  const bool one_wavelength = s_.wavelength_nm > 0, rays = s_.optics == Method::Rays;
  const Spectral fixed_light = one_wavelength ? spectral_at(s_.wavelength_nm) : Spectral{};
  const uint64_t seed = mix64(s_.seed);
  const double disc = disc_radius_, per_ring = per_ring_, ring_width = ring_;
  const size_t ring_count = static_cast<size_t>(rings_), orders = rays ? 3 : 1;
  uint64_t* const sums = t->rings.data();
  const size_t kBlock = 64;  // its arrays, 15 kB, beside the tally in the first-level cache
  struct Draw {
    double w, nm, ox, oy, u, v;  // w: the wavelength's draw
  } draws[kBlock];
  struct Light {
    Outgoing out;  // wave optics: order 0 only
    Pair cmf[3];   // the observer's X, Y; Z, X; Y, Z, for the sums two at a time
  } lights[kBlock];
  struct Hit {
    double perpendicular, parallel;
    uint32_t ring, ray;
  } hits[3 * kBlock];
  const uint64_t end = first + count;
  for (uint64_t start = first; start < end; start += kBlock) {
    const size_t m = static_cast<size_t>(std::min<uint64_t>(kBlock, end - start));
    for (size_t k = 0; k < m; ++k) {
      RayRandom g(seed, start + k, RayRandom::kMixed);
      Draw& d = draws[k];
      // A ray's wavelength and impact parameter from the generator's first
      // state, 32 bits each: fine enough for both (1e-7 nm; 1e-10 drop
      // radii at grazing incidence).
      double w;
      if (rays) {
        RayRandom::unit_pair(g.first(), &w, &d.u);
      } else {
        w = g.uniform();
      }
      d.w = w;
      if (!rays) d.nm = one_wavelength ? s_.wavelength_nm : sampler_.draw(w);
      // Where on the sun's disc the ray comes from, evenly over it.
      double ox = 0, oy = 0;
      if (disc > 0 && rays) {
        g.disc_point(&ox, &oy);
        ox *= disc;
        oy *= disc;
      } else if (disc > 0) {
        double q;
        do {
          g.signed_pair(&ox, &oy);
          q = ox * ox + oy * oy;
        } while (q >= 1);
        ox *= disc;
        oy *= disc;
      }
      d.ox = ox, d.oy = oy;
      // The wave optics' two draws in the order they were taken when they
      // were a call's arguments (GCC's, right to left): the same pictures.
      if (!rays) d.v = g.uniform(), d.u = g.uniform();
    }
    for (size_t k = 0; k < m; ++k) {
      const Draw& d = draws[k];
      Spectral light = fixed_light;
      if (!one_wavelength) light = rays ? sunlight_at(d.w) : spectral_at(d.nm);
      const Tristimulus& c = light.cmf;
      lights[k].cmf[0] = Pair{c.x, c.y};
      lights[k].cmf[1] = Pair{c.z, c.x};
      lights[k].cmf[2] = Pair{c.y, c.z};
      Outgoing& out = lights[k].out;
      if (rays) {
        // Evenly over the drop's cross-section: the impact parameter's
        // square is uniform.
        trace_drop(sqrt(d.u), light.n, &out);
      } else {
        int polarisation;
        double angle, power;
        wave_->draw(d.nm, d.u, d.v, &polarisation, &angle, &power);
        out.angle[0] = kPi - angle;
        out.perpendicular[0] = polarisation == 0 ? power : 0;
        out.parallel[0] = polarisation == 1 ? power : 0;
      }
    }
    // The whole scattering turns with the direction the ray comes from,
    // which moves the ray by the same small angle on the sky (to first order
    // in the disc's radius; the ring's distance changes by at most a
    // millionth of a degree more).  The ring from the square of the angle,
    // with no square root: the angle is |da| or a little more (by oy^2 /
    // (angle + |da|)), so the ring is |da|'s or one of the next few.  Rays
    // past the last ring, beyond what the camera sees, take the next hit's
    // place.
    size_t n = 0;
    auto find_ring = [&](size_t k, size_t j) {
      const double da = lights[k].out.angle[j] + draws[k].ox, oy = draws[k].oy;
      const double square = da * da + oy * oy;
      int64_t ring = static_cast<int64_t>(fabs(da) * per_ring);
      for (double edge = static_cast<double>(ring + 1) * ring_width; square >= edge * edge;
           edge = static_cast<double>(ring + 1) * ring_width)
        ++ring;
      hits[n] = {lights[k].out.perpendicular[j], lights[k].out.parallel[j],
                 static_cast<uint32_t>(ring), static_cast<uint32_t>(k)};
      n += static_cast<uint64_t>(ring) < ring_count;
    };
    for (size_t k = 0; k < m; ++k) {
      find_ring(k, 0);
      if (rays) find_ring(k, 1), find_ring(k, 2);
    }
    if (rays) {
      // Powers up to 1/2 (R <= 1) times the observer's functions (up to
      // 1.79 times 2^24): below 2^24 units an add, so plain adds, and the
      // sums are held to kFull after every kSegment rays.
      for (size_t h = 0; h < n; ++h) {
        const Hit& hit = hits[h];
        const Pair* cmf = lights[hit.ray].cmf;
        uint64_t* p = sums + 6 * static_cast<size_t>(hit.ring);
        add_units(p, Pair{hit.perpendicular, hit.perpendicular} * cmf[0]);
        add_units(p + 2, Pair{hit.perpendicular, hit.parallel} * cmf[1]);
        add_units(p + 4, Pair{hit.parallel, hit.parallel} * cmf[2]);
      }
      if ((start - first + kBlock) % kSegment == 0 || start + kBlock >= end)
        for (uint64_t& sum : t->rings) sum = std::min(sum, kFull);
    } else {
      for (size_t h = 0; h < n; ++h) {
        const Hit& hit = hits[h];
        const Pair* cmf = lights[hit.ray].cmf;
        uint64_t* p = sums + 6 * static_cast<size_t>(hit.ring);
        add_saturating(&p[0], units(hit.perpendicular * cmf[0][0]));
        add_saturating(&p[1], units(hit.perpendicular * cmf[0][1]));
        add_saturating(&p[2], units(hit.perpendicular * cmf[1][0]));
        add_saturating(&p[3], units(hit.parallel * cmf[0][0]));
        add_saturating(&p[4], units(hit.parallel * cmf[0][1]));
        add_saturating(&p[5], units(hit.parallel * cmf[1][0]));
      }
    }
    if (s_.profile)
      for (size_t k = 0; k < m; ++k)
        for (size_t j = 0; j < orders; ++j) {
          const double da = lights[k].out.angle[j] + draws[k].ox, oy = draws[k].oy;
          add_profile(t, da * da + oy * oy, lights[k].out.perpendicular[j],
                      lights[k].out.parallel[j]);
        }
  }
}

// Calls work(y) for every row y below `rows` on `threads` threads: each
// pixel is its own, so any split gives the same values.
template <typename Work>
void for_rows(size_t rows, int threads, Work work) {
  std::atomic<size_t> next{0};
  auto take = [&] {
    for (size_t y; (y = next++) < rows;) work(y);
  };
  std::vector<std::thread> pool;
  for (size_t k = 1; k < std::min(static_cast<size_t>(std::max(threads, 1)), rows); ++k)
    pool.emplace_back(take);
  take();
  for (std::thread& th : pool) th.join();
}

std::vector<double> Sky::radiance(const Tally& t, uint64_t rays) const {
  // Each ring's radiance: its power over its solid angle, 2 pi (cos a - cos b).
  std::vector<double> radiance(t.rings.size());
  for (int j = 0; j < rings_; ++j) {
    const double solid = 2 * kPi * (cos(j * ring_) - cos(std::min(kPi, (j + 1) * ring_)));
    const double k = rays > 0 && solid > 0 ? 1 / (static_cast<double>(rays) * kScale * solid) : 0;
    for (int c = 0; c < 6; ++c)
      radiance[6 * static_cast<size_t>(j) + c] =
          static_cast<double>(t.rings[6 * static_cast<size_t>(j) + c]) * k;
  }
  return radiance;
}

// The sky's XYZ over pixel (x, y), the mean of four points in it.  At each
// point (hx, hy radians right of and above the camera's centre): the angle
// from the antisolar point on the sphere, the rings either side of it, and
// the filter across the direction from the antisolar point.
void Sky::pixel_xyz(const std::vector<double>& radiance, size_t x, size_t y, double xyz[3]) const {
  const double e = s_.sun_elevation_deg * kRadian;
  xyz[0] = xyz[1] = xyz[2] = 0;
  for (int q = 0; q < 4; ++q) {
    const double hx = (static_cast<double>(x) + 0.25 + 0.5 * (q & 1) - xbase_) / to_x_;
    const double hy = (ybase_ - static_cast<double>(y) - 0.25 - 0.5 * (q >> 1)) / to_y_;
    const double angle = angle_from_antisolar(hx, hy, cos_e_, sin_e_);
    const double f = std::max(0.0, angle * per_ring_ - 0.5);
    const size_t j0 = std::min(static_cast<size_t>(f), static_cast<size_t>(rings_ - 1));
    const size_t j1 = std::min(j0 + 1, static_cast<size_t>(rings_ - 1));
    const double u = std::min(1.0, f - static_cast<double>(j0));
    double across = 0.25, along = 0.25;
    if (s_.polarizer) {
      const double rx = hx, ry = hy + e, r = sqrt(rx * rx + ry * ry);
      const double c = r > 0 ? (cos_a_ * rx + sin_a_ * ry) / r : 1;
      // Malus's law: an ideal filter passes cos^2 of the angle between
      // its axis and a field's direction.
      along = 0.25 * c * c;  // the filter's share of the field across the ring
      across = 0.25 - along;
    }
    const double* a = &radiance[6 * j0];
    const double* b = &radiance[6 * j1];
    for (int c = 0; c < 3; ++c)
      xyz[c] +=
          across * (a[c] + (b[c] - a[c]) * u) + along * (a[3 + c] + (b[3 + c] - a[3 + c]) * u);
  }
}

void Sky::sky_xyz(const Tally& t, uint64_t rays, std::vector<float>* out, int threads) const {
  const size_t w = static_cast<size_t>(s_.width);
  const size_t rows = static_cast<size_t>(std::min(ybase_row_, s_.height));
  const std::vector<double> r = radiance(t, rays);
  std::vector<float>& sky = *out;
  sky.assign(rows * w * 3, 0.0f);
  for_rows(rows, threads, [&](size_t y) {
    for (size_t x = 0; x < w; ++x) {
      double xyz[3];
      pixel_xyz(r, x, y, xyz);
      for (int c = 0; c < 3; ++c) sky[3 * (y * w + x) + c] = static_cast<float>(xyz[c]);
    }
  });
}

double Sky::develop(const Tally& t, uint64_t rays, double exposure, bool has_backdrop,
                    uint32_t* pixels, int threads) const {
  const size_t w = static_cast<size_t>(s_.width), h = static_cast<size_t>(s_.height);
  const size_t rows = static_cast<size_t>(std::min(ybase_row_, s_.height));
  const std::vector<double> r = radiance(t, rays);
  if (exposure <= 0) {
    // From at most a million pixels, on an even grid: a large picture
    // needs no second copy of itself to pick its exposure.
    const size_t step =
        std::max<size_t>(1, static_cast<size_t>(ceil(sqrt(static_cast<double>(rows * w) / 1e6))));
    std::vector<double> lum;
    for (size_t y = step / 2; y < rows; y += step)
      for (size_t x = step / 2; x < w; x += step) {
        double xyz[3];
        pixel_xyz(r, x, y, xyz);
        if (xyz[1] > 0) lum.push_back(xyz[1]);
      }
    exposure = 1;
    if (!lum.empty()) {
      const size_t at = static_cast<size_t>(0.999 * static_cast<double>(lum.size() - 1));
      std::nth_element(lum.begin(), lum.begin() + static_cast<long>(at), lum.end());
      if (lum[at] > 0) exposure = 1 / lum[at];
    }
  }
  for_rows(h, threads, [&](size_t y) {
    for (size_t x = 0; x < w; ++x) {
      uint32_t& out = pixels[y * w + x];
      if (y >= rows) {
        if (!has_backdrop) out = 0x141210;  // dark ground
        continue;
      }
      double xyz[3], rgb[3];
      pixel_xyz(r, x, y, xyz);
      xyz_to_linear_srgb(xyz[0] * exposure, xyz[1] * exposure, xyz[2] * exposure, rgb);
      uint32_t v = 0;
      for (int c = 0; c < 3; ++c) {
        double linear = rgb[c];
        if (has_backdrop) linear += srgb_linear((out >> (16 - 8 * c)) & 0xFF);
        v = (v << 8) | static_cast<uint32_t>(srgb_byte(linear));
      }
      out = v;
    }
  });
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
