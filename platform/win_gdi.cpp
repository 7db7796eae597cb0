// Drawing: device contexts, painting, pixels, and the GDI object table.
//
// Supported: GetDC / ReleaseDC on a window, BeginPaint / EndPaint, SetPixel,
// GetPixel, FillRect, GetStockObject for the stock brushes, DeleteObject.
// A DC draws into its window's client area with the window's current size,
// so one held across a resize draws into the resized area with the new clip
// (a paint DC also clips to its update rectangle).  GetDC, SetPixel and
// ReleaseDC may be called from any thread while the window thread presents,
// resizes, minimises or destroys; after DestroyWindow a held DC draws
// nothing (CLR_INVALID) and ReleaseDC returns 0.
//
// While nobody can see a window (a hidden page), GetDC on any thread but
// the window's waits for it to be seen again, so a worker that draws
// without end rests with the page; its samples, and so its pixels, are
// those it would have drawn anyway, only later.  Each wait ends after
// kRestMs, so a window thread that waits for such a worker (WM_DESTROY of
// the threaded program) is never held for ever.
//
// The steady state takes no lock and touches no reference count: each
// thread owns one DC slot, which it takes and gives back with plain stores,
// and the window's pixels never move (surface.h).
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <vector>

#include "dib.h"
#include "internal.h"
#include "rainbow_platform.h"

