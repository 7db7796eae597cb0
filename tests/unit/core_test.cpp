// The simulation core: the generator and its helpers, the sky layout, the
// optics of one ray, the plotting and the sample step, observed through a
// real window's pixels and the generator's sequence.
#include <gtest/gtest.h>
#include <rainbow_platform.h>

#include <thread>
#include <vector>

#include "bow_scan.h"
#include "rainbow.h"
#include "support.h"

namespace {

const char kClass[] = "core_test";

LRESULT CALLBACK PlainProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

// A window of the given client size with the core's layout set to match.
HWND sized_window(int width, int height) {
  rt::register_class(kClass, PlainProc, CS_HREDRAW | CS_VREDRAW, BLACK_BRUSH);
  HWND hwnd = rt::create_window(kClass, width, height);
  rainbow_update_layout(MAKELPARAM(width, height));
  return hwnd;
}

// The next `n` draws of the sequence that starts at `state`.
std::vector<int> draws_from(unsigned state, int n) {
  rainbow_srand(state);
  std::vector<int> v;
  for (int i = 0; i < n; ++i) v.push_back(rainbow_rand());
  return v;
}

// How many draws one step took: the draw after it is found in the sequence.
int draws_taken_by_step(HWND hwnd, unsigned state) {
  const std::vector<int> sequence = draws_from(state, 8);
  rainbow_srand(state);
  display_current_operation(hwnd);
  const int next = rainbow_rand();
  for (int i = 0; i < 8; ++i)
    if (sequence[i] == next) return i;
  return -1;
}

// ---- Generator ----

TEST(Generator, ReplaysTheRuntimeSequenceFromOne) {
  rainbow_srand(1);
  const int expected[] = {41,    18467, 6334,  26500, 19169, 15724,
                          11478, 29358, 26962, 24464, 5705,  28145};
  for (int e : expected) EXPECT_EQ(rainbow_rand(), e);
  rainbow_srand(12345);
  for (int e : {7584, 19164, 25795}) EXPECT_EQ(rainbow_rand(), e);
}

DWORD WINAPI FirstFiveDraws(LPVOID out) {
  auto* v = static_cast<std::vector<int>*>(out);
  for (int i = 0; i < 5; ++i) v->push_back(rainbow_rand());
  return 0;
}

TEST(Generator, EveryThreadStartsItsOwnSequenceAtOne) {
  rainbow_srand(1);
  for (int i = 0; i < 10; ++i) rainbow_rand();
  const std::vector<int> fresh = {41, 18467, 6334, 26500, 19169};

  std::vector<int> from_create_thread;
  HANDLE t = CreateThread(nullptr, 0, FirstFiveDraws, &from_create_thread, 0, nullptr);
  ASSERT_NE(t, nullptr);
  ASSERT_EQ(WaitForSingleObject(t, INFINITE), WAIT_OBJECT_0);
  CloseHandle(t);
  std::vector<int> from_std_thread;
  std::thread([&] { FirstFiveDraws(&from_std_thread); }).join();

  EXPECT_EQ(from_create_thread, fresh);
  EXPECT_EQ(from_std_thread, fresh);
  EXPECT_EQ(rainbow_rand(), 5705) << "the main thread's sequence went on undisturbed";
}

TEST(Generator, HelpersScaleOneDrawTruncatingTowardZero) {
  struct Case {
    int draw, n, index;
  };
  const Case cases[] = {
      {0, 6, 0},     {5461, 6, 0},  {5462, 6, 1},  {16383, 2, 0},
      {16384, 2, 1}, {32767, 6, 5}, {32767, 1, 0}, {27307, 6, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "draw " << c.draw << ", n " << c.n);
    unsigned state;
    ASSERT_TRUE(rt::state_before(c.draw, -1, &state));
    rainbow_srand(state);
    EXPECT_EQ(random_part(), c.draw / 32768.0);
    rainbow_srand(state);
    EXPECT_EQ(random_int(c.n), c.index);
  }
}

// ---- Sky layout ----

TEST(Layout, SizeNotificationSetsAllSixValues) {
  struct Case {
    LPARAM lparam;
    int cx, cy, xbase, xdiff, ybase, ydiff;
  };
  const Case cases[] = {
      {MAKELPARAM(640, 480), 640, 480, 320, 295, 420, 300},
      {MAKELPARAM(101, 9), 101, 9, 50, 25, 7, 5},
      {MAKELPARAM(0, 0), 0, 0, 0, -25, 0, 0},  // minimised
      {MAKELPARAM(49, 8), 49, 8, 24, 0, 7, 5},
      {MAKELPARAM(48, 8), 48, 8, 24, -1, 7, 5},
      {MAKELPARAM(1, 1), 1, 1, 0, -24, 0, 0},
      {MAKELPARAM(65535, 65535), 65535, 65535, 32767, 32742, 57343, 40959},
      // Bits above the two words are not part of the size.
      {static_cast<LPARAM>(0x7F00000000LL) | MAKELPARAM(320, 240), 320, 240, 160, 135, 210, 150},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.cx << "x" << c.cy);
    rainbow_update_layout(c.lparam);
    EXPECT_EQ(cxClient, c.cx);
    EXPECT_EQ(cyClient, c.cy);
    EXPECT_EQ(xbase, c.xbase);
    EXPECT_EQ(xdiff, c.xdiff);
    EXPECT_EQ(ybase, c.ybase);
    EXPECT_EQ(ydiff, c.ydiff);
  }
}

