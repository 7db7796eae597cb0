#include "rainbow.h"

#include <math.h>
#include <stdint.h>

#include "optics.h"
#include "shortcuts.h"

double X, Y, B;

layout_int cxClient{0}, cyClient{0};
layout_int xbase{0}, xdiff{0}, ybase{0}, ydiff{0};

const COLORREF rainbow_index[6] = {
    0x000000AA,  // red
    0x0000A5FF,  // orange
    0x0055FFFF,  // yellow
    0x0000AA00,  // green
    0x00AA0000,  // blue
    0x00AA00AA,  // violet
};

namespace {

using rainbow_exact::deviations;
using rainbow_exact::intensities;

const double kSkyDegrees = 60.0;

// Per thread, like the C runtime's: a new thread starts its own sequence at 1.
thread_local uint32_t t_rand_state = 1;

// The C runtime's generator: the state steps s -> a * s + c (mod 2^32), and
// a draw is bits 16-30 of the new state.
const uint32_t kRandMultiplier = 214013u, kRandIncrement = 2531011u;

inline int next_rand(uint32_t* state) {
  *state = *state * kRandMultiplier + kRandIncrement;
  return static_cast<int>((*state >> 16) & 0x7FFF);
}

// X * X + Y * Y of the current sample in units of 2^-28; with X, Y and B.
int q28;

// A sample's point as the step works on it: kept in registers, and copied
// to X, Y, B and q28 by the step that owns them.
struct point_of {
  double x, y, b;
  int q28;
};

point_of current_point() {
  return {X, Y, B, q28};
}

// The generators the step can draw from: this thread's (the program's), or
// one the caller keeps, for a walk over some stretch of the sequence.
struct thread_generator {
  int operator()() const { return rainbow_rand(); }
};
struct own_generator {
  uint32_t state;
  int operator()() { return next_rand(&state); }
};

// Truncates toward zero; false where the value has no int (NaN, huge), which
// the device context would have clipped anyway.
bool to_pixel(double v, int* out) {
  if (!(v > -2147483649.0 && v < 2147483648.0)) return false;
  *out = static_cast<int>(v);
  return true;
}

// A layout value as the plotting reads it: as unsigned, so a window 48
// pixels wide or less, whose xdiff is negative, reads back huge and its
// points land off-window.
inline double layout_value(const layout_int& v) {
  return static_cast<unsigned>(v.load(std::memory_order_relaxed));
}

}  // namespace

int rainbow_rand(void) {
  return next_rand(&t_rand_state);
}

void rainbow_srand(unsigned seed) {
  t_rand_state = seed;
}

unsigned rainbow_rand_state(void) {
  return t_rand_state;
}

// n steps of the affine map compose by squaring: (a, c) twice over is
// (a * a, a * c + c).
unsigned rainbow_rand_skip(unsigned state, unsigned long long draws) {
  uint32_t a = kRandMultiplier, c = kRandIncrement, s = state;
  for (; draws != 0; draws >>= 1) {
    if (draws & 1) s = a * s + c;
    c = a * c + c;
    a *= a;
  }
  return s;
}

double random_part(void) {
  return rainbow_rand() * kRandomScale;
}

int random_int(int n) {
  return static_cast<int>(n * rainbow_rand() * kRandomScale);
}

void rainbow_update_layout(LPARAM lParam) {
  const int cx = LOWORD(lParam);
  const int cy = HIWORD(lParam);
  cxClient = cx;
  cyClient = cy;
  xbase = cx / 2;
  xdiff = (cx - 50) / 2;
  ybase = (7 * cy) / 8;
  ydiff = (5 * cy) / 8;
}

// Where a ray of deviation `angle` in the direction of the current sample
// meets the window, as an int pixel; false when it is beyond 60 degrees or
// has no int.  Inlined into the sample step: it runs for most samples.
inline bool plot_point(const point_of& p, double angle, int* x, int* y) {
  if (fabs(angle) > kSkyDegrees) return false;
  const double a = fabs(angle) / kSkyDegrees;
  const double fx = layout_value(xbase) + layout_value(xdiff) * a * (p.x / p.b);
  const double fy = layout_value(ybase) - layout_value(ydiff) * a * fabs(p.y / p.b);
  return to_pixel(fx, x) && to_pixel(fy, y);
}

