// The wave optics against references computed elsewhere: Wiscombe's published
// test cases, an arbitrary-precision Mie computation (mie_reference.py) and,
// for Airy theory, Mie itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "airy.h"
#include "mie.h"
#include "phase_table.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
double rad(double deg) {
  return deg * kPi / 180;
}

// Rows of data/mie_reference.txt, grouped by sphere.
struct ReferenceRow {
  double theta_deg, perp, par;
};
struct ReferenceSphere {
  double qext = 0, qsca = 0;
  std::vector<ReferenceRow> rows;
};
std::map<std::pair<double, std::pair<double, double>>, ReferenceSphere> read_reference() {
  std::map<std::pair<double, std::pair<double, double>>, ReferenceSphere> spheres;
  std::ifstream in(RAINBOW_WAVE_DATA "/mie_reference.txt");
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    double x, mr, mi, theta, perp, par, qext, qsca;
    if (!(fields >> x >> mr >> mi >> theta >> perp >> par >> qext >> qsca)) continue;
    ReferenceSphere& s = spheres[{x, {mr, mi}}];
    s.qext = qext;
    s.qsca = qsca;
    s.rows.push_back({theta, perp, par});
  }
  return spheres;
}

TEST(Mie, MatchesArbitraryPrecisionReference) {
  const auto spheres = read_reference();
  ASSERT_GE(spheres.size(), 6u) << "data/mie_reference.txt missing or short";
  for (const auto& [key, sphere] : spheres) {
    const double x = key.first;
    const std::complex<double> m(key.second.first, key.second.second);
    std::vector<double> theta, perp(sphere.rows.size()), par(sphere.rows.size());
    for (const ReferenceRow& r : sphere.rows) theta.push_back(rad(r.theta_deg));
    const physical::MieEfficiencies q = physical::mie_intensities(
        x, m, theta.data(), static_cast<int>(theta.size()), perp.data(), par.data());
    EXPECT_NEAR(q.qext, sphere.qext, 1e-9 * sphere.qext) << "x " << x;
    EXPECT_NEAR(q.qsca, sphere.qsca, 1e-9 * sphere.qsca) << "x " << x;
    for (size_t i = 0; i < sphere.rows.size(); ++i) {
      const ReferenceRow& r = sphere.rows[i];
      EXPECT_NEAR(perp[i], r.perp, 1e-6 * r.perp) << "x " << x << " at " << r.theta_deg;
      EXPECT_NEAR(par[i], r.par, 1e-6 * r.par) << "x " << x << " at " << r.theta_deg;
    }
  }
}

// W. J. Wiscombe, "Mie scattering calculations: advances in technique and
// fast, vector-speed computer codes", NCAR/TN-140+STR (1979), test cases 10
// and 11: m = 1.33 - 1e-5 i in his sign convention (1.33 + 1e-5 i here; the
// amplitudes are complex conjugates, the intensities the same).  Seven
// significant figures, so intensities agree to about 1e-6.
struct Published {
  double x, theta_deg;
  std::complex<double> s1, s2;
};
const Published kWiscombe[] = {
    {100, 0, {5.253302e3, -1.243188e2}, {5.253302e3, -1.243188e2}},
    {100, 30, {-5.534573e1, -2.971881e1}, {-8.467204e1, -1.999470e1}},
    {100, 60, {1.710488e1, -1.520096e1}, {3.310764e1, -2.709787e0}},
    {100, 90, {-3.655758e0, 8.769860e0}, {-6.550512e0, -4.675370e0}},
    {100, 120, {2.414318e0, 5.380874e-1}, {6.039011e0, -1.169971e1}},
    {100, 150, {-1.222996e0, 3.283917e1}, {-9.653812e0, 1.474455e1}},
    {100, 180, {-5.659205e1, 4.650974e1}, {5.659205e1, -4.650974e1}},
    {10000, 0, {5.010222e7, -1.535815e5}, {5.010222e7, -1.535815e5}},
    {10000, 30, {3.786814e3, -7.654293e3}, {5.074755e3, -7.515986e3}},
    {10000, 60, {-2.731172e3, 1.326633e3}, {-3.076558e3, -1.775975e2}},
    {10000, 90, {-1.061003e3, -1.930155e2}, {2.430920e2, 8.409836e1}},
};