// ---- Optics of one ray ----

struct Extremes {
  double max_d1 = -1e9, b_at_max_d1 = 0, min_d2_magnitude = 1e9;
  double i1_at_max_d1 = 0;
};

Extremes scan_impact(int k) {
  Extremes e;
  for (int j = 1; j < 100000; ++j) {
    const double b = j / 100000.0;
    rainbow_ray ray;
    rainbow_optics(b, k, &ray);
    if (ray.d1 > e.max_d1) {
      e.max_d1 = ray.d1;
      e.b_at_max_d1 = b;
      e.i1_at_max_d1 = ray.i1;
    }
    e.min_d2_magnitude = fmin(e.min_d2_magnitude, fabs(ray.d2));
  }
  return e;
}

TEST(Optics, EachColourBendsToItsBowAngles) {
  struct Case {
    int k;
    double max_d1, min_d2;
  };
  // Primary maxima (red outside, violet inside) and secondary minima, which
  // pass 60 degrees for blue and violet.
  const Case cases[] = {{0, 42.5, 50.1}, {1, 41.1, 52.7}, {2, 39.7, 55.2},
                        {3, 38.3, 57.7}, {4, 37.0, 60.1}, {5, 35.7, 62.5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "colour " << c.k);
    const Extremes e = scan_impact(c.k);
    EXPECT_NEAR(e.max_d1, c.max_d1, 0.06);
    EXPECT_NEAR(e.min_d2_magnitude, c.min_d2, 0.06);
    EXPECT_GE(e.i1_at_max_d1, 0.04) << "at the bow angle the primary ray is always seen";
  }
  EXPECT_NEAR(scan_impact(0).b_at_max_d1, 0.862, 0.002);
}

TEST(Optics, DeviationsStayInTheirRanges) {
  for (int k = 0; k < 6; ++k)
    for (int j = 0; j < 1000; ++j) {
      const double b = j / 1000.0;
      rainbow_ray ray;
      rainbow_optics(b, k, &ray);
      ASSERT_GE(ray.d1, 0.0) << "b " << b << " colour " << k;
      ASSERT_LE(ray.d1, 42.52) << "b " << b << " colour " << k;
      ASSERT_LT(ray.d2, -50.0) << "b " << b << " colour " << k;
      ASSERT_GE(ray.d2, -180.0) << "b " << b << " colour " << k;
    }
}

