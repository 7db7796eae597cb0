// The step's tables may only ever save work: the acceptance bounds and the
// arcsines hold for every point the generator can draw, and the step sets
// the pixels the exact optics give.  A sample of the points by default;
// RAINBOW_EXHAUSTIVE=1 tries them all (a few minutes).
#include <gtest/gtest.h>
#include <math.h>
#include <stdlib.h>

#include <algorithm>
#include <tuple>
#include <vector>

#include "rainbow.h"
#include "shortcuts.h"

namespace {

bool exhaustive() {
  return getenv("RAINBOW_EXHAUSTIVE") != nullptr;
}

// One eighth of the drop (0 <= y <= x) holds every distance from the centre.
TEST(Shortcuts, TablesHoldForEveryPoint) {
  const int x_step = exhaustive() ? 1 : 89, y_step = exhaustive() ? 1 : 5;
  long tried = 0;
  for (int x = 0; x <= 16384; x += x_step)
    for (int y = 0; y <= x && x * x + y * y < kQ28One; y += y_step) {
      const int q28 = x * x + y * y;
      const double b = sqrt(q28 * (1.0 / kQ28One));
      ASSERT_NEAR(rainbow_table_incidence(q28, b), asin(b), kArcsineError) << "q28 " << q28;
      for (int k = 0; k < 6; ++k, ++tried) {
        ASSERT_NEAR(rainbow_table_refraction(b, k), asin(b / (1.33 + 0.01 * k)), kArcsineError)
            << "q28 " << q28 << " k " << k;
        rainbow_ray ray;
        rainbow_optics(b, k, &ray);
        const rainbow_acceptance& a = rainbow_acceptance_for(q28, k);
        const auto accepts = [](double intensity, int u, double scale) {
          return intensity >= rainbow_threshold(u, scale);
        };
        // Thresholds grow with the draw, so the draws at the edges decide.
        const bool held[] = {
            a.primary_sure < 0 || accepts(ray.i1, a.primary_sure, kPrimaryThreshold),
            a.primary_maybe == 32767 || !accepts(ray.i1, a.primary_maybe + 1, kPrimaryThreshold),
            a.secondary_sure < 0 || accepts(ray.i2, a.secondary_sure, kSecondaryThreshold),
            a.secondary_maybe == 32767 ||
                !accepts(ray.i2, a.secondary_maybe + 1, kSecondaryThreshold)};
        for (const bool h : held) ASSERT_TRUE(h) << "x " << x << " y " << y << " k " << k;
      }
    }
  EXPECT_GT(tried, 1000000);
}

typedef std::vector<std::tuple<int, int, COLORREF>> Hits;

// The step worked out the plain way: every draw, the exact optics, and each
// seen ray's pixel from its exact deviation.
void exact_step(Hits* out) {
  const double x = 2 * random_part() - 1, y = 2 * random_part() - 1, b = sqrt(x * x + y * y);
  if (b >= 1) return;
  const int k = random_int(6);
  const double t1 = random_part() * kPrimaryThreshold, t2 = random_part() * kSecondaryThreshold;
  rainbow_ray ray;
  rainbow_optics(b, k, &ray);
  for (const double angle : {ray.i1 >= t1 ? ray.d1 : 99.0, ray.i2 >= t2 ? ray.d2 : 99.0}) {
    if (fabs(angle) > 60) continue;
    const double a = fabs(angle) / 60;
    const double fx = static_cast<unsigned>(xbase) + static_cast<unsigned>(xdiff) * a * (x / b);
    const double fy = static_cast<unsigned>(ybase) - static_cast<unsigned>(ydiff) * a * fabs(y / b);
    if (fx > -2147483649.0 && fx < 2147483648.0 && fy > -2147483649.0 && fy < 2147483648.0)
      out->emplace_back(static_cast<int>(fx), static_cast<int>(fy), rainbow_index[k]);
  }
}

TEST(Shortcuts, StepSetsThePixelsOfTheExactOptics) {
  const int samples = exhaustive() ? 20000000 : 400000;
  const int sizes[][2] = {{640, 480}, {1600, 1200}, {1920, 1080}, {49, 300},     {48, 300},
                          {1, 1},     {3, 65535},   {65535, 2},   {65535, 65535}};
  for (const auto& size : sizes) {
    rainbow_update_layout(MAKELPARAM(size[0], size[1]));
    Hits step, exact;
    rainbow_srand(7);
    for (int i = 0; i < samples; ++i) {
      rainbow_hits hits;
      for (int j = 0, n = rainbow_sample_point() ? rainbow_sample_rays(&hits) : 0; j < n; ++j)
        step.emplace_back(hits.point[j].x, hits.point[j].y, hits.point[j].color);
    }
    rainbow_srand(7);
    for (int i = 0; i < samples; ++i) exact_step(&exact);
    ASSERT_EQ(step.size(), exact.size()) << size[0] << " x " << size[1];
    const auto differ = std::mismatch(step.begin(), step.end(), exact.begin());
    EXPECT_TRUE(differ.first == step.end())
        << size[0] << " x " << size[1] << ": hit " << differ.first - step.begin();
  }
}

}  // namespace
