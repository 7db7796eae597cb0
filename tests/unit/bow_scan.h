// Measures a picture of the bows: every lit pixel is given the deviation
// (degrees from the antisolar point) that the sky layout of its client size
// maps to it, and each palette colour's range is kept per bow.  Used on
// in-process pictures and on screenshots of the running program.
#ifndef RAINBOW_TESTS_UNIT_BOW_SCAN_H
#define RAINBOW_TESTS_UNIT_BOW_SCAN_H

#include <windows.h>

#include <math.h>
#include <stdlib.h>

namespace rt {

// Where the bows must and must not be: the primary reaches out to 42.52
// degrees (red), the secondary comes in to 50.10 (red); a pixel is half a
// pixel from its ray at most, a fraction of a degree on any usable window.
const double kBowSplit = 46.0;      // between the two bows
const double kDarkBandFrom = 42.9;  // no pixel from here ...
const double kDarkBandTo = 49.7;    // ... to here
const double kSkyEdge = 60.3;       // nothing beyond the 60-degree sky

struct ColourSpan {
  int count = 0;
  double min_deg = 1e9, max_deg = -1e9;
};

struct BowScan {
  int width = 0, height = 0;
  int xbase = 0, ybase = 0;
  ColourSpan primary[6], secondary[6];  // by palette index, red to violet
  int lit = 0;
  int dark_band = 0;      // lit pixels in the band between the bows
  int below_horizon = 0;  // lit pixels under the antisolar point's row
  int beyond_sky = 0;     // lit pixels past the 60-degree edge
  int foreign = 0;        // lit pixels of no palette colour
};

// The palette, as the description of the programs gives it.
const COLORREF kPalette[6] = {RGB(170, 0, 0), RGB(255, 165, 0), RGB(255, 255, 85),
                              RGB(0, 170, 0), RGB(0, 0, 170),   RGB(170, 0, 170)};

// Deviation of pixel (x, y) of a width x height client; a ray's point is
// truncated toward zero into its pixel, so it lies in [x, x+1) x [y, y+1).
inline double pixel_deviation(int x, int y, int width, int height) {
  const double xbase = width / 2, xdiff = (width - 50) / 2;
  const double ybase = (7 * height) / 8, ydiff = (5 * height) / 8;
  const double dx = (x + 0.5 - xbase) / xdiff, dy = (ybase - (y + 0.5)) / ydiff;
  return 60.0 * sqrt(dx * dx + dy * dy);
}

// Scans `px` (rows top to bottom, COLORREF); only the columns at most
// `half_band` from the bows' centre when `half_band` >= 0.
inline BowScan scan_bows(const COLORREF* px, int width, int height, int half_band = -1) {
  BowScan s;
  s.width = width;
  s.height = height;
  s.xbase = width / 2;
  s.ybase = (7 * height) / 8;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      if (half_band >= 0 && abs(x - s.xbase) > half_band) continue;
      const COLORREF c = px[y * width + x];
      if (c == 0) continue;
      ++s.lit;
      if (y > s.ybase) ++s.below_horizon;
      const double d = pixel_deviation(x, y, width, height);
      if (d > kDarkBandFrom && d < kDarkBandTo) ++s.dark_band;
      if (d > kSkyEdge) ++s.beyond_sky;
      int k = 0;
      while (k < 6 && kPalette[k] != c) ++k;
      if (k == 6) {
        ++s.foreign;
        continue;
      }
      ColourSpan& span = d < kBowSplit ? s.primary[k] : s.secondary[k];
      ++span.count;
      span.min_deg = fmin(span.min_deg, d);
      span.max_deg = fmax(span.max_deg, d);
    }
  return s;
}

// True when the picture shows both bows in their colour order: red
// outermost in the primary, innermost in the secondary, dark between.
inline bool bows_in_order(const BowScan& s, const char** why) {
  const int seen[] = {0, 1, 2, 3};  // colours both bows show
  for (int k : seen)
    if (s.primary[k].count == 0 || s.secondary[k].count == 0) {
      *why = "a colour is missing from a bow";
      return false;
    }
  for (int k = 1; k < 6; ++k)
    if (s.primary[k].count > 0 && s.primary[k].max_deg >= s.primary[0].max_deg) {
      *why = "red is not outermost in the primary bow";
      return false;
    }
  for (int k = 1; k < 6; ++k)
    if (s.secondary[k].count > 0 && s.secondary[k].min_deg <= s.secondary[0].min_deg) {
      *why = "red is not innermost in the secondary bow";
      return false;
    }
  if (s.dark_band > 0) {
    *why = "lit pixels between the bows";
    return false;
  }
  return true;
}

}  // namespace rt

#endif  // RAINBOW_TESTS_UNIT_BOW_SCAN_H
