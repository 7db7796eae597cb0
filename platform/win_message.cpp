// Messages: the queue, PeekMessageA / GetMessageA, dispatching, the default
// window procedure, SDL event translation and presenting the client pixels.
//
// Retrieval order is Win32's: posted messages (keys included), then WM_QUIT,
// then WM_PAINT for a visible window with an update region.
// Differs from Win32: one queue for the process, read by the thread that
// created the windows; the message filters of PeekMessageA / GetMessageA are
// not supported (they must be NULL, 0, 0).
#include <SDL.h>

#include <chrono>
#include <deque>
#include <vector>

#include "internal.h"

namespace plat {

void present(HWND w);

namespace {

const uint64_t kPumpIntervalMs = 1;      // how often an idle loop asks the window system
const uint64_t kPresentIntervalMs = 16;  // about 60 Hz
const int kPeeksPerClockCheck = 32;      // reading the clock on every peek would cost a sample

struct QueueState {
  std::mutex lock;
  std::deque<MSG> posted;
  std::atomic<int> count{0};
  bool quit = false;
  int quit_code = 0;
  int peek_countdown = 0;
  uint64_t last_pump_ms = 0;
  std::atomic<Uint32> wake_event{0};  // read by posting threads
};
QueueState g_q;

void post(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, bool next = false) {
  MSG m = {hwnd, message, wparam, lparam, static_cast<DWORD>(now_ms()), {0, 0}};
  {
    std::lock_guard<std::mutex> hold(g_q.lock);
    if (next)
      g_q.posted.push_front(m);
    else
      g_q.posted.push_back(m);
    g_q.count.store(static_cast<int>(g_q.posted.size()), std::memory_order_relaxed);
  }
  const Uint32 wake = g_q.wake_event.load();
  if (wake != 0 && wake != static_cast<Uint32>(-1)) {
    SDL_Event e = {};
    e.type = wake;
    SDL_PushEvent(&e);  // wakes a GetMessageA waiting in SDL
  }
}

// Win32 virtual-key code and scan code for an SDL key; 0 when it has none.
WPARAM virtual_key(SDL_Keycode k, int* scan) {
  *scan = 0;
  if (k >= 'a' && k <= 'z') return static_cast<WPARAM>(k - 'a' + 'A');
  if (k >= '0' && k <= '9') return static_cast<WPARAM>(k);
  if (k >= SDLK_F1 && k <= SDLK_F12) {
    *scan = 0x3B + (k - SDLK_F1);
    if (k >= SDLK_F11) *scan = 0x57 + (k - SDLK_F11);
    return static_cast<WPARAM>(VK_F1 + (k - SDLK_F1));
  }
  switch (k) {
    case SDLK_ESCAPE:
      *scan = 0x01;
      return VK_ESCAPE;
    case SDLK_RETURN:
      *scan = 0x1C;
      return VK_RETURN;
    case SDLK_BACKSPACE:
      *scan = 0x0E;
      return VK_BACK;
    case SDLK_TAB:
      *scan = 0x0F;
      return VK_TAB;
    case SDLK_SPACE:
      *scan = 0x39;
      return VK_SPACE;
    case SDLK_LALT:
    case SDLK_RALT:
      *scan = 0x38;
      return VK_MENU;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
      *scan = 0x1D;
      return VK_CONTROL;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
      *scan = 0x2A;
      return VK_SHIFT;
    case SDLK_LEFT:
      return VK_LEFT;
    case SDLK_RIGHT:
      return VK_RIGHT;
    case SDLK_UP:
      return VK_UP;
    case SDLK_DOWN:
      return VK_DOWN;
    case SDLK_HOME:
      return VK_HOME;
    case SDLK_END:
      return VK_END;
    case SDLK_PAGEUP:
      return VK_PRIOR;
    case SDLK_PAGEDOWN:
      return VK_NEXT;
    case SDLK_INSERT:
      return VK_INSERT;
    case SDLK_DELETE:
      return VK_DELETE;
    case SDLK_PAUSE:
      return VK_PAUSE;
  }
  return 0;
}

// Keys are posted like Win32's input: WM_SYSKEYDOWN while Alt is held, for
// Alt itself and for F10; lParam carries repeat count, scan code, context
// (Alt) bit, previous state and transition bits.
void translate_key(const SDL_KeyboardEvent& k) {
  HWND w = window_from_sdl_id(k.windowID);
  int scan = 0;
  const WPARAM vk = virtual_key(k.keysym.sym, &scan);
  if (!w || vk == 0) return;
  const bool down = k.type == SDL_KEYDOWN;
  const bool alt = (k.keysym.mod & KMOD_ALT) != 0 || (vk == VK_MENU && down);
  const bool sys = alt || vk == VK_F10 || vk == VK_MENU;
  DWORD lp = 1u | (static_cast<DWORD>(scan) << 16);
  if (alt) lp |= 1u << 29;
  if (!down || k.repeat) lp |= 1u << 30;
  if (!down) lp |= 1u << 31;
  const UINT message = down ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP);
  post(w, message, vk, static_cast<LPARAM>(lp));
}

void translate_window_event(const SDL_WindowEvent& e) {
  HWND w = window_from_sdl_id(e.windowID);
  if (!w) return;
  switch (e.event) {
    case SDL_WINDOWEVENT_SIZE_CHANGED:
      if (!w->minimized) window_resize(w, e.data1, e.data2);
      break;
    case SDL_WINDOWEVENT_MINIMIZED:
      window_minimize(w, true);
      break;
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_MAXIMIZED:
      window_minimize(w, false);
      break;
    case SDL_WINDOWEVENT_EXPOSED:
      window_invalidate(w, nullptr, true);
      break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
      SendMessageA(w, WM_SETFOCUS, 0, 0);
      break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
      SendMessageA(w, WM_KILLFOCUS, 0, 0);
      break;
    case SDL_WINDOWEVENT_CLOSE:  // the close box: the system menu's Close
      SendMessageA(w, WM_SYSCOMMAND, SC_CLOSE, 0);
      break;
  }
}

// Asks the window system for news and shows what changed.  Window thread only.
void pump() {
  g_q.last_pump_ms = now_ms();
  if (!sdl_ready()) return;
  SDL_Event e;
  while (SDL_PollEvent(&e)) {
    if (e.type == SDL_WINDOWEVENT) translate_window_event(e.window);
    if (e.type == SDL_KEYDOWN || e.type == SDL_KEYUP) translate_key(e.key);
  }
  for (int i = 0; i < window_count(); ++i)
    if (HWND w = window_at(i)) present(w);
}

// Takes the next message in Win32's order; false when there is none.
bool take(MSG* msg, bool remove) {
  if (g_q.count.load(std::memory_order_relaxed) > 0) {
    std::lock_guard<std::mutex> hold(g_q.lock);
    if (!g_q.posted.empty()) {
      *msg = g_q.posted.front();
      if (remove) g_q.posted.pop_front();
      g_q.count.store(static_cast<int>(g_q.posted.size()), std::memory_order_relaxed);
      return true;
    }
  }
  if (g_q.quit) {
    *msg = {nullptr, WM_QUIT, static_cast<WPARAM>(g_q.quit_code), 0, 0, {0, 0}};
    if (remove) g_q.quit = false;
    return true;
  }
  if (g_windows_needing_paint > 0) {
    for (int i = 0; i < window_count(); ++i) {
      HWND w = window_at(i);
      if (w && w->has_update && w->visible && !w->minimized) {
        *msg = {w, WM_PAINT, 0, 0, 0, {0, 0}};
        return true;  // stays until BeginPaint validates, as in Win32
      }
    }
  }
  return false;
}

bool filters_supported(const char* call, HWND hwnd, UINT first, UINT last) {
  if (!hwnd && first == 0 && last == 0) return true;
  complain(call, "window and message filters are not supported");
  fail(ERROR_NOT_SUPPORTED);
  return false;
}

}  // namespace

