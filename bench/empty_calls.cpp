// Stand-ins for GetDC, SetPixel and ReleaseDC that check nothing: built
// apart from the benchmark, so the compiler sees three real calls, as it
// does the layer's.  The pixel goes straight into a plain array.
#include "empty_calls.h"

namespace empty_calls {

PlainPixels* target;

HDC get_dc(HWND hwnd) {
  return reinterpret_cast<HDC>(hwnd);
}

COLORREF set_pixel(HDC, int x, int y, COLORREF color) {
  target->set(x, y, color);
  return color;
}

int release_dc(HWND, HDC) {
  return 1;
}

}  // namespace empty_calls
