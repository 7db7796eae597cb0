// State shared by the platform's modules.  Not for programs: they see only
// <windows.h> and <rainbow_platform.h>.
#ifndef RAINBOW_PLATFORM_INTERNAL_H
#define RAINBOW_PLATFORM_INTERNAL_H

#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

struct SDL_Window;

namespace plat {

// A window's client pixels, 0x00RRGGBB.  Pixels are relaxed atomics so that a
// worker thread may draw while the window thread presents; a DC keeps the
// surface it was given alive, so a resize or destroy never frees it under one.
struct Surface {
  Surface(int width, int height);
  const int w, h;
  std::unique_ptr<std::atomic<uint32_t>[]> px;
  std::atomic<bool> dirty{true};

  void set(int x, int y, uint32_t rgb) {
    px[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)].store(
        rgb, std::memory_order_relaxed);
  }
  uint32_t get(int x, int y) const {
    return px[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)].load(
        std::memory_order_relaxed);
  }
};

struct WindowClass {
  std::string name;
  UINT style = 0;
  WNDPROC proc = nullptr;
  HBRUSH background = nullptr;
  HICON icon = nullptr;
};

}  // namespace plat

// Handles are pointers into fixed tables, so a stale or foreign handle is
// recognised by range instead of being dereferenced.
struct HWND__ {
  bool used = false;                   // slot taken (never reused, so stale handles stay invalid)
  std::atomic<bool> destroyed{false};  // after DestroyWindow; read by drawing threads
  plat::WindowClass cls;
  std::string title;
  SDL_Window* sdl = nullptr;
  uint32_t sdl_id = 0;
  int width = 0, height = 0;  // client size while not minimised
  bool visible = false, minimized = false, size_sent = false;
  // Differs from Win32: the update region is kept as its bounding rectangle.
  bool has_update = false, erase = false;
  RECT update = {0, 0, 0, 0};
  uint64_t last_present_ms = 0;
  // Guarded by lock: read by any thread's GetDC.
  std::mutex lock;
  std::shared_ptr<plat::Surface> surface;
  int clip_w = 0, clip_h = 0;  // drawable client area (0 x 0 while minimised)
};

struct HDC__ {
  std::atomic<bool> in_use{false};
  HWND hwnd = nullptr;
  std::shared_ptr<plat::Surface> surface;
  RECT clip = {0, 0, 0, 0};
};

struct HBRUSH__ {
  COLORREF color;
  bool hollow;
};

struct HICON__ {
  int w = 0, h = 0;
  std::unique_ptr<uint32_t[]> rgba;  // 0xAARRGGBB, null for the system cursor
};

namespace plat {

// True when `h` names one of the `n` entries of `table`: a value inside the
// table that is not the start of an entry is as foreign as any other, and
// must not be dereferenced.
template <typename T>
bool in_table(const T* h, const T* table, int n) {
  const uintptr_t p = reinterpret_cast<uintptr_t>(h), first = reinterpret_cast<uintptr_t>(table);
  return p >= first && p - first < sizeof(T) * static_cast<size_t>(n) &&
         (p - first) % sizeof(T) == 0;
}

// Client pixels are 0x00RRGGBB; GDI colours are COLORREF (0x00BBGGRR).
inline uint32_t rgb_from_colorref(COLORREF c) {
  return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}
inline COLORREF colorref_from_rgb(uint32_t v) {
  return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

// win_window.cpp
HWND window_from_handle(HWND hwnd);  // the live window, or null (sets ERROR_INVALID_WINDOW_HANDLE)
HWND window_from_sdl_id(uint32_t id);
int window_count();
HWND window_at(int i);
void window_resize(HWND w, int cx, int cy);  // sends WM_SIZE; invalidates as the class asks
void window_minimize(HWND w, bool minimized);
void window_invalidate(HWND w, const RECT* r, bool erase);
void window_validate(HWND w);
extern int g_windows_needing_paint;

// win_message.cpp
void pump_now();
uint64_t now_ms();

// win_gdi.cpp
HDC dc_acquire(HWND w, const RECT* clip);  // null when the pool is exhausted
void dc_release(HDC dc);
HDC dc_from_handle(HDC dc);

// win_picture.cpp
void window_set_icon(HWND w, HICON icon);

// win_kernel.cpp
void fail(DWORD error);                            // SetLastError
void complain(const char* call, const char* why);  // one line on stderr for unsupported use
bool sdl_ready();                                  // SDL video initialised (lazily)

}  // namespace plat

#endif  // RAINBOW_PLATFORM_INTERNAL_H
