// The step's tables may only ever save work: the acceptance bounds and the
// arcsines hold for every point the generator can draw, and the step sets
// the pixels the exact optics give.  A sample of the points by default;
// RAINBOW_EXHAUSTIVE=1 tries them all (a few minutes).
#include <gtest/gtest.h>
#include <math.h>
#include <stdlib.h>

#include <vector>

#include "rainbow.h"
#include "shortcuts.h"

namespace {

bool exhaustive() {
  return getenv("RAINBOW_EXHAUSTIVE") != nullptr;
}

double refractive_index(int k) {
  return 1.33 + 0.01 * k;
}

// Calls check(x, y, q28) for the points of one eighth of the drop, which
// holds every distance from the centre the generator can draw.
template <typename Check>
void for_points(int x_step, int y_step, Check check) {
  for (int x = 0; x <= 16384; x += x_step)
    for (int y = 0; y <= x; y += y_step) {
      const int q28 = x * x + y * y;
      if (q28 >= kQ28One || testing::Test::HasFatalFailure()) break;
      check(x, y, q28);
    }
}

TEST(Shortcuts, AcceptanceBoundsHoldForEveryPoint) {
  const int x_step = exhaustive() ? 1 : 89, y_step = exhaustive() ? 1 : 5;
  long tried = 0;
  for_points(x_step, y_step, [&](int x, int y, int q28) {
    for (int k = 0; k < 6; ++k) {
      rainbow_ray ray;
      rainbow_optics(sqrt(q28 * (1.0 / kQ28One)), k, &ray);
      const rainbow_acceptance& a = rainbow_acceptance_for(q28, k);
      struct Bow {
        double intensity, scale;
        int sure, maybe;
      };
      for (const Bow& bow :
           {Bow{ray.i1, kPrimaryThreshold, a.primary_sure, a.primary_maybe},
            Bow{ray.i2, kSecondaryThreshold, a.secondary_sure, a.secondary_maybe}}) {
        // Thresholds grow with the draw, so the two draws at the edges decide.
        if (bow.sure >= 0) {
          ASSERT_TRUE(bow.intensity >= rainbow_threshold(bow.sure, bow.scale))
              << "x " << x << " y " << y << " k " << k << " draw " << bow.sure;
        }
        if (bow.maybe < 32767) {
          ASSERT_FALSE(bow.intensity >= rainbow_threshold(bow.maybe + 1, bow.scale))
              << "x " << x << " y " << y << " k " << k << " draw " << bow.maybe + 1;
        }
      }
      ++tried;
    }
  });
  EXPECT_GT(tried, 1000000);
}

TEST(Shortcuts, ArcsinesStayWithinTheirError) {
  const int step = exhaustive() ? 1 : 997;
  for (int q28 = 0; q28 < kQ28One; q28 += step) {
    const double b = sqrt(q28 * (1.0 / kQ28One));
    ASSERT_NEAR(rainbow_table_incidence(q28, b), asin(b), kArcsineError) << "q28 " << q28;
    for (int k = 0; k < 6; ++k)
      ASSERT_NEAR(rainbow_table_refraction(b, k), asin(b / refractive_index(k)), kArcsineError)
          << "q28 " << q28 << " k " << k;
  }
}

// The step worked out the plain way: every draw, the exact optics, and
// each ray's pixel from its exact deviation.
struct Hit {
  int x, y;
  COLORREF color;
  bool operator==(const Hit& o) const { return x == o.x && y == o.y && color == o.color; }
};

void exact_step(std::vector<Hit>* out) {
  const double x = 2 * random_part() - 1, y = 2 * random_part() - 1, b = sqrt(x * x + y * y);
  if (b >= 1) return;
  const int k = random_int(6);
  const double t1 = random_part() * kPrimaryThreshold, t2 = random_part() * kSecondaryThreshold;
  rainbow_ray ray;
  rainbow_optics(b, k, &ray);
  const double unseen = nan("");
  for (const double angle : {ray.i1 >= t1 ? ray.d1 : unseen, ray.i2 >= t2 ? ray.d2 : unseen}) {
    if (!(fabs(angle) <= 60)) continue;
    const double a = fabs(angle) / 60;
    const double fx =
        static_cast<unsigned>(xbase.load()) + static_cast<unsigned>(xdiff.load()) * a * (x / b);
    const double fy =
        static_cast<unsigned>(ybase.load()) - static_cast<unsigned>(ydiff.load()) * a * fabs(y / b);
    if (fx > -2147483649.0 && fx < 2147483648.0 && fy > -2147483649.0 && fy < 2147483648.0)
      out->push_back({static_cast<int>(fx), static_cast<int>(fy), rainbow_index[k]});
  }
}

TEST(Shortcuts, StepSetsThePixelsOfTheExactOptics) {
  const int samples = exhaustive() ? 20000000 : 400000;
  const int sizes[][2] = {{640, 480}, {1600, 1200}, {1920, 1080}, {49, 300},     {48, 300},
                          {1, 1},     {3, 65535},   {65535, 2},   {65535, 65535}};
  for (const auto& size : sizes) {
    SCOPED_TRACE(testing::Message() << size[0] << " x " << size[1]);
    rainbow_update_layout(MAKELPARAM(size[0], size[1]));
    std::vector<Hit> step, exact;
    rainbow_srand(7);
    for (int i = 0; i < samples; ++i) {
      rainbow_hits hits;
      if (!rainbow_sample_point()) continue;
      rainbow_sample_rays(&hits);
      for (int j = 0; j < hits.count; ++j)
        step.push_back({hits.point[j].x, hits.point[j].y, hits.point[j].color});
    }
    rainbow_srand(7);
    for (int i = 0; i < samples; ++i) exact_step(&exact);
    ASSERT_EQ(step.size(), exact.size());
    for (size_t i = 0; i < step.size(); ++i) ASSERT_TRUE(step[i] == exact[i]) << "hit " << i;
  }
}

}  // namespace
