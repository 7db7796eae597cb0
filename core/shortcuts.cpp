#include "shortcuts.h"

#include <math.h>

rainbow_acceptance rainbow_acceptance_table[kAcceptanceBands][6];
rainbow_cubic rainbow_arcsine_table[kArcsinePieces];

namespace {

// The last draw whose threshold is at most v; -1 if none is.
int16_t last_draw_at_most(double v, double scale) {
  if (!(v >= 0)) return -1;
  int u = static_cast<int>(fmin(v / scale * 32768.0 + 2, 32767.0));
  while (u >= 0 && rainbow_threshold(u, scale) > v) --u;
  return static_cast<int16_t>(u);
}

// The intensities vary smoothly within a band, so their range over five
// points of it, widened by half again, holds every point between.
void fill_band(int band, int k) {
  double lo1 = HUGE_VAL, hi1 = -HUGE_VAL, lo2 = HUGE_VAL, hi2 = -HUGE_VAL;  // double infinities
  const int first = band << kAcceptanceShift, span = (1 << kAcceptanceShift) - 1;
  for (int s = 0; s <= 4; ++s) {  // the band's first, last and three between
    double i1, i2;
    rainbow_exact::intensities(sqrt((first + span * s / 4) * (1.0 / kQ28One)), k, &i1, &i2);
    lo1 = fmin(lo1, i1), hi1 = fmax(hi1, i1);
    lo2 = fmin(lo2, i2), hi2 = fmax(hi2, i2);
  }
  const double m1 = 0.5 * (hi1 - lo1) + 1e-14 * hi1, m2 = 0.5 * (hi2 - lo2) + 1e-14 * hi2;
  rainbow_acceptance& a = rainbow_acceptance_table[band][k];
  a.primary_sure = last_draw_at_most(lo1 - m1, kPrimaryThreshold);
  a.primary_maybe = last_draw_at_most(hi1 + m1, kPrimaryThreshold);
  a.secondary_sure = last_draw_at_most(lo2 - m2, kSecondaryThreshold);
  a.secondary_maybe = last_draw_at_most(hi2 + m2, kSecondaryThreshold);
  if (band == 0) {  // the centre's intensities are NaN: no draw accepts it
    a.primary_sure = a.secondary_sure = -1;
    a.primary_maybe = a.secondary_maybe = 32767;
  }
}

// Cubic Hermite pieces through the runtime's asin and its slope at each end.
void fill_arcsine() {
  const double h = kArcsineTop / kArcsinePieces;
  for (int j = 0; j < kArcsinePieces; ++j) {
    const double x0 = j * h, x1 = (j + 1) * h;
    const double f0 = asin(x0), f1 = asin(x1);
    const double m0 = h / sqrt(1 - x0 * x0), m1 = h / sqrt(1 - x1 * x1);
    rainbow_arcsine_table[j] = {f0, m0, 3 * (f1 - f0) - 2 * m0 - m1, 2 * (f0 - f1) + m0 + m1};
  }
}

struct Builder {
  Builder() {
    for (int band = 0; band < kAcceptanceBands; ++band)
      for (int k = 0; k < 6; ++k) fill_band(band, k);
    fill_arcsine();
  }
} builder;

}  // namespace