void rainbow_plot_pixel(HDC hdc, int index, double angle) {
  int x, y;
  if (plot_point(current_point(), angle, &x, &y)) SetPixel(hdc, x, y, rainbow_index[index]);
}

void rainbow_optics(double b, int k, rainbow_ray* ray) {
  deviations(b, k, &ray->d1, &ray->d2);
  intensities(b, k, &ray->i1, &ray->i2);
}

namespace {

// Both halves are inlined into display_current_operation, which runs once
// a sample: the calls and the hits' round trip through memory cost more
// than a tenth of the step.
// False with no number drawn while the window has no area.
inline bool have_area() {
  return cxClient.load(std::memory_order_relaxed) != 0 &&
         cyClient.load(std::memory_order_relaxed) != 0;
}

template <typename Generator>
__attribute__((always_inline)) inline bool sample_point(Generator& rand, point_of* p) {
  // X = 2 * random_part() - 1 = (rand() - 16384) * 2^-14 exactly, so q is
  // an exact multiple of 2^-28, and q >= 1 exactly when its (correctly
  // rounded) square root is.
  const int ix = rand() - RAINBOW_POINT_HALF, iy = rand() - RAINBOW_POINT_HALF;
  p->x = ix * (1.0 / 16384);
  p->y = iy * (1.0 / 16384);
  p->q28 = ix * ix + iy * iy;
  p->b = sqrt(p->q28 * (1.0 / kQ28One));
  return rainbow_inside_drop(ix, iy);
}

// Angles and pixels worked out from the arcsine table are kept only where
// the exact ones are sure to give the same: within kAngleError degrees of
// the exact deviation, every angle must give one pixel.
constexpr double kAngleError = 1e-6;
static_assert(8 * rainbow_exact::kDegreesPerRadian * kArcsineError < kAngleError / 2,
              "a deviation carries up to 8 times an arcsine's error, in degrees");

struct layout_now {
  double xbase, xdiff, ybase, ydiff;
};

enum { kDropped, kPlotted, kUnsure };

// plot_point's pixel for an angle within kAngleError of `angle`, with
// X / B and Y / B given; kUnsure where an angle that close might give
// another pixel or be dropped instead.
inline int table_point(double angle, const layout_now& l, double xb, double yb, int* x, int* y) {
  const double m = fabs(angle);
  if (m > kSkyDegrees + kAngleError) return kDropped;
  if (m >= kSkyDegrees - kAngleError) return kUnsure;
  const double a = m * (1 / kSkyDegrees);
  const double fx = l.xbase + l.xdiff * a * xb, fy = l.ybase - l.ydiff * a * fabs(yb);
  // How far the exact fx and fy can lie: the angle's share, and a little
  // for the roundings of two ways of working them out.
  const double dx = l.xdiff * (kAngleError / 59) + 1e-6, dy = l.ydiff * (kAngleError / 59) + 1e-6;
  if (!(fabs(fx) < 1e7 && fabs(fy) < 1e7)) return kUnsure;  // NaN; an int holds the rest
  *x = static_cast<int>(fx);
  *y = static_cast<int>(fy);
  return static_cast<int>(fx - dx) == *x && static_cast<int>(fx + dx) == *x &&
                 static_cast<int>(fy - dy) == *y && static_cast<int>(fy + dy) == *y
             ? kPlotted
             : kUnsure;
}

// The rays' pixels from the arcsine table; false where one of them is
// unsure and the exact way must decide both.
inline bool table_rays(const point_of& p, int k, bool primary, bool secondary, rainbow_hits* hits) {
  const layout_now l = {layout_value(xbase), layout_value(xdiff), layout_value(ybase),
                        layout_value(ydiff)};
  // A narrow window's huge xdiff would leave the roundings no margin.
  if (!(l.xdiff < 1048576 && l.ydiff < 1048576)) return false;
  const double i = rainbow_table_incidence(p.q28, p.b), r = rainbow_table_refraction(p.b, k);
  double d1, d2;
  rainbow_exact::deviation_angles(i, r, &d1, &d2);
  const double inverse_b = 1 / p.b, xb = p.x * inverse_b, yb = p.y * inverse_b;
  const COLORREF color = rainbow_index[k];
  int x, y;
  const int first = primary ? table_point(d1, l, xb, yb, &x, &y) : kDropped;
  if (first == kUnsure) return false;
  if (first == kPlotted) hits->point[hits->count++] = {x, y, color};
  const int second = secondary ? table_point(d2, l, xb, yb, &x, &y) : kDropped;
  if (second == kUnsure) return false;
  if (second == kPlotted) hits->point[hits->count++] = {x, y, color};
  return true;
}

template <typename Generator>
__attribute__((always_inline)) inline int sample_rays(Generator& rand, const point_of& p,
                                                      rainbow_hits* hits) {
  hits->count = 0;
  // random_int(6) in integers: 6 * rand() * 2^-15 is exact, so truncating
  // it is a shift, and the colour reaches the table lookup sooner.
  const int k = (6 * rand()) >> 15;
  // Both thresholds are drawn whatever the first test gives.
  const int u1 = rand(), u2 = rand();
  const rainbow_acceptance& sure = rainbow_acceptance_for(p.q28, k);
  bool primary, secondary;
  if ((u1 <= sure.primary_sure || u1 > sure.primary_maybe) &&
      (u2 <= sure.secondary_sure || u2 > sure.secondary_maybe)) {
    primary = u1 <= sure.primary_sure;
    secondary = u2 <= sure.secondary_sure;
  } else {
    double i1, i2;
    intensities(p.b, k, &i1, &i2);
    primary = i1 >= rainbow_threshold(u1, kPrimaryThreshold);
    secondary = i2 >= rainbow_threshold(u2, kSecondaryThreshold);
  }
  if (!primary && !secondary) return 0;
  if (table_rays(p, k, primary, secondary, hits)) return hits->count;

  hits->count = 0;
  double d1, d2;
  deviations(p.b, k, &d1, &d2);
  const COLORREF color = rainbow_index[k];
  int x, y;
  if (primary && plot_point(p, d1, &x, &y)) hits->point[hits->count++] = {x, y, color};
  if (secondary && plot_point(p, d2, &x, &y)) hits->point[hits->count++] = {x, y, color};
  return hits->count;
}

// The program's step: this thread's generator, and the point kept in X, Y,
// B and q28.
__attribute__((always_inline)) inline bool program_point(point_of* p) {
  if (!have_area()) return false;
  thread_generator rand;
  const bool inside = sample_point(rand, p);
  X = p->x, Y = p->y, B = p->b, q28 = p->q28;
  return inside;
}

}  // namespace

bool rainbow_sample_point(void) {
  point_of p;
  return program_point(&p);
}

int rainbow_sample_rays(rainbow_hits* hits) {
  thread_generator rand;
  return sample_rays(rand, current_point(), hits);
}

int rainbow_sample_on(unsigned* state, rainbow_hits* hits) {
  hits->count = 0;
  if (!have_area()) return 0;
  own_generator rand = {*state};
  point_of p;
  const bool inside = sample_point(rand, &p);
  if (inside) sample_rays(rand, p, hits);
  *state = rand.state;
  return inside ? RAINBOW_DRAWS_INSIDE : RAINBOW_DRAWS_OUTSIDE;
}

void display_current_operation(HWND hwnd) {
  point_of p;
  if (!program_point(&p)) return;
  // Taken before the optics, whose arithmetic then hides its cost.
  HDC hdc = GetDC(hwnd);
  rainbow_hits hits;
  thread_generator rand;
  const int count = sample_rays(rand, p, &hits);
  for (int j = 0; j < count; ++j)
    SetPixel(hdc, hits.point[j].x, hits.point[j].y, hits.point[j].color);
  ReleaseDC(hwnd, hdc);
}
