// Windows: classes, creation, showing, sizing, invalidation, destruction.
//
// Supported: RegisterClassExA (CS_HREDRAW, CS_VREDRAW; no class or window
// extra bytes, no menu), CreateWindowExA for top-level windows,
// DestroyWindow (on the window's own thread), IsWindow, ShowWindow,
// UpdateWindow, InvalidateRect (any thread), GetClientRect, SetWindowPos
// (size and position), MessageBoxA (MB_OK alone, no owner).
#include <stdio.h>
#include <strings.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "internal.h"
#include "rainbow_platform.h"

namespace plat {

std::atomic<int> g_windows_needing_paint{0};

namespace {

const int kMaxWindows = 256;
const int kDefaultWidth = 640;
const int kDefaultHeight = 480;

struct WindowState {
  std::vector<WindowClass> classes;
  Window slots[kMaxWindows];
  std::atomic<int> used{0};  // slots handed out so far
};
WindowState g_win;

// The size CW_USEDEFAULT gives: the backend's, else ours.
void default_size(int* cx, int* cy) {
  if (backend::default_window_size(cx, cy) && *cx > 0 && *cy > 0) return;
  *cx = kDefaultWidth;
  *cy = kDefaultHeight;
}

WindowClass* find_class(const char* name) {
  for (WindowClass& c : g_win.classes)
    if (strcasecmp(c.name.c_str(), name) == 0) return &c;
  return nullptr;
}

bool empty(const RECT& r) {
  return r.right <= r.left || r.bottom <= r.top;
}

// Caller holds w->update_lock.
void set_update(Window* w, bool on) {
  if (w->has_update != on) g_windows_needing_paint.fetch_add(on ? 1 : -1);
  w->has_update = on;
  if (!on) w->erase = false;
}

void send_size(Window* w) {
  const WPARAM kind = w->maximized ? SIZE_MAXIMIZED : SIZE_RESTORED;
  SendMessageA(w->handle, WM_SIZE, kind, MAKELPARAM(w->width, w->height));
}

}  // namespace

Window* window_from_handle(HWND hwnd) {
  uint32_t slot = 0, generation = 0;
  if (split_handle(hwnd, kWindowHandle, &slot, &generation) && generation == 0 &&
      static_cast<int>(slot) < g_win.used.load(std::memory_order_acquire)) {
    Window* w = &g_win.slots[slot];
    if (!w->destroyed.load(std::memory_order_relaxed)) return w;
  }
  fail(ERROR_INVALID_WINDOW_HANDLE);
  return nullptr;
}

Window* window_from_native(backend::WindowId id) {
  for (int i = 0; i < window_count(); ++i) {
    Window* w = window_at(i);
    if (w && w->native == id) return w;
  }
  return nullptr;
}

int window_count() {
  return g_win.used.load(std::memory_order_acquire);
}

Window* window_at(int i) {
  Window* w = &g_win.slots[i];
  return w->destroyed ? nullptr : w;
}

void window_invalidate(Window* w, const RECT* r, bool erase) {
  std::lock_guard<std::mutex> hold(w->update_lock);
  RECT add = r ? *r : RECT{0, 0, w->width, w->height};
  add.left = std::max<LONG>(add.left, 0);
  add.top = std::max<LONG>(add.top, 0);
  add.right = std::min<LONG>(add.right, w->width);
  add.bottom = std::min<LONG>(add.bottom, w->height);
  if (empty(add)) return;
  if (w->has_update) {
    add.left = std::min<LONG>(add.left, w->update.left);
    add.top = std::min<LONG>(add.top, w->update.top);
    add.right = std::max<LONG>(add.right, w->update.right);
    add.bottom = std::max<LONG>(add.bottom, w->update.bottom);
  }
  w->update = add;
  w->erase = w->erase || erase;
  set_update(w, true);
}

bool window_take_update(Window* w, RECT* area, bool* erase) {
  std::lock_guard<std::mutex> hold(w->update_lock);
  const bool had = w->has_update;
  *area = had ? w->update : RECT{0, 0, 0, 0};
  *erase = had && w->erase;
  set_update(w, false);
  return had;
}

bool window_needs_paint(Window* w) {
  if (!w->visible || w->minimized) return false;
  std::lock_guard<std::mutex> hold(w->update_lock);
  return w->has_update;
}

bool window_resize(Window* w, int cx, int cy) {
  cx = std::min(std::max(cx, 0), Surface::kMaxSide);
  cy = std::min(std::max(cy, 0), Surface::kMaxSide);
  const int old_w = w->width, old_h = w->height;
  if (cx == old_w && cy == old_h && w->size_sent) return true;
  if (!w->surface.resize(cx, cy)) {  // the window keeps its size
    fail(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  {
    std::lock_guard<std::mutex> hold(w->update_lock);
    w->width = cx;
    w->height = cy;
    w->update.right = std::min<LONG>(w->update.right, cx);
    w->update.bottom = std::min<LONG>(w->update.bottom, cy);
  }
  if (((w->cls.style & CS_HREDRAW) && cx != old_w) ||
      ((w->cls.style & CS_VREDRAW) && cy != old_h)) {
    window_invalidate(w, nullptr, true);
  } else {  // only the newly uncovered strips
    const RECT right = {old_w, 0, cx, cy}, bottom = {0, old_h, cx, cy};
    window_invalidate(w, &right, true);
    window_invalidate(w, &bottom, true);
  }
  w->size_sent = true;
  if (!w->minimized) send_size(w);
  return true;
}

void window_minimize(Window* w, bool minimized) {
  if (w->minimized == minimized) return;
  w->minimized = minimized;
  w->surface.set_drawable(!minimized);
  if (minimized) {
    SendMessageA(w->handle, WM_SIZE, SIZE_MINIMIZED, 0);
    return;
  }
  window_invalidate(w, nullptr, true);  // a restored window is repainted whole
  send_size(w);
}

void window_maximize(Window* w) {
  w->maximized = true;
  if (w->minimized) window_minimize(w, false);
}

}  // namespace plat

using namespace plat;

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* wc) {
  if (!wc || wc->cbSize != sizeof(WNDCLASSEXA) || !wc->lpfnWndProc || !wc->lpszClassName ||
      IS_INTRESOURCE(wc->lpszClassName)) {
    fail(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (wc->cbClsExtra != 0 || wc->cbWndExtra != 0 || wc->lpszMenuName) {
    unsupported("RegisterClassExA", "extra bytes and menus are not supported");
    return 0;
  }
  if (find_class(wc->lpszClassName)) {
    fail(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  WindowClass c;
  c.name = wc->lpszClassName;
  c.style = wc->style;
  c.proc = wc->lpfnWndProc;
  c.background = wc->hbrBackground;
  c.icon = wc->hIcon;
  g_win.classes.push_back(c);
  return static_cast<ATOM>(0xC000 + g_win.classes.size());
}

HWND WINAPI CreateWindowExA(DWORD ex_style, LPCSTR class_name, LPCSTR title, DWORD style, int x,
                            int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param) {
  (void)ex_style;
  (void)instance;
  (void)param;
  if (parent || menu) {
    unsupported("CreateWindowExA", "child windows and menus are not supported");
    return nullptr;
  }
  WindowClass* cls = class_name && !IS_INTRESOURCE(class_name) ? find_class(class_name) : nullptr;
  if (!cls) {
    fail(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
  }
  const int slot = g_win.used.load();
  if (slot == kMaxWindows) {  // slots are never reused: a stale HWND stays invalid
    report("CreateWindowExA", ERROR_NOT_ENOUGH_MEMORY, "a process makes at most 256 windows");
    return nullptr;
  }
  std::string why;
  if (!backend::open(&why)) {
    report("CreateWindowExA", ERROR_NOT_READY, why.c_str());
    return nullptr;
  }

  int default_cx = 0, default_cy = 0;
  default_size(&default_cx, &default_cy);
  const int cx = width == CW_USEDEFAULT || width <= 0 ? default_cx : width;
  const int cy = height == CW_USEDEFAULT || height <= 0 ? default_cy : height;
  Window* w = &g_win.slots[slot];
  if (!w->surface.reserve(std::min(cx, Surface::kMaxSide), std::min(cy, Surface::kMaxSide))) {
    fail(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  const backend::WindowId native =
      backend::create_window(title ? title : "", std::min(cx, Surface::kMaxSide),
                             std::min(cy, Surface::kMaxSide), (style & WS_THICKFRAME) != 0, &why);
  if (!native) {
    report("CreateWindowExA", ERROR_NOT_ENOUGH_MEMORY, why.c_str());
    return nullptr;
  }
  if (x != CW_USEDEFAULT && y != CW_USEDEFAULT) backend::set_window_position(native, x, y);
  w->handle = make_handle<HWND>(kWindowHandle, static_cast<uint32_t>(slot), 0);
  w->owner = std::this_thread::get_id();
  w->cls = *cls;
  w->native = native;
  w->width = std::min(cx, Surface::kMaxSide);
  w->height = std::min(cy, Surface::kMaxSide);
  w->surface.resize(w->width, w->height);
  g_win.used.store(slot + 1, std::memory_order_release);  // the handle is valid from here
  window_set_icon(w, cls->icon);
  if (SendMessageA(w->handle, WM_CREATE, 0, 0) == -1) {
    DestroyWindow(w->handle);
    fail(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return w->handle;
}

BOOL WINAPI IsWindow(HWND hwnd) {
  const DWORD saved = GetLastError();
  const bool live = window_from_handle(hwnd) != nullptr;
  SetLastError(saved);
  return live;
}

BOOL WINAPI DestroyWindow(HWND hwnd) {
  Window* w = window_from_handle(hwnd);
  if (!w) return FALSE;
  if (w->owner != std::this_thread::get_id()) {  // as Win32: only the window's own thread
    fail(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  SendMessageA(hwnd, WM_DESTROY, 0, 0);
  SendMessageA(hwnd, WM_NCDESTROY, 0, 0);
  {
    std::lock_guard<std::mutex> hold(w->update_lock);
    set_update(w, false);
  }
  // Device contexts still held see the flag and draw nothing; the
  // reservation they point into stays, so none of them can fault.
  w->destroyed = true;
  w->surface.discard();
  backend::destroy_window(w->native);
  w->native = 0;
  return TRUE;
}

BOOL WINAPI ShowWindow(HWND hwnd, int cmd) {
  Window* w = window_from_handle(hwnd);
  if (!w) return FALSE;
  const BOOL was_visible = w->visible;
  switch (cmd) {
    case SW_HIDE:
      backend::hide_window(w->native);
      w->visible = false;
      return was_visible;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
      backend::show_window(w->native);
      w->visible = true;
      backend::minimize_window(w->native);
      if (!w->size_sent) window_resize(w, w->width, w->height);
      window_minimize(w, true);
      return was_visible;
    case SW_SHOWNORMAL:
    case SW_SHOW:
    case SW_RESTORE:
    case SW_SHOWDEFAULT:
    case SW_MAXIMIZE:
      backend::show_window(w->native);
      if (cmd == SW_MAXIMIZE) backend::maximize_window(w->native);
      if (w->minimized) backend::restore_window(w->native);
      if (!w->visible) window_invalidate(w, nullptr, true);
      w->visible = true;
      if (!w->size_sent) window_resize(w, w->width, w->height);
      window_minimize(w, false);
      return was_visible;
  }
  unsupported("ShowWindow", "this show command is not supported");
  return was_visible;
}

BOOL WINAPI UpdateWindow(HWND hwnd) {
  Window* w = window_from_handle(hwnd);
  if (!w) return FALSE;
  if (window_needs_paint(w)) SendMessageA(hwnd, WM_PAINT, 0, 0);
  return TRUE;
}

BOOL WINAPI InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
  if (!hwnd) {
    unsupported("InvalidateRect", "a null window (all windows) is not supported");
    return FALSE;
  }
  Window* w = window_from_handle(hwnd);
  if (!w) return FALSE;
  window_invalidate(w, rect, erase != FALSE);
  backend::wake();  // a GetMessageA waiting on the window thread paints now
  return TRUE;
}

BOOL WINAPI GetClientRect(HWND hwnd, LPRECT rect) {
  Window* w = window_from_handle(hwnd);
  if (!w || !rect) return FALSE;
  *rect = {0, 0, w->minimized ? 0 : w->width, w->minimized ? 0 : w->height};
  return TRUE;
}

BOOL WINAPI SetWindowPos(HWND hwnd, HWND insert_after, int x, int y, int cx, int cy, UINT flags) {
  (void)insert_after;
  Window* w = window_from_handle(hwnd);
  if (!w) return FALSE;
  if (!(flags & SWP_NOMOVE)) backend::set_window_position(w->native, x, y);
  if (!(flags & SWP_NOSIZE)) {
    if (cx <= 0 || cy <= 0) {
      unsupported("SetWindowPos", "a client size below 1 x 1 is not supported");
      return FALSE;
    }
    // While minimised: the size it is restored to.
    if (!window_resize(w, cx, cy)) return FALSE;               // the client's pixels cannot be had
    backend::set_window_size(w->native, w->width, w->height);  // as large as a client gets
  }
  return TRUE;
}

// Blocks until the box is dismissed, as Win32 does.
int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  if (owner || type != MB_OK) {
    unsupported("MessageBoxA", "only a plain OK box without an owner is supported");
    return 0;
  }
  const char* t = text ? text : "";
  const char* c = caption ? caption : "Error";
  // Where no box can be shown, the text still reaches the user.
  if (!backend::open(nullptr) || !backend::message_box(c, t)) fprintf(stderr, "%s: %s\n", c, t);
  return IDOK;
}
