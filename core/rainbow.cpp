#include "rainbow.h"

#include <math.h>
#include <stdint.h>

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

const double kRandomScale = 0.000030517578125;        // 2^-15
const double kDegreesPerRadian = 57.295827908797776;  // 180 / 3.14159, as the bows were tuned
const double kSecondaryOffset = 180.0;
const double kPrimaryThreshold = 0.04;
const double kSecondaryThreshold = 0.02;
const double kSkyDegrees = 60.0;

// Per thread, like the C runtime's: a new thread starts its own sequence at 1.
thread_local uint32_t t_rand_state = 1;

double square(double v) {
  return v * v;
}

// Truncates toward zero; false where the value has no int (NaN, huge), which
// the device context would have clipped anyway.
bool to_pixel(double v, int* out) {
  if (!(v > -2147483649.0 && v < 2147483648.0)) return false;
  *out = static_cast<int>(v);
  return true;
}

}  // namespace

int rainbow_rand(void) {
  t_rand_state = t_rand_state * 214013u + 2531011u;
  return static_cast<int>((t_rand_state >> 16) & 0x7FFF);
}

void rainbow_srand(unsigned seed) {
  t_rand_state = seed;
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
inline bool plot_point(double angle, int* x, int* y) {
  if (fabs(angle) > kSkyDegrees) return false;
  const double a = fabs(angle) / kSkyDegrees;
  // The layout is read as unsigned: a window 48 pixels wide or less has a
  // negative xdiff that reads back huge, so its points land off-window.
  const double fx = static_cast<unsigned>(xbase.load(std::memory_order_relaxed)) +
                    static_cast<unsigned>(xdiff.load(std::memory_order_relaxed)) * a * (X / B);
  const double fy = static_cast<unsigned>(ybase.load(std::memory_order_relaxed)) -
                    static_cast<unsigned>(ydiff.load(std::memory_order_relaxed)) * a * fabs(Y / B);
  return to_pixel(fx, x) && to_pixel(fy, y);
}

void rainbow_plot_pixel(HDC hdc, int index, double angle) {
  int x, y;
  if (plot_point(angle, &x, &y)) SetPixel(hdc, x, y, rainbow_index[index]);
}

namespace {

inline double refractive_index(int k) {
  return 1.33 + 0.01 * k;  // red to violet
}

// Fresnel reflectance per polarisation, from sin i = b and sin r = b / n
// with square roots alone (the sines and tangents of i - r and i + r by
// their sum formulas).  The values differ from the trigonometric form in
// the last bits only, and a test checks that no acceptance test can come
// out differently for any point and threshold the generator can draw.  At
// b == 0 they are 0/0 (NaN) and every comparison with them is false, so the
// centre ray draws nothing.
inline void intensities(double b, int k, double* i1, double* i2) {
  const double sin_i = b, cos_i = sqrt(1 - b * b);
  const double sin_r = b / refractive_index(k), cos_r = sqrt(1 - sin_r * sin_r);
  const double sin_diff = sin_i * cos_r - cos_i * sin_r;  // sin(i - r)
  const double sin_sum = sin_i * cos_r + cos_i * sin_r;   // sin(i + r)
  const double cos_diff = cos_i * cos_r + sin_i * sin_r;  // cos(i - r)
  const double cos_sum = cos_i * cos_r - sin_i * sin_r;   // cos(i + r)
  // tan(i - r) / tan(i + r) is sin(i - r) / sin(i + r) times cos(i + r) / cos(i - r).
  const double ratio = sin_diff / sin_sum;
  const double rs = square(ratio);
  const double rp = square(ratio * (cos_sum / cos_diff));
  const double ts = 1 - rs;
  const double tp = 1 - rp;
  *i1 = 0.5 * (rs * ts * ts + rp * tp * tp);
  *i2 = 0.5 * (rs * rs * ts * ts + rp * rp * tp * tp);
}

// Deviations in degrees from the antisolar point, primary and secondary.
inline void deviations(double b, int k, double* d1, double* d2) {
  const double i = asin(b);                        // incidence
  const double r = asin(b / refractive_index(k));  // refraction
  *d1 = (4 * r - 2 * i) * kDegreesPerRadian;
  *d2 = (6 * r - 2 * i) * kDegreesPerRadian - kSecondaryOffset;
}

}  // namespace

void rainbow_optics(double b, int k, rainbow_ray* ray) {
  deviations(b, k, &ray->d1, &ray->d2);
  intensities(b, k, &ray->i1, &ray->i2);
}

bool rainbow_sample_point(void) {
  if (cxClient.load(std::memory_order_relaxed) == 0 ||
      cyClient.load(std::memory_order_relaxed) == 0)
    return false;
  X = 2 * random_part() - 1;
  Y = 2 * random_part() - 1;
  // X and Y are multiples of 2^-14, so q is exact and q >= 1 exactly when
  // its (correctly rounded) square root is.
  const double q = X * X + Y * Y;
  B = sqrt(q);
  return q < 1;  // outside the drop's cross-section otherwise
}

int rainbow_sample_rays(rainbow_hits* hits) {
  hits->count = 0;
  const int k = random_int(6);
  // Both thresholds are drawn whatever the first test gives.  The tests
  // need only the intensities; the arcsines of the deviations are worked
  // out only for a ray that is seen, with the same values as always.
  const double t1 = random_part() * kPrimaryThreshold;
  const double t2 = random_part() * kSecondaryThreshold;
  double i1, i2;
  intensities(B, k, &i1, &i2);
  const bool primary = i1 >= t1, secondary = i2 >= t2;
  if (!primary && !secondary) return 0;

  double d1, d2;
  deviations(B, k, &d1, &d2);
  const COLORREF color = rainbow_index[k];
  int x, y;
  if (primary && plot_point(d1, &x, &y)) hits->point[hits->count++] = {x, y, color};
  if (secondary && plot_point(d2, &x, &y)) hits->point[hits->count++] = {x, y, color};
  return hits->count;
}

void display_current_operation(HWND hwnd) {
  if (!rainbow_sample_point()) return;
  // Taken before the optics, whose arithmetic then hides its cost.
  HDC hdc = GetDC(hwnd);
  rainbow_hits hits;
  const int count = rainbow_sample_rays(&hits);
  for (int j = 0; j < count; ++j)
    SetPixel(hdc, hits.point[j].x, hits.point[j].y, hits.point[j].color);
  ReleaseDC(hwnd, hdc);
}
