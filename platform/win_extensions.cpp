// Non-Win32 extensions for tools and tests (see rainbow_platform.h).
#include "internal.h"
#include "rainbow_platform.h"

using namespace plat;

BOOL PlatformReadClient(HWND hwnd, COLORREF* pixels, int width, int height) {
  Window* w = window_from_handle(hwnd);
  if (!w || w->surface.height() != height) return FALSE;
  return PlatformReadClientRows(hwnd, 0, height, pixels, width);
}

BOOL PlatformReadClientRows(HWND hwnd, int first, int count, COLORREF* pixels, int width) {
  Window* w = window_from_handle(hwnd);
  if (!w || !pixels || first < 0 || count < 0) return FALSE;
  if (w->surface.width() != width || count > w->surface.height() - first) return FALSE;
  for (int y = 0; y < count; ++y)
    for (int x = 0; x < width; ++x)
      pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] =
          PlatformColorrefFromRgb(w->surface.get(x, first + y));
  return TRUE;
}

DWORD* PlatformClientPixels(HWND hwnd, int width, int height) {
  Window* w = window_from_handle(hwnd);
  if (!w || w->surface.width() != width || w->surface.height() != height) return nullptr;
  static_assert(sizeof(DWORD) == sizeof(uint32_t), "a pixel is a DWORD");
  return reinterpret_cast<DWORD*>(w->surface.pixels());
}

void PlatformPump(void) {
  pump();
}

BOOL PlatformOpenDisplay(char* reason, size_t size) {
  std::string why;
  if (backend::open(&why)) return TRUE;
  if (reason && size > 0) snprintf(reason, size, "%s", why.c_str());
  return FALSE;
}

unsigned long long PlatformPresentNanoseconds(void) {
  return g_present_ns.load(std::memory_order_relaxed);
}