namespace plat {

namespace {

// Slots [0, kHomeSlots) are handed to threads for their lifetime; the rest
// are shared, taken with a compare-and-swap when a thread needs a second DC.
const int kHomeSlots = 32;
const int kMaxDcs = 64;
const RECT kUnbounded = {0, 0, Surface::kMaxSide, Surface::kMaxSide};

Dc g_dcs[kMaxDcs];

const int kRestMs = 100;
std::mutex g_rest_lock;
std::condition_variable g_seen_again;

// The slow path of GetDC, for a window that rests.
__attribute__((noinline)) void rest_while_unseen(const Window* w) {
  if (std::this_thread::get_id() == w->owner) return;  // its thread rests in the queue
  std::unique_lock<std::mutex> hold(g_rest_lock);
  g_seen_again.wait_for(hold, std::chrono::milliseconds(kRestMs),
                        [w] { return !w->resting.load(std::memory_order_relaxed); });
}

// The calling thread's own slot, given back when the thread ends.
struct HomeSlot {
  int slot = -1;
  ~HomeSlot() {
    if (slot < 0) return;
    g_dcs[slot].in_use.store(false, std::memory_order_relaxed);
    g_dcs[slot].owned.store(false, std::memory_order_release);
  }
};
thread_local HomeSlot t_home;

Dc* claim_home() {
  for (int i = 0; i < kHomeSlots; ++i) {
    bool expected = false;
    if (g_dcs[i].owned.compare_exchange_strong(expected, true, std::memory_order_acquire)) {
      t_home.slot = i;
      return &g_dcs[i];
    }
  }
  return nullptr;
}

inline __attribute__((always_inline)) Dc* take_slot() {
  Dc* home = t_home.slot >= 0 ? &g_dcs[t_home.slot] : claim_home();
  if (home && !home->in_use.load(std::memory_order_relaxed)) {
    home->in_use.store(true, std::memory_order_relaxed);  // no other thread takes this slot
    return home;
  }
  for (int i = kHomeSlots; i < kMaxDcs; ++i) {
    bool expected = false;
    if (g_dcs[i].in_use.compare_exchange_strong(expected, true, std::memory_order_acquire))
      return &g_dcs[i];
  }
  return nullptr;
}

// ---- GDI objects: brushes and bitmaps in one table, as in Win32 ----

enum class GdiKind { kBrush, kBitmap };

struct GdiObject {
  GdiKind kind = GdiKind::kBrush;
  bool stock = false;
  COLORREF color = 0;
  bool hollow = false;
  std::shared_ptr<const Dib> dib;
};

const uint32_t kMaxGdiObjects = 4096;
const uint32_t kStockBrushes = 6;  // WHITE_BRUSH .. NULL_BRUSH, the first slots for good

struct GdiTable : HandleTable<GdiObject, kGdiHandle> {
  GdiTable() : HandleTable(kMaxGdiObjects) {
    const COLORREF colors[kStockBrushes] = {RGB(255, 255, 255), RGB(192, 192, 192),
                                            RGB(128, 128, 128), RGB(64, 64, 64),
                                            RGB(0, 0, 0),       0};
    for (uint32_t i = 0; i < kStockBrushes; ++i)
      add<HGDIOBJ>(GdiObject{GdiKind::kBrush, true, colors[i], i == NULL_BRUSH, nullptr});
  }
};
GdiTable& gdi() {
  static GdiTable table;
  return table;
}

// The DC a handle names while it is in use, or null with
// ERROR_INVALID_HANDLE; inlined into the calls a sample makes, which run
// millions of times a second.
inline __attribute__((always_inline)) Dc* find_dc(HDC hdc) {
  uint32_t slot = 0, generation = 0;
  if (split_handle(hdc, kDcHandle, &slot, &generation) && slot < kMaxDcs) {
    Dc* dc = &g_dcs[slot];
    if (dc->in_use.load(std::memory_order_relaxed) &&
        dc->generation.load(std::memory_order_relaxed) % kGenerations == generation)
      return dc;
  }
  fail(ERROR_INVALID_HANDLE);
  return nullptr;
}

// (x, y) inside the DC's clip and the window's drawable client area, which
// is empty once the window is destroyed: no separate check is needed.
// A window DC's clip is the whole client, so only a paint DC reads its
// rectangle (which GetDC has just written: reading it back at once would
// wait for the store).
inline __attribute__((always_inline)) bool inside(const Dc* dc, int x, int y) {
  const Surface& s = dc->window->surface;
  if (x < 0 || y < 0 || x >= s.draw_width() || y >= s.draw_height()) return false;
  return !dc->paint ||
         (x >= dc->clip.left && y >= dc->clip.top && x < dc->clip.right && y < dc->clip.bottom);
}

// The DC of a window that still exists, or null.
Dc* live_dc(HDC hdc) {
  Dc* dc = dc_from_handle(hdc);
  if (dc && dc->window->destroyed.load(std::memory_order_relaxed)) return nullptr;
  return dc;
}

}  // namespace

void window_rest(Window* w, bool resting) {
  {
    std::lock_guard<std::mutex> hold(g_rest_lock);  // no waiter misses the change
    w->resting.store(resting, std::memory_order_relaxed);
  }
  if (!resting) g_seen_again.notify_all();
}

Dc* dc_from_handle(HDC hdc) {
  return find_dc(hdc);
}

HDC dc_handle(const Dc* dc) {
  return make_handle<HDC>(kDcHandle, static_cast<uint32_t>(dc - g_dcs),
                          dc->generation.load(std::memory_order_relaxed));
}

namespace {

// Takes a slot for w and stamps a new generation on it, so a released
// handle never works again; inlined into GetDC, which a sample calls.
inline __attribute__((always_inline)) Dc* acquire(Window* w, const RECT* clip) {
  Dc* dc = take_slot();
  if (!dc) {
    report("GetDC", ERROR_NOT_ENOUGH_MEMORY, "more than 64 device contexts in use");
    return nullptr;
  }
  dc->generation.store(dc->generation.load(std::memory_order_relaxed) + 1,
                       std::memory_order_relaxed);
  dc->window = w;
  dc->paint = clip != nullptr;
  dc->clip = clip ? *clip : kUnbounded;
  dc->stretch_mode = BLACKONWHITE;
  return dc;
}

}  // namespace

Dc* dc_acquire(Window* w, const RECT* clip) {
  return acquire(w, clip);
}

void dc_release(Dc* dc) {
  dc->window = nullptr;
  dc->in_use.store(false, std::memory_order_release);
}

bool brush_color(HBRUSH brush, COLORREF* color, bool* hollow) {
  std::lock_guard<std::mutex> hold(gdi().lock);
  GdiObject* o = gdi().find(brush);
  if (!o || o->kind != GdiKind::kBrush) return false;
  *color = o->color;
  *hollow = o->hollow;
  return true;
}

HBITMAP bitmap_add(std::shared_ptr<Dib> dib) {
  std::lock_guard<std::mutex> hold(gdi().lock);
  return gdi().add<HBITMAP>(GdiObject{GdiKind::kBitmap, false, 0, false, std::move(dib)},
                            kStockBrushes);
}

std::shared_ptr<const Dib> bitmap_from_handle(HBITMAP bitmap) {
  std::lock_guard<std::mutex> hold(gdi().lock);
  GdiObject* o = gdi().find(bitmap);
  return o && o->kind == GdiKind::kBitmap ? o->dib : nullptr;
}

}  // namespace plat

using namespace plat;

