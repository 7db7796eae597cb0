// Windows: classes, creation, showing, sizing, invalidation, destruction.
//
// Supported: RegisterClassExA (CS_HREDRAW, CS_VREDRAW; no class or window
// extra bytes), CreateWindowExA for top-level windows, DestroyWindow, IsWindow,
// ShowWindow, UpdateWindow, InvalidateRect, GetClientRect, SetWindowPos (size).
// Differs from Win32: the frame belongs to the window manager, so the size
// given to CreateWindowExA or SetWindowPos is the client size.
// Differs from Win32: of the creation, showing and activation messages only
// WM_CREATE (lParam NULL, no CREATESTRUCT), WM_SIZE, WM_SETFOCUS and
// WM_KILLFOCUS are sent; the background is erased at the next BeginPaint.
#include <SDL.h>
#include <strings.h>

#include <algorithm>
#include <vector>

#include "internal.h"

namespace plat {

int g_windows_needing_paint = 0;

namespace {

const int kMaxWindows = 256;
const int kDefaultWidth = 640;
const int kDefaultHeight = 480;

struct WindowState {
  std::vector<WindowClass> classes;
  HWND__ slots[kMaxWindows];
  int used = 0;  // slots handed out so far
};
WindowState g_win;

WindowClass* find_class(const char* name) {
  for (WindowClass& c : g_win.classes)
    if (strcasecmp(c.name.c_str(), name) == 0) return &c;
  return nullptr;
}

bool empty(const RECT& r) {
  return r.right <= r.left || r.bottom <= r.top;
}

void set_update(HWND w, bool on) {
  if (w->has_update != on) g_windows_needing_paint += on ? 1 : -1;
  w->has_update = on;
  if (!on) w->erase = false;
}

// Replaces the surface by one of the new size, keeping what fits, as a
// window's bits survive a resize until they are repainted.
void resize_surface(HWND w, int cx, int cy) {
  auto fresh = std::make_shared<Surface>(cx, cy);
  std::lock_guard<std::mutex> hold(w->lock);
  if (w->surface) {
    const int cw = std::min(cx, w->surface->w), ch = std::min(cy, w->surface->h);
    for (int y = 0; y < ch; ++y)
      for (int x = 0; x < cw; ++x) fresh->set(x, y, w->surface->get(x, y));
  }
  w->surface = fresh;
  w->clip_w = w->minimized ? 0 : cx;
  w->clip_h = w->minimized ? 0 : cy;
}

bool live(HWND hwnd) {
  return in_table(hwnd, g_win.slots, kMaxWindows) && hwnd->used && !hwnd->destroyed;
}

}  // namespace

HWND window_from_handle(HWND hwnd) {
  if (!live(hwnd)) {
    fail(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  return hwnd;
}

HWND window_from_sdl_id(uint32_t id) {
  for (int i = 0; i < g_win.used; ++i) {
    HWND w = &g_win.slots[i];
    if (!w->destroyed && w->sdl_id == id) return w;
  }
  return nullptr;
}

int window_count() {
  return g_win.used;
}

HWND window_at(int i) {
  HWND w = &g_win.slots[i];
  return w->destroyed ? nullptr : w;
}

void window_invalidate(HWND w, const RECT* r, bool erase) {
  RECT all = {0, 0, w->width, w->height};
  RECT add = r ? *r : all;
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

void window_validate(HWND w) {
  set_update(w, false);
}

void window_resize(HWND w, int cx, int cy) {
  cx = std::max(cx, 0);
  cy = std::max(cy, 0);
  const int old_w = w->width, old_h = w->height;
  if (cx == old_w && cy == old_h && w->size_sent) return;
  resize_surface(w, cx, cy);
  w->width = cx;
  w->height = cy;
  if (w->update.right > cx) w->update.right = cx;
  if (w->update.bottom > cy) w->update.bottom = cy;
  if (((w->cls.style & CS_HREDRAW) && cx != old_w) ||
      ((w->cls.style & CS_VREDRAW) && cy != old_h)) {
    window_invalidate(w, nullptr, true);
  } else {  // only the newly uncovered strips
    RECT right = {old_w, 0, cx, cy}, bottom = {0, old_h, cx, cy};
    window_invalidate(w, &right, true);
    window_invalidate(w, &bottom, true);
  }
  w->size_sent = true;
  if (!w->minimized) SendMessageA(w, WM_SIZE, SIZE_RESTORED, MAKELPARAM(cx, cy));
}

void window_minimize(HWND w, bool minimized) {
  if (w->minimized == minimized) return;
  w->minimized = minimized;
  {
    std::lock_guard<std::mutex> hold(w->lock);
    w->clip_w = minimized ? 0 : w->width;
    w->clip_h = minimized ? 0 : w->height;
  }
  if (minimized) {
    SendMessageA(w, WM_SIZE, SIZE_MINIMIZED, 0);
    return;
  }
  window_invalidate(w, nullptr, true);  // a restored window is repainted whole
  SendMessageA(w, WM_SIZE, SIZE_RESTORED, MAKELPARAM(w->width, w->height));
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
    complain("RegisterClassExA", "extra bytes and menus are not supported");
    fail(ERROR_NOT_SUPPORTED);
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
    complain("CreateWindowExA", "child windows and menus are not supported");
    fail(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  WindowClass* cls = class_name && !IS_INTRESOURCE(class_name) ? find_class(class_name) : nullptr;
  if (!cls) {
    fail(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
  }
  if (g_win.used == kMaxWindows) {
    fail(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (!sdl_ready()) return nullptr;  // reason already on stderr, error set

  const int cx = width == CW_USEDEFAULT || width <= 0 ? kDefaultWidth : width;
  const int cy = height == CW_USEDEFAULT || height <= 0 ? kDefaultHeight : height;
  const int px = x == CW_USEDEFAULT ? static_cast<int>(SDL_WINDOWPOS_UNDEFINED) : x;
  const int py = y == CW_USEDEFAULT ? static_cast<int>(SDL_WINDOWPOS_UNDEFINED) : y;
  Uint32 flags = SDL_WINDOW_HIDDEN;
  if (style & WS_THICKFRAME) flags |= SDL_WINDOW_RESIZABLE;
  SDL_Window* sdl = SDL_CreateWindow(title ? title : "", px, py, cx, cy, flags);
  if (!sdl) {
    complain("SDL_CreateWindow", SDL_GetError());
    fail(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }

  HWND w = &g_win.slots[g_win.used++];
  w->used = true;
  w->cls = *cls;
  w->title = title ? title : "";
  w->sdl = sdl;
  w->sdl_id = SDL_GetWindowID(sdl);
  w->width = cx;
  w->height = cy;
  resize_surface(w, cx, cy);
  window_set_icon(w, cls->icon);
  if (SendMessageA(w, WM_CREATE, 0, 0) == -1) {
    DestroyWindow(w);
    fail(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return w;
}

BOOL WINAPI IsWindow(HWND hwnd) {
  return live(hwnd);
}

BOOL WINAPI DestroyWindow(HWND hwnd) {
  HWND w = window_from_handle(hwnd);
  if (!w) return FALSE;
  SendMessageA(w, WM_DESTROY, 0, 0);
  SendMessageA(w, WM_NCDESTROY, 0, 0);
  set_update(w, false);
  w->destroyed = true;
  {
    // A worker's DC keeps its own reference; the pixels go when it is released.
    std::lock_guard<std::mutex> hold(w->lock);
    w->surface.reset();
    w->clip_w = w->clip_h = 0;
  }
  SDL_DestroyWindow(w->sdl);
  w->sdl = nullptr;
  return TRUE;
}

BOOL WINAPI ShowWindow(HWND hwnd, int cmd) {
  HWND w = window_from_handle(hwnd);
  if (!w) return FALSE;
  const BOOL was_visible = w->visible;
  switch (cmd) {
    case SW_HIDE:
      SDL_HideWindow(w->sdl);
      w->visible = false;
      return was_visible;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
      SDL_ShowWindow(w->sdl);
      w->visible = true;
      SDL_MinimizeWindow(w->sdl);
      if (!w->size_sent) window_resize(w, w->width, w->height);
      window_minimize(w, true);
      return was_visible;
    case SW_SHOWNORMAL:
    case SW_SHOW:
    case SW_RESTORE:
    case SW_SHOWDEFAULT:
    case SW_MAXIMIZE:
      SDL_ShowWindow(w->sdl);
      if (cmd == SW_MAXIMIZE) SDL_MaximizeWindow(w->sdl);
      if (w->minimized) SDL_RestoreWindow(w->sdl);
      if (!w->visible) window_invalidate(w, nullptr, true);
      w->visible = true;
      if (!w->size_sent) window_resize(w, w->width, w->height);
      window_minimize(w, false);
      return was_visible;
  }
  complain("ShowWindow", "unsupported show command");
  fail(ERROR_INVALID_PARAMETER);
  return was_visible;
}

BOOL WINAPI UpdateWindow(HWND hwnd) {
  HWND w = window_from_handle(hwnd);
  if (!w) return FALSE;
  if (w->has_update && w->visible && !w->minimized) SendMessageA(w, WM_PAINT, 0, 0);
  return TRUE;
}

BOOL WINAPI InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
  if (!hwnd) {
    complain("InvalidateRect", "a null window (all windows) is not supported");
    fail(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  HWND w = window_from_handle(hwnd);
  if (!w) return FALSE;
  window_invalidate(w, rect, erase != FALSE);
  return TRUE;
}

BOOL WINAPI GetClientRect(HWND hwnd, LPRECT rect) {
  HWND w = window_from_handle(hwnd);
  if (!w || !rect) return FALSE;
  *rect = {0, 0, w->minimized ? 0 : w->width, w->minimized ? 0 : w->height};
  return TRUE;
}

BOOL WINAPI SetWindowPos(HWND hwnd, HWND insert_after, int x, int y, int cx, int cy, UINT flags) {
  (void)insert_after;
  HWND w = window_from_handle(hwnd);
  if (!w) return FALSE;
  if (!(flags & SWP_NOMOVE)) SDL_SetWindowPosition(w->sdl, x, y);
  if (!(flags & SWP_NOSIZE)) {
    if (cx <= 0 || cy <= 0) {  // SDL windows cannot be 0 wide; Win32 allows it
      complain("SetWindowPos", "a client size below 1 x 1 is not supported");
      fail(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    SDL_SetWindowSize(w->sdl, cx, cy);
    if (!w->minimized) window_resize(w, cx, cy);
  }
  return TRUE;
}
