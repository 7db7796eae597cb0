// Drawing: device contexts, painting, pixels, brushes.
//
// Supported: GetDC / ReleaseDC on a window, BeginPaint / EndPaint, SetPixel,
// GetPixel, FillRect with a stock brush, GetStockObject for the stock brushes.
// A DC draws into its window's client pixels and clips to the client area
// (a paint DC to the update region).  GetDC, SetPixel and ReleaseDC may be
// called from any thread while the window thread presents or resizes.
#include <algorithm>

#include "internal.h"

namespace plat {

Surface::Surface(int width, int height)
    : w(width),
      h(height),
      px(new std::atomic<uint32_t>[static_cast<size_t>(width) * static_cast<size_t>(height)]) {
  const size_t n = static_cast<size_t>(width) * static_cast<size_t>(height);
  for (size_t i = 0; i < n; ++i) px[i].store(0, std::memory_order_relaxed);
}

namespace {

const int kMaxDCs = 64;
HDC__ g_dcs[kMaxDCs];

HBRUSH__ g_stock_brushes[] = {
    {RGB(255, 255, 255), false}, {RGB(192, 192, 192), false}, {RGB(128, 128, 128), false},
    {RGB(64, 64, 64), false},    {RGB(0, 0, 0), false},       {0, true},
};
const int kStockBrushes = sizeof g_stock_brushes / sizeof g_stock_brushes[0];

HBRUSH brush_from_handle(HBRUSH b) {
  return in_table(b, g_stock_brushes, kStockBrushes) ? b : nullptr;
}

}  // namespace

HDC dc_from_handle(HDC dc) {
  if (!in_table(dc, g_dcs, kMaxDCs) || !dc->in_use.load(std::memory_order_relaxed)) {
    fail(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return dc;
}

HDC dc_acquire(HWND w, const RECT* clip) {
  // Each thread starts its search where its last DC was found free.
  static thread_local int hint = 0;
  for (int n = 0; n < kMaxDCs; ++n) {
    HDC dc = &g_dcs[(hint + n) % kMaxDCs];
    bool expected = false;
    if (!dc->in_use.compare_exchange_strong(expected, true, std::memory_order_acquire)) continue;
    hint = static_cast<int>(dc - g_dcs);
    dc->hwnd = w;
    std::lock_guard<std::mutex> hold(w->lock);
    dc->surface = w->surface;
    RECT area = {0, 0, w->clip_w, w->clip_h};
    if (clip) {
      area.left = std::max(area.left, clip->left);
      area.top = std::max(area.top, clip->top);
      area.right = std::min(area.right, clip->right);
      area.bottom = std::min(area.bottom, clip->bottom);
    }
    dc->clip = area;
    return dc;
  }
  complain("GetDC", "more than 64 device contexts in use");
  fail(ERROR_NOT_ENOUGH_MEMORY);
  return nullptr;
}

void dc_release(HDC dc) {
  dc->surface.reset();
  dc->hwnd = nullptr;
  dc->in_use.store(false, std::memory_order_release);
}

}  // namespace plat

using namespace plat;

HDC WINAPI GetDC(HWND hwnd) {
  if (!hwnd) {
    complain("GetDC", "the screen DC is not supported");
    fail(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  HWND w = window_from_handle(hwnd);
  return w ? dc_acquire(w, nullptr) : nullptr;
}

int WINAPI ReleaseDC(HWND hwnd, HDC hdc) {
  (void)hwnd;
  HDC dc = dc_from_handle(hdc);
  if (!dc) return 0;
  dc_release(dc);
  return 1;
}

HDC WINAPI BeginPaint(HWND hwnd, LPPAINTSTRUCT ps) {
  HWND w = window_from_handle(hwnd);
  if (!w || !ps) return nullptr;
  *ps = {};
  const RECT area = w->has_update ? w->update : RECT{0, 0, 0, 0};
  const bool erase = w->has_update && w->erase;
  window_validate(w);  // as in Win32, painting begins by validating
  HDC dc = dc_acquire(w, &area);
  if (!dc) return nullptr;
  ps->hdc = dc;
  ps->rcPaint = area;
  ps->fErase = erase ? !SendMessageA(w, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) : FALSE;
  return dc;
}

BOOL WINAPI EndPaint(HWND hwnd, const PAINTSTRUCT* ps) {
  (void)hwnd;
  if (!ps) return FALSE;
  HDC dc = dc_from_handle(ps->hdc);
  if (dc) dc_release(dc);
  return TRUE;
}

namespace {

// The DC when (x, y) lies inside its clip and its pixels, else null.
HDC drawable_at(HDC hdc, int x, int y) {
  HDC dc = dc_from_handle(hdc);
  if (!dc || !dc->surface) return nullptr;
  if (x < dc->clip.left || x >= dc->clip.right || y < dc->clip.top || y >= dc->clip.bottom ||
      x >= dc->surface->w || y >= dc->surface->h)
    return nullptr;
  return dc;
}

}  // namespace

COLORREF WINAPI SetPixel(HDC hdc, int x, int y, COLORREF color) {
  HDC dc = drawable_at(hdc, x, y);
  if (!dc) return CLR_INVALID;
  dc->surface->set(x, y, rgb_from_colorref(color));
  dc->surface->dirty.store(true, std::memory_order_release);  // after the pixels
  return color & 0x00FFFFFF;
}

COLORREF WINAPI GetPixel(HDC hdc, int x, int y) {
  HDC dc = drawable_at(hdc, x, y);
  return dc ? colorref_from_rgb(dc->surface->get(x, y)) : CLR_INVALID;
}

int WINAPI FillRect(HDC hdc, const RECT* rect, HBRUSH brush) {
  HDC dc = dc_from_handle(hdc);
  HBRUSH b = brush_from_handle(brush);
  if (!dc || !rect) return 0;
  if (!b) {  // colour-index brushes ((HBRUSH)(COLOR_x + 1)) and created brushes
    complain("FillRect", "only stock brushes are supported");
    fail(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (b->hollow || !dc->surface) return 1;
  const LONG left = std::max(rect->left, dc->clip.left), top = std::max(rect->top, dc->clip.top);
  const LONG right = std::min({rect->right, dc->clip.right, static_cast<LONG>(dc->surface->w)});
  const LONG bottom = std::min({rect->bottom, dc->clip.bottom, static_cast<LONG>(dc->surface->h)});
  const uint32_t rgb = rgb_from_colorref(b->color);
  for (LONG y = top; y < bottom; ++y)
    for (LONG x = left; x < right; ++x) dc->surface->set(x, y, rgb);
  dc->surface->dirty.store(true, std::memory_order_release);  // after the pixels
  return 1;
}

HGDIOBJ WINAPI GetStockObject(int object) {
  if (object < 0 || object >= kStockBrushes) {
    complain("GetStockObject", "only the stock brushes are supported");
    fail(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return &g_stock_brushes[object];
}
