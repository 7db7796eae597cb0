// The physical model's rays against geometric optics worked out here:
// Descartes' angles, the Fresnel polarisation of the primary bow, the sky's
// brightness around the bows and what a polarising filter does to them.
#include <gtest/gtest.h>
#include <math.h>

#include <vector>

#include "rays.h"
#include "sky.h"

namespace {

const double kPi = 3.14159265358979323846;

struct Traced {
  physical::Sky sky;
  physical::Tally tally;
  uint64_t rays;
};

void run(const physical::Settings& s, uint64_t rays, Traced* r) {
  std::string problem;
  ASSERT_TRUE(r->sky.setup(s, 1, &problem)) << problem;
  r->sky.clear(&r->tally);
  r->sky.trace(0, rays, &r->tally);
  r->rays = rays;
}

// The profile's brightest bin within [lo, hi] degrees, and its two parts.
double brightest(const Traced& r, double lo, double hi, double* perpendicular, double* parallel) {
  double best = -1, at = 0;
  for (int k = 0; k < r.sky.profile_bins(); ++k) {
    const double angle = r.sky.profile_angle(k);
    if (angle < lo || angle > hi) continue;
    double s, p;
    r.sky.profile_value(r.tally, r.rays, k, &s, &p);
    if (s + p > best) best = s + p, at = angle, *perpendicular = s, *parallel = p;
  }
  return at;
}

// Mean of both parts over [lo, hi] degrees.
double mean(const Traced& r, double lo, double hi) {
  double sum = 0;
  int count = 0;
  for (int k = 0; k < r.sky.profile_bins(); ++k) {
    const double angle = r.sky.profile_angle(k);
    if (angle < lo || angle > hi) continue;
    double s, p;
    r.sky.profile_value(r.tally, r.rays, k, &s, &p);
    sum += s + p, ++count;
  }
  return sum / count;
}

// Descartes' minimum deviation after k inner reflections: cos^2 i =
// (n^2 - 1) / (k^2 + 2k); returned as a scattering angle in degrees, with
// the incidence and refraction angles.
double descartes(double n, int k, double* i, double* r) {
  *i = acos(sqrt((n * n - 1) / (k * k + 2 * k)));
  *r = asin(sin(*i) / n);
  const double deviation = fmod(2 * (*i - *r) + k * (kPi - 2 * *r), 2 * kPi);
  return (deviation > kPi ? 2 * kPi - deviation : deviation) * 180 / kPi;
}

TEST(Rays, BowsAtDescartesAnglesWithFresnelsPolarisation) {
  struct Case {
    double nm, n;
  } cases[] = {{420, 1.3435}, {550, 1.3330}, {650, 1.3310}};
  for (const Case& c : cases) {
    physical::Settings s;
    s.width = 64, s.height = 48;
    s.wavelength_nm = c.nm, s.index = c.n, s.sun_disc_deg = 0, s.profile = true;
    Traced r;
    run(s, 3000000, &r);
    double i, refr, perpendicular, parallel, i2, r2;
    const double primary = descartes(c.n, 1, &i, &refr);
    const double secondary = descartes(c.n, 2, &i2, &r2);
    EXPECT_NEAR(brightest(r, primary - 3, primary + 3, &perpendicular, &parallel), primary, 0.02)
        << c.nm << " nm";
    double s2, p2;
    EXPECT_NEAR(brightest(r, secondary - 3, secondary + 3, &s2, &p2), secondary, 0.02)
        << c.nm << " nm";
    // T^2 R for each polarisation at Descartes' ray (Born and Wolf 1.5.2).
    const double ci = cos(i), cr = cos(refr);
    const double rs = pow((ci - c.n * cr) / (ci + c.n * cr), 2);
    const double rp = pow((c.n * ci - cr) / (c.n * ci + cr), 2);
    const double is = rs * (1 - rs) * (1 - rs), ip = rp * (1 - rp) * (1 - rp);
    EXPECT_NEAR((perpendicular - parallel) / (perpendicular + parallel), (is - ip) / (is + ip),
                0.01)
        << c.nm << " nm";
  }
}

// White sunlight, the sun's disc: Alexander's dark band between the bows.
// One ray through the drop against the library's arcsine and Fresnel's
// formulas in their sine and tangent form (Born and Wolf, 1.5.2, eq. 21),
// over impact parameters up to grazing and water's range of indices.
TEST(Rays, OneRayMatchesTheTrigonometricForm) {
  for (double n : {1.329, 1.3325, 1.3435})
    for (double b = 0.01; b < 1; b += 0.0137) {
      physical::Outgoing out;
      physical::trace_drop(b, n, &out);
      const double i = asin(b), r = asin(b / n);
      const double rs = sin(i - r) / sin(i + r), rp = tan(i - r) / tan(i + r);
      const double ts = 1 - rs * rs, tp = 1 - rp * rp;
      const double angle[3] = {2 * i, 4 * r - 2 * i, 6 * r - 2 * i - kPi};
      const double perpendicular[3] = {0.5 * rs * rs, 0.5 * ts * ts * rs * rs,
                                       0.5 * ts * ts * rs * rs * rs * rs};
      const double parallel[3] = {0.5 * rp * rp, 0.5 * tp * tp * rp * rp,
                                  0.5 * tp * tp * rp * rp * rp * rp};
      for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(out.angle[k], angle[k], 1e-12) << "b " << b << " n " << n << " order " << k;
        EXPECT_NEAR(out.perpendicular[k], perpendicular[k], 1e-12 + 1e-9 * perpendicular[k]);
        EXPECT_NEAR(out.parallel[k], parallel[k], 1e-12 + 1e-9 * parallel[k]);
      }
    }
}