TEST(Mie, MatchesWiscombesTestCases) {
  for (const Published& p : kWiscombe) {
    const double theta = rad(p.theta_deg);
    double perp, par;
    physical::mie_intensities(p.x, {1.33, 1e-5}, &theta, 1, &perp, &par);
    EXPECT_NEAR(perp, std::norm(p.s1), 2e-6 * std::norm(p.s1)) << p.x << " at " << p.theta_deg;
    EXPECT_NEAR(par, std::norm(p.s2), 2e-6 * std::norm(p.s2)) << p.x << " at " << p.theta_deg;
  }
  // Efficiencies of the same tables (and case 9, x = 1).
  const struct {
    double x, qext, qsca;
  } kQ[] = {{1, 9.395198e-2, 9.392330e-2}, {100, 2.101321, 2.096594}, {10000, 2.004089, 1.723857}};
  for (const auto& c : kQ) {
    const double theta = 0;
    double perp, par;
    const physical::MieEfficiencies q =
        physical::mie_intensities(c.x, {1.33, 1e-5}, &theta, 1, &perp, &par);
    EXPECT_NEAR(q.qext, c.qext, 1e-6 * c.qext) << c.x;
    EXPECT_NEAR(q.qsca, c.qsca, 1e-6 * c.qsca) << c.x;
  }
}

TEST(Mie, RefusesBadArguments) {
  const struct {
    double x;
    std::complex<double> m;
    double theta;
  } kBad[] = {{0, {1.33, 0}, 1},
              {kNaN, {1.33, 0}, 1},
              {1e6, {1.33, 0}, 1},
              {10, {1.33, -1}, 1},
              {10, {1.33, 0}, kNaN}};
  for (const auto& c : kBad) {
    double perp = 7, par = 7;
    const physical::MieEfficiencies q =
        physical::mie_intensities(c.x, c.m, &c.theta, 1, &perp, &par);
    EXPECT_TRUE(std::isnan(q.qext)) << c.x << " " << c.m << " " << c.theta;
    EXPECT_EQ(perp, 0.0);
    EXPECT_EQ(par, 0.0);
  }
  EXPECT_STREQ(physical::mie_problem(10, {1.33, -1}, 1),
               "imaginary part of the refractive index negative");
}

// Ai(x) from mpmath.airyai at 30 digits.
TEST(Airy, FunctionMatchesArbitraryPrecision) {
  const struct {
    double x, ai;
  } kAi[] = {
      {-2000.5, -0.067848121152493682}, {-250.3, 0.1373292552969356}, {-30.2, -0.2394680090831065},
      {-7.5, 0.32177571638064789},      {-6.2, -0.35642107366896142}, {-5.9, -0.28512277955518012},
      {-1.0188, 0.53565665600222112},   {0, 0.35502805388781722},     {0.5, 0.23169360648083348},
      {4.9, 0.00013599211701506743},    {5.2, 6.832855592524807e-5},  {10, 1.1047532552898686e-10},
      {30, 3.2082175915504954e-49}};
  // The dark side's asymptotic series (x > 5) stops near 1e-8.
  for (const auto& c : kAi)
    EXPECT_NEAR(physical::airy_ai(c.x), c.ai, (c.x > 5 ? 2e-8 : 1e-9) * std::fabs(c.ai)) << c.x;
  EXPECT_NEAR(physical::airy_ai(-2.338107), 2.8781883098410335e-7, 1e-15);  // near the first zero
}

// The primary bow and the supernumeraries after it: the largest maximum of a
// tabulated profile in [lo, hi] degrees and the maxima beyond, each refined by
// a parabola through three nodes.
std::vector<double> bows_deg(const physical::PhaseTable& t, int pol, double lo, double hi) {
  auto f = [&](double a) {
    return pol < 2 ? t.intensity(pol, a) : t.intensity(0, a) + t.intensity(1, a);
  };
  std::vector<double> angle, value;
  const double h = t.step();
  for (double a = rad(lo) + h; a < rad(hi) - h; a += h) {
    const double f0 = f(a - h), f1 = f(a), f2 = f(a + h);
    if (f1 > f0 && f1 >= f2) {
      angle.push_back((a + 0.5 * h * (f0 - f2) / (f0 - 2 * f1 + f2)) / rad(1));
      value.push_back(f1);
    }
  }
  const auto primary = std::max_element(value.begin(), value.end()) - value.begin();
  return std::vector<double>(angle.begin() + primary, angle.end());
}

// Where sign times polarisation pol of a table is largest over [from, to]
// degrees (sign -1: where the intensity is least), to 0.001 degrees.
double extreme_deg(const physical::PhaseTable& t, int pol, double from, double to, double sign) {
  double best = from, most = -1e300;
  for (double a = from; a <= to; a += 0.001)
    if (sign * t.intensity(pol, rad(a)) > most) most = sign * t.intensity(pol, rad(a)), best = a;
  return best;
}