// The Fresnel equations in their trigonometric form: the primary and
// secondary intensities at impact parameter b for colour k.
void trigonometric_intensities(double b, int k, double* i1, double* i2) {
  const double n = 1.33 + 0.01 * k, i = asin(b), r = asin(b / n);
  const double rs = pow(sin(i - r) / sin(i + r), 2), rp = pow(tan(i - r) / tan(i + r), 2);
  *i1 = 0.5 * (rs * pow(1 - rs, 2) + rp * pow(1 - rp, 2));
  *i2 = 0.5 * (rs * rs * pow(1 - rs, 2) + rp * rp * pow(1 - rp, 2));
}

// The intensities come from square roots; they must agree with the Fresnel
// equations in their trigonometric form everywhere in the drop.
TEST(Optics, IntensitiesAgreeWithTheTrigonometricForm) {
  for (int k = 0; k < 6; ++k)
    for (int j = 1; j < 1000; ++j) {
      const double b = j / 1000.0;
      double i1, i2;
      trigonometric_intensities(b, k, &i1, &i2);
      rainbow_ray ray;
      rainbow_optics(b, k, &ray);
      ASSERT_NEAR(ray.i1, i1, 1e-12 * i1) << "b " << b << " colour " << k;
      ASSERT_NEAR(ray.i2, i2, 1e-12 * i2 + 1e-300) << "b " << b << " colour " << k;
    }
}

// Whether some threshold the generator can draw, (u * 2^-15) * scale for u
// in 0..32767, accepts one of the two intensities and not the other.
bool some_threshold_tells_apart(double a, double b, double scale) {
  if (a == b || (std::isnan(a) && std::isnan(b))) return false;
  if (std::isnan(a) || std::isnan(b)) return true;
  const double lo = fmin(a, b), hi = fmax(a, b);
  const long near = static_cast<long>(lo / scale * 32768.0);
  for (long u = near - 2; u <= near + 2; ++u) {
    const double t = (static_cast<double>(u) * 0.000030517578125) * scale;
    if (u >= 0 && u <= 32767 && lo < t && t <= hi) return true;
  }
  return false;
}

// The step's intensities decide exactly what the trigonometric form would,
// for every point of the disk the generator can draw (X and Y multiples of
// 2^-14), every colour and every threshold.  A sample of the points by
// default; RAINBOW_EXHAUSTIVE=1 tries them all (a few minutes).
TEST(Optics, AcceptanceIsThatOfTheTrigonometricForm) {
  const bool all = getenv("RAINBOW_EXHAUSTIVE") != nullptr;
  const int x_step = all ? 1 : 97, y_step = all ? 1 : 7;
  long tried = 0;
  for (int x = 0; x <= 16384; x += x_step)
    for (int y = 0; y <= x; y += y_step) {
      const double q = (static_cast<double>(x) * x + static_cast<double>(y) * y) / 268435456.0;
      if (q >= 1) break;
      const double b = sqrt(q);
      for (int k = 0; k < 6; ++k) {
        double i1, i2;
        trigonometric_intensities(b, k, &i1, &i2);
        rainbow_ray ray;  // the step's own intensities
        rainbow_optics(b, k, &ray);
        ASSERT_FALSE(some_threshold_tells_apart(i1, ray.i1, 0.04))
            << "x " << x << " y " << y << " k " << k;
        ASSERT_FALSE(some_threshold_tells_apart(i2, ray.i2, 0.02))
            << "x " << x << " y " << y << " k " << k;
        ++tried;
      }
    }
  EXPECT_GT(tried, 900000);
}

TEST(Optics, CentreRayHasNoIntensity) {
  rainbow_ray ray;
  rainbow_optics(0.0, 0, &ray);
  EXPECT_EQ(ray.d1, 0.0);
  EXPECT_EQ(ray.d2, -180.0);
  EXPECT_TRUE(std::isnan(ray.i1));
  EXPECT_TRUE(std::isnan(ray.i2));
}

// ---- Plotting ----