TEST(Rays, AlexandersBandIsTheDarkestSky) {
  physical::Settings s;
  s.width = 64, s.height = 48, s.profile = true;
  Traced r;
  run(s, 2000000, &r);
  const double inside = mean(r, 140, 145);   // 35-40 degrees from the antisolar point
  const double band = mean(r, 131, 136);     // 44-49
  const double outside = mean(r, 121, 126);  // 54-59
  EXPECT_LT(band, inside);
  EXPECT_LT(band, outside);
  EXPECT_GT(inside, outside);
}

// The bow's light is polarised along it: a filter across it at the top of
// the bow (vertical) takes out most of the light there, one along it little;
// at the bow's side (horizontal there) the other way round.
TEST(Rays, FilterAcrossTheBowDimsIt) {
  double top[2], side[2];
  for (int k = 0; k < 2; ++k) {
    physical::Settings s;
    s.width = 250, s.height = 160, s.polarizer = true, s.polarizer_deg = k * 90.0;
    Traced r;
    run(s, 1000000, &r);
    std::vector<float> xyz;
    r.sky.sky_xyz(r.tally, r.rays, &xyz);
    // 41.5 degrees from the centre (125, 140): up, 0.69 of ydiff (100); left,
    // 0.69 of xdiff (100).
    top[k] = xyz[3 * (71 * 250 + 125) + 1];
    side[k] = xyz[3 * (139 * 250 + 56) + 1];
  }
  EXPECT_GT(top[0], 5 * top[1]);
  EXPECT_GT(side[1], 5 * side[0]);
}

// The sun's height sinks the bows by as much: the primary's top, brightest
// straight above the antisolar point, lies 42 degrees less the height above
// the horizon; at 45 degrees it has gone below it.
TEST(Rays, BowsSinkWithTheSun) {
  // 250 x 321: the horizon's centre at (125, 280); 200 pixels to 60 degrees up.
  struct Case {
    double elevation, top;  // degrees above the horizon; -1: no bow
  } cases[] = {{0, 41.6}, {10, 31.6}, {25, 16.6}, {45, -1}};
  double bow = 0;
  for (const Case& c : cases) {
    physical::Settings s;
    s.width = 250, s.height = 321, s.sun_elevation_deg = c.elevation;
    Traced r;
    run(s, 1000000, &r);
    std::vector<float> xyz;
    r.sky.sky_xyz(r.tally, r.rays, &xyz);
    int brightest = 0;
    for (int y = 0; y < 280; ++y)
      if (xyz[3 * (y * 250 + 125) + 1] > xyz[3 * (brightest * 250 + 125) + 1]) brightest = y;
    const double peak = xyz[3 * (brightest * 250 + 125) + 1];
    if (c.top < 0) {
      EXPECT_LT(peak, bow / 3) << c.elevation;
      continue;
    }
    if (c.elevation == 0) bow = peak;
    EXPECT_NEAR((280 - brightest - 0.5) * 60 / 200, c.top, 0.6) << c.elevation;
  }
}

// Sums stop at 2^63 - 1 rather than wrap: sums just below it fill up and
// stay there, traced (in plain adds, checked after a call) or added.
TEST(Rays, SumsStopAtTheTop) {
  const uint64_t full = (uint64_t{1} << 63) - 1;
  for (physical::Method optics : {physical::Method::Rays, physical::Method::Airy}) {
    physical::Settings s;
    s.width = 64, s.height = 48, s.profile = true, s.optics = optics, s.drop_radius_um = 50;
    Traced r;
    run(s, 0, &r);
    for (uint64_t& v : r.tally.rings) v = full - 3;
    for (uint64_t& v : r.tally.profile) v = full - 3;
    r.sky.trace(0, 20000, &r.tally);
    size_t filled = 0;
    for (uint64_t v : r.tally.rings) {
      EXPECT_GE(v, full - 3);
      EXPECT_LE(v, full);
      filled += v == full;
    }
    EXPECT_GT(filled, r.tally.rings.size() / 4);
    physical::Tally twice = r.tally;
    twice.add(r.tally);
    for (uint64_t v : twice.rings) EXPECT_EQ(v, full);
    for (uint64_t v : twice.profile) EXPECT_EQ(v, full);
  }
}

}  // namespace