uint64_t now_ms() {
  using namespace std::chrono;
  return static_cast<uint64_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// Shows the window's pixels if they changed, at most once a frame.
void present(HWND w) {
  if (!w->visible || w->minimized || !w->sdl) return;
  std::shared_ptr<Surface> s;
  {
    std::lock_guard<std::mutex> hold(w->lock);
    s = w->surface;
  }
  const uint64_t now = now_ms();
  if (!s || !s->dirty.load(std::memory_order_relaxed)) return;
  if (now - w->last_present_ms < kPresentIntervalMs) return;
  w->last_present_ms = now;
  // Pairs with the drawing threads' release: the pixels copied below are at
  // least as new as the flag taken here.
  s->dirty.exchange(false, std::memory_order_acquire);

  SDL_Surface* screen = SDL_GetWindowSurface(w->sdl);
  if (!screen) return;  // not mapped yet; the next expose repaints
  static thread_local std::vector<uint32_t> staging;
  staging.resize(static_cast<size_t>(s->w) * static_cast<size_t>(s->h));
  for (size_t i = 0; i < staging.size(); ++i) staging[i] = s->px[i].load(std::memory_order_relaxed);
  SDL_Surface* src = SDL_CreateRGBSurfaceWithFormatFrom(staging.data(), s->w, s->h, 32, s->w * 4,
                                                        SDL_PIXELFORMAT_RGB888);
  if (!src) return;
  SDL_Rect area = {0, 0, s->w, s->h};
  SDL_BlitSurface(src, &area, screen, nullptr);  // converts format and pitch
  SDL_FreeSurface(src);
  SDL_UpdateWindowSurface(w->sdl);
}

void pump_now() {
  pump();
}

}  // namespace plat