TEST(Plot, DeviationAndDirectionPickThePixel) {
  HWND hwnd = sized_window(640, 480);
  ASSERT_NE(hwnd, nullptr);
  struct Case {
    const char* what;
    double x, y, b, angle;
    int k;
    bool drawn;
    int px, py;
  };
  const double d = sqrt(0.5);
  const Case cases[] = {
      {"red at 42 straight up", 0, 0.5, 0.5, 42.0, 0, true, 320, 210},
      {"the lower half folds up", 0, -0.5, 0.5, 42.0, 0, true, 320, 210},
      {"negative deviation", 0, 0.5, 0.5, -42.0, 3, true, 320, 210},
      {"60 to the right", 0.25, 0, 0.25, 60.0, 1, true, 615, 420},
      {"60 to the left", -0.25, 0, 0.25, 60.0, 2, true, 25, 420},
      {"-60 straight up", 0, 0.9, 0.9, -60.0, 4, true, 320, 120},
      {"60.0001 is dropped", 0, 0.5, 0.5, 60.0001, 0, false, 0, 0},
      {"-60.0001 is dropped", 0, 0.5, 0.5, -60.0001, 0, false, 0, 0},
      {"antisolar point", 0.1, 0.1, 0.1 * sqrt(2.0), 0.0, 5, true, 320, 420},
      {"30 up and right", d, d, 1.0, 30.0, 5, true, 424, 313},
      {"30 down and left", -d, -d, 1.0, 30.0, 5, true, 215, 313},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    rt::fill_client(hwnd, BLACK_BRUSH);
    X = c.x;
    Y = c.y;
    B = c.b;
    HDC dc = GetDC(hwnd);
    rainbow_plot_pixel(dc, c.k, c.angle);
    ReleaseDC(hwnd, dc);
    const std::vector<rt::Lit> lit = rt::lit_pixels(rt::read_client(hwnd, 640, 480), 640);
    if (!c.drawn) {
      EXPECT_TRUE(lit.empty());
      continue;
    }
    ASSERT_EQ(lit.size(), 1u);
    EXPECT_EQ(lit[0], (rt::Lit{c.px, c.py, rainbow_index[c.k]}));
  }
}

// A client 48 pixels wide or less reads its negative xdiff back as a huge
// unsigned value: such points have no int and must be dropped, not converted.
TEST(Plot, NarrowWindowsDropPointsNoIntCanHold) {
  struct Case {
    int width;
    double x, b, angle;
    bool drawn;
    int px;
  };
  const Case cases[] = {
      {48, 0.0, 0.5, 30.0, true, 24},    // straight up still lands on xbase
      {48, 0.375, 0.5, 60.0, false, 0},  // right of any int
      {48, -0.5, 0.5, 60.0, false, 0},   // left of any int
      {48, 0.25, 0.5, 30.0, false, 0},   // an int, off the window: clipped
      {48, -0.25, 0.5, 30.0, false, 0}, {1, 0.5, 0.5, 60.0, false, 0},
      {49, 0.5, 0.5, 60.0, true, 24},  // xdiff 0: everything on xbase
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "width " << c.width << ", x/b " << c.x / c.b);
    HWND hwnd = sized_window(c.width, 80);
    ASSERT_NE(hwnd, nullptr);
    X = c.x;
    Y = sqrt(c.b * c.b - c.x * c.x);
    B = c.b;
    HDC dc = GetDC(hwnd);
    rainbow_plot_pixel(dc, 0, c.angle);
    ReleaseDC(hwnd, dc);
    const std::vector<rt::Lit> lit = rt::lit_pixels(rt::read_client(hwnd, c.width, 80), c.width);
    if (!c.drawn) {
      EXPECT_TRUE(lit.empty());
    } else {
      ASSERT_EQ(lit.size(), 1u);
      EXPECT_EQ(lit[0].x, c.px);
    }
    DestroyWindow(hwnd);
  }
}

