// Rainbow simulation core: one Monte-Carlo sample step through a water drop,
// the sky layout derived from the client size, and the bow plotting.
#ifndef RAINBOW_CORE_RAINBOW_H
#define RAINBOW_CORE_RAINBOW_H

#include <windows.h>

#include <atomic>

// Current sample: a point in the unit disk and its distance from the centre.
// Written by the sample step, read by the plotting; one thread only.
extern double X, Y, B;

// Sky layout, written by the window thread on each size notification.  Each
// value is an atomic 32-bit int so that a worker thread may sample while the
// window thread resizes (a straddling sample may set one stray pixel).
typedef std::atomic<int> layout_int;
extern layout_int cxClient, cyClient;  // client width and height
extern layout_int xbase, xdiff;        // centre x of the bows; pixels per 60 degrees across
extern layout_int ybase, ydiff;        // horizon line y; pixels per 60 degrees up

// Six colours, red to violet, in COLORREF (0x00BBGGRR) form.
extern const COLORREF rainbow_index[6];

// The 15-bit generator of the Windows C runtime: state starts at 1 in every
// thread, s = s * 214013 + 2531011, result (s >> 16) & 0x7FFF.
int rainbow_rand(void);
void rainbow_srand(unsigned seed);  // restarts this thread's sequence (tests, tools)
unsigned rainbow_rand_state(void);  // where this thread's sequence stands
// The state `draws` draws after `state`, in at most 40 rounds of arithmetic.
unsigned rainbow_rand_skip(unsigned state, unsigned long long draws);

double random_part(void);  // rand() * 2^-15, in [0, 1)
int random_int(int n);     // trunc(n * rand() * 2^-15), in [0, n)

// WM_SIZE: cx from the low word, cy from the high word of lParam.
void rainbow_update_layout(LPARAM lParam);

// Sets the pixel for a ray of colour `index` deviated by `angle` degrees,
// in the direction of the current sample.  Angles beyond 60 degrees are dropped.
void rainbow_plot_pixel(HDC hdc, int index, double angle);

// Light leaving a drop hit at impact parameter b (0 <= b < 1) by a ray of
// colour k: deviations in degrees from the antisolar point and the mean
// (s and p) intensities, primary (one internal reflection) and secondary (two).
struct rainbow_ray {
  double d1, d2;  // primary, secondary deviation
  double i1, i2;  // primary, secondary intensity; NaN at b == 0
};
void rainbow_optics(double b, int k, rainbow_ray* ray);

// One sample step in two halves, without a device context, for callers
// that store pixels elsewhere.  rainbow_sample_point draws the point (X, Y,
// B) and says whether it lies inside the drop; it draws no number while the
// window has no area.  rainbow_sample_rays then draws the colour and the two
// thresholds and gives the pixels the step sets (none, one or two, in
// order; each may still lie off-window).  It returns hits->count.
struct rainbow_hits {
  int count;
  struct {
    int x, y;
    COLORREF color;
  } point[2];
};
bool rainbow_sample_point(void);
int rainbow_sample_rays(rainbow_hits* hits);

// A sample's point is two draws, (ix, iy) = (rand() - 16384, rand() - 16384),
// in units of 2^-14: inside the drop's cross-section when ix * ix + iy * iy
// < 2^28, and then the step draws three more (the colour and the two
// thresholds).  The parallel render splits the sequence by these counts.
const int RAINBOW_POINT_HALF = 16384;
inline bool rainbow_inside_drop(int ix, int iy) {
  return ix * ix + iy * iy < (1 << 28);
}
const int RAINBOW_DRAWS_OUTSIDE = 2;
const int RAINBOW_DRAWS_INSIDE = 5;

// One sample step like rainbow_sample_point and rainbow_sample_rays together,
// drawing from the caller's generator state instead of this thread's and
// leaving X, Y and B alone, so that threads can each walk a stretch of the
// sequence.  Returns the draws it took: 0 while the window has no area,
// else RAINBOW_DRAWS_OUTSIDE or RAINBOW_DRAWS_INSIDE.
int rainbow_sample_on(unsigned* state, rainbow_hits* hits);

// One sample step: draws at most two pixels into hwnd's client area.
void display_current_operation(HWND hwnd);

#endif  // RAINBOW_CORE_RAINBOW_H