// Airy theory's primary bow and first two supernumeraries against Mie's,
// averaged over a narrow spread of radii (nodes at most one unit of size
// parameter apart, which washes out Mie's fine ripple).  Perpendicular and
// unpolarised.
//
// The parallel bow is where Airy theory is poor.  The rainbow ray meets the
// inside of the drop near Brewster's angle, so the parallel Fresnel factor
// changes fast, and sign, across the wavefront; its amplitude gains a term in
// Ai', which grows away from the bow and is brightest at the zeros of Ai:
// Airy theory's dark fringes (Konnen and de Boer, "Polarized rainbow", Appl.
// Opt. 18, 1961, 1979).  Airy theory, one Fresnel factor for the whole
// wavefront, puts the parallel maxima at the perpendicular ones.  Averaged
// Mie keeps the parallel primary there (radii 0.5 and 1 mm: within 0.015
// deg) but puts the supernumeraries from the `dark`-th on in Airy's dark
// fringes, half a fringe (0.12-0.6 deg) from Airy's parallel maxima:
// measured within 0.04 deg (radius 0.25 mm), 0.02 (0.5 mm) and 0.01 (1 mm).
// The 0.25 mm drops have no parallel primary of their own (it merges into
// the first dark fringe's maximum), and the 1 mm drops' first supernumerary
// still sits at Airy's.
TEST(Airy, BowsMatchAveragedMie) {
  const struct {
    double radius_um, spread;
    int nodes, dark;
  } kDrops[] = {{250, 0.004, 61, 0}, {500, 0.002, 61, 1}, {1000, 0.001, 61, 2}};
  const double lo = 137, hi = 142, wavelength = 650, n = 1.3314;
  for (const auto& d : kDrops) {
    physical::PhaseTable airy, mie;
    std::string problem;
    ASSERT_TRUE(airy.build(
        {physical::Optics::Airy, d.radius_um, 0, rad(lo), rad(hi), wavelength, n}, &problem));
    ASSERT_TRUE(mie.build(
        {physical::Optics::Mie, d.radius_um, d.spread, rad(lo), rad(hi), wavelength, n, d.nodes},
        &problem))
        << problem;
    for (int pol : {0, 2}) {
      const std::vector<double> a = bows_deg(airy, pol, lo, hi), m = bows_deg(mie, pol, lo, hi);
      ASSERT_GE(a.size(), 3u);
      ASSERT_GE(m.size(), 3u);
      const double tolerance[] = {0.05, 0.05, 0.15};
      for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(a[k], m[k], tolerance[k])
            << d.radius_um << " um, polarisation " << pol << ", maximum " << k;
    }
    // Airy's maxima a and dark fringes between them, against Mie's parallel.
    const std::vector<double> a = bows_deg(airy, 0, lo, hi);
    ASSERT_GE(a.size(), static_cast<size_t>(d.dark + 4));
    auto dark = [&](int k) { return extreme_deg(airy, 0, a[k], a[k + 1], -1); };
    if (d.dark > 0) {
      EXPECT_NEAR(extreme_deg(mie, 1, lo, dark(0), 1), a[0], 0.05) << d.radius_um;
    }
    for (int k = d.dark; k < d.dark + 3; ++k)
      EXPECT_NEAR(extreme_deg(mie, 1, a[k], a[k + 1], 1), dark(k), 0.05)
          << d.radius_um << " um, parallel, between maxima " << k << " and " << k + 1;
  }
}

// The table's weight is the scattering cross-section over its angles:
// over all of them, Qsca pi a^2 for unpolarised light.
TEST(PhaseTable, WeightsAreCrossSections) {
  for (double radius : {2.0, 8.0}) {
    physical::PhaseTable t;
    std::string problem;
    ASSERT_TRUE(t.build({physical::Optics::Mie, radius, 0, 0, kPi, 550, 1.333}, &problem));
    const double theta = 0;
    double perp, par;
    const double x = 2 * kPi * radius / 0.55;
    const double qsca = physical::mie_intensities(x, 1.333, &theta, 1, &perp, &par).qsca;
    EXPECT_NEAR(0.5 * (t.weight(0) + t.weight(1)), qsca * kPi * radius * radius,
                1e-4 * qsca * kPi * radius * radius)
        << radius;
  }
}