TEST(Plot, NarrowWindowsOnlyShowRaysAimedStraightUp) {
  // Only a sample with X exactly 0 (one in 32768) is aimed straight up.
  for (int width : {48, 2}) {
    SCOPED_TRACE(testing::Message() << "width " << width);
    HWND hwnd = sized_window(width, 200);
    ASSERT_NE(hwnd, nullptr);
    rainbow_srand(1);
    for (int i = 0; i < 1000000; ++i) display_current_operation(hwnd);
    const std::vector<rt::Lit> lit = rt::lit_pixels(rt::read_client(hwnd, width, 200), width);
    EXPECT_FALSE(lit.empty());
    for (const rt::Lit& p : lit) ASSERT_EQ(p.x, width / 2);
    DestroyWindow(hwnd);
  }
}

// ---- The sample step ----

TEST(Step, WithoutAnAreaDrawsNothingAndDrawsNoNumber) {
  HWND hwnd = sized_window(640, 480);
  ASSERT_NE(hwnd, nullptr);
  const int sizes[][2] = {{0, 0}, {640, 0}, {0, 480}};
  for (const auto& size : sizes) {
    SCOPED_TRACE(testing::Message() << size[0] << "x" << size[1]);
    rainbow_update_layout(MAKELPARAM(size[0], size[1]));
    rainbow_srand(1);
    for (int i = 0; i < 100; ++i) display_current_operation(hwnd);
    EXPECT_EQ(rainbow_rand(), 41);
  }
  EXPECT_TRUE(rt::lit_pixels(rt::read_client(hwnd, 640, 480), 640).empty());
}

// The two draws give X = 2 * draw / 32768 - 1 and likewise Y.
struct Sample {
  const char* what;
  int x_draw, y_draw;
  int draws;
};

TEST(Step, RejectedSampleTakesTwoDrawsAndNoDeviceContext) {
  const Sample cases[] = {
      {"the generator's first sample", 41, 18467, 2},
      {"corner", 0, 0, 2},
      {"B exactly 1 at the bottom", 16384, 0, 2},
      {"B exactly 1 at the left", 0, 16384, 2},
      {"just outside", 4096, 27221, 2},
  };
  HWND live = sized_window(640, 480);
  HWND gone = rt::create_window(kClass, 640, 480);
  ASSERT_NE(live, nullptr);
  ASSERT_NE(gone, nullptr);
  DestroyWindow(gone);
  for (const Sample& c : cases) {
    SCOPED_TRACE(c.what);
    unsigned state;
    ASSERT_TRUE(rt::state_before(c.x_draw, c.y_draw, &state));
    EXPECT_EQ(draws_taken_by_step(live, state), c.draws);
    EXPECT_GE(B, 1.0);
    // Any use of the destroyed window's DC would set the last error.
    SetLastError(0);
    rainbow_srand(state);
    display_current_operation(gone);
    EXPECT_EQ(GetLastError(), 0u);
  }
  EXPECT_TRUE(rt::lit_pixels(rt::read_client(live, 640, 480), 640).empty());
}

TEST(Step, SampleInsideTheDropTakesFiveDraws) {
  const Sample cases[] = {
      {"the generator's second sample", 6334, 26500, 5},
      {"centre: B is 0 and nothing is drawn", 16384, 16384, 5},
      {"just inside at the right", 32767, 16384, 5},
      {"just inside", 4096, 27220, 5},
      {"near the bow", 16384, 30384, 5},
  };
  HWND hwnd = sized_window(640, 480);
  ASSERT_NE(hwnd, nullptr);
  for (const Sample& c : cases) {
    SCOPED_TRACE(c.what);
    unsigned state;
    ASSERT_TRUE(rt::state_before(c.x_draw, c.y_draw, &state));
    EXPECT_EQ(draws_taken_by_step(hwnd, state), c.draws);
    EXPECT_LT(B, 1.0);
  }
  rt::fill_client(hwnd, BLACK_BRUSH);
  unsigned centre;
  ASSERT_TRUE(rt::state_before(16384, 16384, &centre));
  rainbow_srand(centre);
  display_current_operation(hwnd);
  EXPECT_EQ(B, 0.0);
  EXPECT_TRUE(rt::lit_pixels(rt::read_client(hwnd, 640, 480), 640).empty());
}