using namespace plat;

BOOL WINAPI PeekMessageA(LPMSG msg, HWND hwnd, UINT first, UINT last, UINT remove) {
  if (!msg || !filters_supported("PeekMessageA", hwnd, first, last)) return FALSE;
  if (--g_q.peek_countdown <= 0) {
    g_q.peek_countdown = kPeeksPerClockCheck;
    if (now_ms() - g_q.last_pump_ms >= kPumpIntervalMs) pump();
  }
  return take(msg, (remove & PM_REMOVE) != 0) ? TRUE : FALSE;
}

BOOL WINAPI GetMessageA(LPMSG msg, HWND hwnd, UINT first, UINT last) {
  if (!msg || !filters_supported("GetMessageA", hwnd, first, last)) return -1;
  if (g_q.wake_event == 0 && sdl_ready()) g_q.wake_event = SDL_RegisterEvents(1);
  for (;;) {
    pump();
    if (take(msg, true)) return msg->message == WM_QUIT ? FALSE : TRUE;
    // Sleep in the window system until an event, or until it is time to
    // show what a worker thread drew meanwhile.
    if (sdl_ready())
      SDL_WaitEventTimeout(nullptr, static_cast<int>(kPresentIntervalMs));
    else
      SDL_Delay(static_cast<Uint32>(kPresentIntervalMs));
  }
}

BOOL WINAPI TranslateMessage(const MSG* msg) {
  if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) return FALSE;
  // Differs from Win32: only keys with a fixed character (letters as capitals).
  const WPARAM vk = msg->wParam;
  WPARAM ch = 0;
  if (vk == VK_ESCAPE || vk == VK_RETURN || vk == VK_BACK || vk == VK_TAB || vk == VK_SPACE)
    ch = vk;
  if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z')) ch = vk;
  if (ch == 0) return FALSE;
  // The character comes next, before any key-up already queued, as in Win32.
  post(msg->hwnd, msg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR, ch, msg->lParam, true);
  return TRUE;
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
  if (!msg || !msg->hwnd) return 0;
  HWND w = window_from_handle(msg->hwnd);
  if (!w) return 0;
  return w->cls.proc(w, msg->message, msg->wParam, msg->lParam);
}

LRESULT WINAPI SendMessageA(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  HWND w = window_from_handle(hwnd);
  if (!w) return 0;
  return w->cls.proc(w, message, wparam, lparam);
}

BOOL WINAPI PostMessageA(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (hwnd && !window_from_handle(hwnd)) return FALSE;
  post(hwnd, message, wparam, lparam);
  return TRUE;
}

void WINAPI PostQuitMessage(int exit_code) {
  g_q.quit = true;
  g_q.quit_code = exit_code;
}

LRESULT WINAPI DefWindowProcA(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  HWND w = window_from_handle(hwnd);
  if (!w) return 0;
  switch (message) {
    case WM_CLOSE:
      DestroyWindow(w);
      return 0;
    case WM_SYSCOMMAND:
      if ((wparam & 0xFFF0) == SC_CLOSE) SendMessageA(w, WM_CLOSE, 0, 0);
      return 0;
    case WM_SYSKEYDOWN:
      if (wparam == VK_F4 && (lparam & (1 << 29))) PostMessageA(w, WM_SYSCOMMAND, SC_CLOSE, 0);
      return 0;
    case WM_ERASEBKGND: {
      HDC dc = dc_from_handle(reinterpret_cast<HDC>(wparam));
      if (!dc || !w->cls.background) return 0;
      FillRect(dc, &dc->clip, w->cls.background);
      return 1;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(w, &ps);
      EndPaint(w, &ps);
      return 0;
    }
  }
  return 0;
}
