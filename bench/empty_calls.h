// A plain pixel array, and the least any path of three calls a sample can
// cost (bench_core.cpp).
#ifndef RAINBOW_BENCH_EMPTY_CALLS_H
#define RAINBOW_BENCH_EMPTY_CALLS_H

#include <stddef.h>
#include <stdint.h>

#include <vector>

#include <windows.h>

// Pixels stored straight into an array, clipped as a device context clips.
struct PlainPixels {
  int w, h;
  std::vector<uint32_t> px;

  PlainPixels(int width, int height)
      : w(width), h(height), px(static_cast<size_t>(width) * static_cast<size_t>(height)) {}
  void set(int x, int y, COLORREF color) {
    if (x >= 0 && x < w && y >= 0 && y < h)
      px[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)] = color;
  }
};

namespace empty_calls {

extern PlainPixels* target;  // where set_pixel stores

HDC get_dc(HWND hwnd);
COLORREF set_pixel(HDC hdc, int x, int y, COLORREF color);
int release_dc(HWND hwnd, HDC hdc);

}  // namespace empty_calls

#endif  // RAINBOW_BENCH_EMPTY_CALLS_H