// Many steps on a window large enough to read angles to a tenth of a degree.
TEST(Step, ManyStepsDrawBothBowsWithTheDarkBandBetween) {
  const int w = 1250, h = 960;  // 600 pixels per 60 degrees both ways
  HWND hwnd = sized_window(w, h);
  ASSERT_NE(hwnd, nullptr);
  rainbow_srand(1);
  for (int i = 0; i < 400000; ++i) display_current_operation(hwnd);
  const std::vector<COLORREF> px = rt::read_client(hwnd, w, h);
  ASSERT_FALSE(px.empty());
  const rt::BowScan s = rt::scan_bows(px.data(), w, h);

  const char* why = "";
  EXPECT_TRUE(rt::bows_in_order(s, &why)) << why;
  EXPECT_EQ(s.foreign, 0);
  EXPECT_EQ(s.below_horizon, 0);
  EXPECT_EQ(s.beyond_sky, 0);
  EXPECT_EQ(s.dark_band, 0);
  EXPECT_EQ(s.secondary[4].count, 0) << "blue passes 60 degrees in the secondary bow";
  EXPECT_EQ(s.secondary[5].count, 0) << "violet passes 60 degrees in the secondary bow";
  EXPECT_NEAR(s.primary[0].max_deg, 42.5, 0.2);
  EXPECT_NEAR(s.primary[5].max_deg, 35.7, 0.2);
  const double secondary_min[] = {50.1, 52.7, 55.2, 57.7};
  for (int k = 0; k < 4; ++k) EXPECT_NEAR(s.secondary[k].min_deg, secondary_min[k], 0.2) << k;
}

}  // namespace

namespace {

// ---- A generator of the caller's own ----

// The jump lands where that many draws would, at any distance, including
// across the sequence's 2^32 period.
TEST(Generator, SkipLandsWhereTheDrawsWould) {
  const struct {
    unsigned state;
    unsigned long long draws;
  } cases[] = {{1, 0},
               {1, 1},
               {1, 5},
               {12345, 1000},
               {0xFFFFFFFFu, 65537},
               {7, 1ULL << 32},
               {7, (1ULL << 32) + 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.draws);
    rainbow_srand(c.state);
    const unsigned long long walked = c.draws % (1ULL << 32);  // one period is the identity
    for (unsigned long long i = 0; i < walked; ++i) rainbow_rand();
    EXPECT_EQ(rainbow_rand_skip(c.state, c.draws), rainbow_rand_state());
  }
}

// The caller-state step takes the draws, and sets the pixels, of the
// program's step from the same state, without touching its generator.
TEST(Step, StepOnAStateOfItsOwnIsTheProgramsStep) {
  const int sizes[][2] = {{640, 480}, {40, 300}, {1, 1}};
  for (const auto& size : sizes) {
    SCOPED_TRACE(size[0]);
    HWND hwnd = sized_window(size[0], size[1]);
    ASSERT_NE(hwnd, nullptr);
    rt::fill_client(hwnd, BLACK_BRUSH);
    std::vector<COLORREF> mine(static_cast<size_t>(size[0] * size[1]), 0);
    unsigned own = 1;
    rainbow_srand(1);
    for (int i = 0; i < 20000; ++i) {
      display_current_operation(hwnd);
      const unsigned program = rainbow_rand_state();
      rainbow_hits hits;
      const unsigned before = own;
      const int draws = rainbow_sample_on(&own, &hits);
      ASSERT_EQ(own, program) << "step " << i;
      ASSERT_EQ(rainbow_rand_skip(before, static_cast<unsigned>(draws)), own);
      ASSERT_EQ(rainbow_rand_state(), program) << "the program's generator moved";
      for (int j = 0; j < hits.count; ++j)
        if (hits.point[j].x >= 0 && hits.point[j].x < size[0] && hits.point[j].y >= 0 &&
            hits.point[j].y < size[1])
          mine[static_cast<size_t>(hits.point[j].y * size[0] + hits.point[j].x)] =
              hits.point[j].color;
    }
    EXPECT_EQ(rt::read_client(hwnd, size[0], size[1]), mine);
    DestroyWindow(hwnd);
  }
}

}  // namespace