// Drawn angles follow intensity times solid angle: the share of evenly
// spaced u below each angle against the test's own Simpson integral.
TEST(PhaseTable, DrawsFollowThePhaseFunction) {
  const struct {
    physical::Optics optics;
    double radius_um, spread;
  } kCases[] = {{physical::Optics::Mie, 5, 0.1},
                {physical::Optics::Mie, 200, 0},
                {physical::Optics::Airy, 300, 0.05}};
  for (const auto& c : kCases) {
    physical::PhaseTable t;
    std::string problem;
    ASSERT_TRUE(
        t.build({c.optics, c.radius_um, c.spread, rad(120), rad(180), 600, 1.332}, &problem))
        << problem;
    const int draws = 20000;
    std::vector<double> angle(draws);
    for (int i = 0; i < draws; ++i) angle[static_cast<size_t>(i)] = t.draw(0, (i + 0.5) / draws);
    EXPECT_TRUE(std::is_sorted(angle.begin(), angle.end()));
    // Simpson on a fine grid of the interpolated table.
    const int steps = 60000;
    const double h = rad(60) / steps;
    std::vector<double> cumulative(steps + 1, 0.0);
    for (int i = 0; i < steps; ++i) {
      const double a = rad(120) + i * h;
      auto f = [&](double b) { return t.intensity(0, b) * std::sin(b); };
      cumulative[static_cast<size_t>(i) + 1] =
          cumulative[static_cast<size_t>(i)] + h / 6 * (f(a) + 4 * f(a + h / 2) + f(a + h));
    }
    EXPECT_NEAR(2 * kPi * cumulative.back(), t.weight(0), 1e-4 * t.weight(0));
    for (double deg : {125.0, 130.0, 137.0, 138.5, 142.0, 160.0, 175.0}) {
      const double share =
          cumulative[static_cast<size_t>((rad(deg) - rad(120)) / h)] / cumulative.back();
      const double drawn =
          static_cast<double>(std::lower_bound(angle.begin(), angle.end(), rad(deg)) -
                              angle.begin()) /
          draws;
      EXPECT_NEAR(drawn, share, 2e-4) << c.radius_um << " um at " << deg;
    }
  }
}

// Tables built on several threads at once equal the one built alone.
TEST(PhaseTable, SameOnAnyThread) {
  const physical::PhaseTableRequest request = {
      physical::Optics::Mie, 40, 0.05, rad(125), rad(180), 450, 1.34};
  physical::PhaseTable alone;
  std::string problem;
  ASSERT_TRUE(alone.build(request, &problem));
  physical::PhaseTable tables[3];
  std::vector<std::thread> threads;
  for (auto& t : tables) threads.emplace_back([&t, &request] { t.build(request, nullptr); });
  for (auto& th : threads) th.join();
  for (const auto& t : tables) {
    ASSERT_EQ(t.size(), alone.size());
    for (int pol = 0; pol < 2; ++pol) {
      EXPECT_EQ(t.weight(pol), alone.weight(pol));
      for (double u : {0.001, 0.3, 0.77, 0.999}) EXPECT_EQ(t.draw(pol, u), alone.draw(pol, u));
    }
  }
}

TEST(PhaseTable, RefusesBadSpecs) {
  using physical::Optics;
  const struct {
    physical::PhaseTableRequest request;
    const char* problem;
  } kBad[] = {
      {{Optics::Mie, 0, 0, 2, 3, 550, 1.33}, "drop radius not in (0, 10000] um"},
      {{Optics::Mie, 10, -1, 2, 3, 550, 1.33}, "radius spread not in [0, 1]"},
      {{Optics::Airy, 10, 0, 2, 3, 0, 1.33}, "wavelength not in [100, 10000] nm"},
      {{Optics::Airy, 10, 0, 2, 3, 550, 2.5}, "refractive index not between 1 and 2"},
      {{Optics::Mie, 10, 0, 2, 4, 550, 1.33}, "scattering angles not 0 <= lo < hi <= pi"},
      {{Optics::Mie, 10, 0.1, 2, 3, 550, 1.33, -3}, "number of radii not in [0, 1001]"},
      {{Optics::Mie, 10, 0, 0, 3, 550, 1.33, 0, 1e-9},
       "angular step too fine for the range (over 4 million angles)"},
      {{Optics::Mie, 9000, 0, 2, 3, 200, 1.33},
       "drops too large for Mie theory at this wavelength"},
  };
  for (const auto& c : kBad) {
    physical::PhaseTable t;
    std::string problem;
    EXPECT_FALSE(t.build(c.request, &problem));
    EXPECT_EQ(problem, c.problem);
    EXPECT_EQ(t.weight(0), 0.0);
    EXPECT_EQ(t.draw(0, 0.5), 0.0);
  }
}

}  // namespace
