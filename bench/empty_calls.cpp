// Stand-ins for GetDC, SetPixel and ReleaseDC that check nothing: built
// apart from the benchmark, so the compiler sees three real calls, as it
// does the layer's.  The pixel goes straight into a plain array.
#include "empty_calls.h"

namespace empty_calls {

uint32_t* pixels;
int width, height;

HDC get_dc(HWND hwnd) {
  return reinterpret_cast<HDC>(hwnd);
}

COLORREF set_pixel(HDC, int x, int y, COLORREF color) {
  if (x >= 0 && x < width && y >= 0 && y < height)
    pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] = color;
  return color;
}

int release_dc(HWND, HDC) {
  return 1;
}

}  // namespace empty_calls
