// The wave optics against references computed elsewhere: Wiscombe's published
// test cases, an arbitrary-precision Mie computation (mie_reference.py) and,
// for Airy theory, Mie itself.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "mie.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
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
  } kBad[] = {{0, {1.33, 0}, 1},   {-5, {1.33, 0}, 1},  {NAN, {1.33, 0}, 1}, {1e6, {1.33, 0}, 1},
              {10, {-1.33, 0}, 1}, {10, {1.33, -1}, 1}, {10, {NAN, 0}, 1},   {10, {1.33, 0}, NAN}};
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

}  // namespace