HDC WINAPI GetDC(HWND hwnd) {
  if (!hwnd) {
    unsupported("GetDC", "the screen DC is not supported");
    return nullptr;
  }
  Window* w = window_from_handle(hwnd);
  if (w && w->resting.load(std::memory_order_relaxed)) rest_while_unseen(w);
  Dc* dc = w ? acquire(w, nullptr) : nullptr;
  return dc ? dc_handle(dc) : nullptr;
}

int WINAPI ReleaseDC(HWND hwnd, HDC hdc) {
  Dc* dc = find_dc(hdc);
  if (!dc) return 0;
  Window* w = dc->window;
  if (hwnd != w->handle) {
    fail(ERROR_INVALID_HANDLE);
    return 0;
  }
  dc_release(dc);
  // The window is gone: Win32 has already taken its DCs back.
  return w->destroyed.load(std::memory_order_relaxed) ? 0 : 1;
}

HDC WINAPI BeginPaint(HWND hwnd, LPPAINTSTRUCT ps) {
  Window* w = window_from_handle(hwnd);
  if (!w || !ps) return nullptr;
  *ps = {};
  RECT area;
  bool erase = false;
  window_take_update(w, &area, &erase);  // as in Win32, painting begins by validating
  Dc* dc = dc_acquire(w, &area);
  if (!dc) return nullptr;
  ps->hdc = dc_handle(dc);
  ps->rcPaint = area;
  ps->fErase =
      erase ? !SendMessageA(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(ps->hdc), 0) : FALSE;
  return ps->hdc;
}

BOOL WINAPI EndPaint(HWND hwnd, const PAINTSTRUCT* ps) {
  (void)hwnd;
  if (!ps) return FALSE;
  if (Dc* dc = dc_from_handle(ps->hdc)) dc_release(dc);
  return TRUE;
}

COLORREF WINAPI SetPixel(HDC hdc, int x, int y, COLORREF color) {
  Dc* dc = find_dc(hdc);
  if (!dc || !inside(dc, x, y)) return CLR_INVALID;
  dc->window->surface.set(x, y, PlatformRgbFromColorref(color));
  return color & 0x00FFFFFF;
}

COLORREF WINAPI GetPixel(HDC hdc, int x, int y) {
  Dc* dc = dc_from_handle(hdc);
  if (!dc || !inside(dc, x, y)) return CLR_INVALID;
  return PlatformColorrefFromRgb(dc->window->surface.get(x, y));
}

int WINAPI FillRect(HDC hdc, const RECT* rect, HBRUSH brush) {
  Dc* dc = live_dc(hdc);
  if (!dc || !rect) return 0;
  COLORREF color = 0;
  bool hollow = false;
  if (!brush_color(brush, &color, &hollow)) {  // also colour-index brushes ((HBRUSH)(COLOR_x + 1))
    fail(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (hollow) return 1;
  Surface& s = dc->window->surface;
  const LONG left = std::max(rect->left, dc->clip.left), top = std::max(rect->top, dc->clip.top);
  const LONG right = std::min({rect->right, dc->clip.right, static_cast<LONG>(s.draw_width())});
  const LONG bottom = std::min({rect->bottom, dc->clip.bottom, static_cast<LONG>(s.draw_height())});
  if (right > left && bottom > top)
    s.fill(left, top, right, bottom, PlatformRgbFromColorref(color));
  return 1;
}

HGDIOBJ WINAPI GetStockObject(int object) {
  if (object < 0 || object >= static_cast<int>(kStockBrushes)) {
    unsupported("GetStockObject", "only the stock brushes are supported");
    return nullptr;
  }
  std::lock_guard<std::mutex> hold(gdi().lock);
  return gdi().handle_of<HGDIOBJ>(static_cast<uint32_t>(object));
}

BOOL WINAPI DeleteObject(HGDIOBJ object) {
  GdiObject gone;  // a bitmap's pixels are freed after the lock is dropped
  std::lock_guard<std::mutex> hold(gdi().lock);
  GdiObject* o = gdi().find(object);
  if (!o) {
    fail(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (o->stock) return TRUE;  // deleting a stock object is allowed and does nothing
  gone = gdi().remove(object);
  return TRUE;
}

int PlatformCountGdiObjects(void) {
  std::lock_guard<std::mutex> hold(gdi().lock);
  int n = 0;
  for (const auto& slot : gdi().slots) n += slot.used && !slot.value.stock;
  return n;
}
