// Backend: SDL2 on X11 or Wayland, behind backend.h.
// The only file of the layer that includes SDL (and Xlib, for the X server's
// error paths); its message boxes are backend_x11_box.cpp (X11) and
// backend_wayland_box.cpp (Wayland), their text's lines box_text.h.
//
// Implemented:
//  [x] One top-level window per program window, for its whole life: show,
//      hide, minimise, maximise, restore, size, position, title, icon.
//  [x] Software presenting through SDL's window framebuffer (X11 shared
//      memory), never a GL renderer.
//  [x] Keys (SDL's names are keys.h's), window events, the close box.
//  [x] The message box, the layer's own on X11 and Wayland (SDL's outlive
//      the program).
//  [x] A window destroyed by another program, or a lost display, ends the
//      program with one line.
// Not implemented:
//  [ ] The message box under any other SDL video driver (the text goes to
//      stderr), no silent fallback to an offscreen driver, no mouse, no
//      clipboard, no cursor.
// Limits and differences a program can see: platform/include/windows.h,
// entries 1, 5, 6, 8, 9, 13, 14 and 24.
#include <SDL.h>
#include <SDL_syswm.h>
#include <errno.h>  // program_invocation_short_name
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <atomic>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "backend.h"
#include "backend_wayland_box.h"
#include "keys.h"

#if defined(SDL_VIDEO_DRIVER_X11)
#include <X11/Xlib.h>

#include "backend_x11_box.h"
#endif

namespace plat {
namespace backend {

namespace {

struct WindowState {
  SDL_Surface* surface = nullptr;  // the framebuffer last handed out
  int width = 0, height = 0;
  uint32_t generation = 0;
  uint64_t native = 0;           // X window, for telling its DestroyNotify apart
  std::vector<uint32_t> shadow;  // 0x00RRGGBB copy when the screen is another format
};

struct BackendState {
  int opened = 0;  // 0 not tried, 1 open, -1 no display
  std::string reason;
  Uint32 wake_event = 0;
  std::atomic<bool> wake_ready{false};
  std::unordered_map<WindowId, WindowState> windows;
  std::unordered_set<uint64_t> destroyed;  // native windows we destroyed ourselves
};
BackendState g_b;

// Ends the program from inside the X library's error paths, where going on
// is impossible and its own handlers would print several lines and exit or
// abort.  One line, exit code 1.
[[noreturn]] void die(const char* why) {
  fprintf(stderr, "%s: %s\n", program_invocation_short_name, why);
  fflush(nullptr);
  _exit(1);
}

#if defined(SDL_VIDEO_DRIVER_X11)
int on_x_io_error(Display*) {
  die("lost the connection to the display");
}

int on_x_error(Display* display, XErrorEvent* e) {
  if (e->error_code == BadWindow || e->error_code == BadDrawable) {
    // Requests still under way when we destroyed a window ourselves fail
    // harmlessly; a window of ours that vanished otherwise cannot go on.
    if (g_b.destroyed.count(e->resourceid)) return 0;
    die("the window was destroyed by another program");
  }
  char text[160];
  XGetErrorText(display, e->error_code, text, sizeof text);
  char line[256];
  snprintf(line, sizeof line, "the display reported an error: %s (request %u)", text,
           static_cast<unsigned>(e->request_code));
  die(line);
}
#endif

bool video_init() {
  const char* forced = getenv("SDL_VIDEODRIVER");
  if (forced && *forced) return SDL_Init(SDL_INIT_VIDEO) == 0;
  // SDL would fall back to its offscreen driver without a display, and the
  // program would run on with no window: only real displays are tried, and
  // Wayland only where one is named (its library complains on stderr).
  const char* wayland = getenv("WAYLAND_DISPLAY");
  for (const char* driver : {"x11", "wayland"}) {
    if (driver[0] == 'w' && (!wayland || !*wayland)) continue;
    SDL_SetHint(SDL_HINT_VIDEODRIVER, driver);
    if (SDL_Init(SDL_INIT_VIDEO) == 0) return true;
  }
  return false;
}

std::string no_display_reason() {
  const char* display = getenv("DISPLAY");
  const char* wayland = getenv("WAYLAND_DISPLAY");
  if ((!display || !*display) && (!wayland || !*wayland)) return "no display (DISPLAY is not set)";
  std::string why = "no display: cannot open display \"";
  why += display && *display ? display : wayland;
  return why + "\"";
}

SDL_Window* window(WindowId id) {
  return id ? SDL_GetWindowFromID(id) : nullptr;
}

// SDL names its keys as the key table does ("Escape", "Left Alt", "A").
bool key_event(SDL_Keycode sym, Uint16 mod, bool down, bool repeat, WindowId id, Event* e) {
  int vk = 0, scan = 0;
  if (!key_by_name(SDL_GetKeyName(sym), &vk, &scan)) return false;
  e->kind = Event::kKey;
  e->window = id;
  e->a = vk;
  e->b = scan;
  e->down = down;
  e->repeat = repeat;
  e->alt = (mod & KMOD_ALT) != 0;
  return true;
}

bool window_event(const SDL_WindowEvent& w, Event* e) {
  static const struct {
    Uint8 sdl;
    Event::Kind kind;
  } kinds[] = {
      {SDL_WINDOWEVENT_CLOSE, Event::kClose},
      {SDL_WINDOWEVENT_MINIMIZED, Event::kMinimized},
      {SDL_WINDOWEVENT_MAXIMIZED, Event::kMaximized},
      {SDL_WINDOWEVENT_RESTORED, Event::kRestored},
      {SDL_WINDOWEVENT_EXPOSED, Event::kExposed},
      {SDL_WINDOWEVENT_SIZE_CHANGED, Event::kResized},
      {SDL_WINDOWEVENT_FOCUS_GAINED, Event::kFocusGained},
      {SDL_WINDOWEVENT_FOCUS_LOST, Event::kFocusLost},
  };
  for (const auto& k : kinds)
    if (k.sdl == w.event) {
      e->kind = k.kind;
      e->window = w.windowID;
      e->a = w.data1;
      e->b = w.data2;
      return true;
    }
  return false;
}

// A window of ours destroyed by another program (xdotool windowclose, a
// window manager's kill): nothing can be drawn or closed any more.
void check_lost_window(const SDL_SysWMmsg* m) {
#if defined(SDL_VIDEO_DRIVER_X11)
  if (m->subsystem != SDL_SYSWM_X11 || m->msg.x11.event.type != DestroyNotify) return;
  const uint64_t xid = m->msg.x11.event.xdestroywindow.window;
  for (const auto& entry : g_b.windows)
    if (entry.second.native == xid) die("the window was destroyed by another program");
#else
  (void)m;
#endif
}

bool translate(const SDL_Event& s, Event* e) {
  switch (s.type) {
    case SDL_WINDOWEVENT:
      return window_event(s.window, e);
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      return key_event(s.key.keysym.sym, s.key.keysym.mod, s.type == SDL_KEYDOWN, s.key.repeat != 0,
                       s.key.windowID, e);
    case SDL_SYSWMEVENT:
      check_lost_window(s.syswm.msg);
      return false;
  }
  return false;
}

}  // namespace

// The native window (an X window id; 0 when there is none), also the tests'
// answer (testing/native_sdl.cpp).
uint64_t native_id(WindowId id) {
  SDL_Window* w = window(id);
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!w || !SDL_GetWindowWMInfo(w, &info)) return 0;
#if defined(SDL_VIDEO_DRIVER_X11)
  if (info.subsystem == SDL_SYSWM_X11) return info.info.x11.window;
#endif
  return 0;
}

bool open(std::string* reason) {
  if (g_b.opened == 0) {
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");  // Ctrl+C still ends a program
    // Without a GPU SDL's default, an OpenGL framebuffer, is a software
    // rasteriser that takes most of the processor, and it replaces the
    // window by a new one when the surface is first taken.
    SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_OVERRIDE);
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    if (video_init()) {
      g_b.opened = 1;
      g_b.wake_event = SDL_RegisterEvents(1);
      g_b.wake_ready = true;
      SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
#if defined(SDL_VIDEO_DRIVER_X11)
      if (strcmp(SDL_GetCurrentVideoDriver(), "x11") == 0) {
        XSetErrorHandler(on_x_error);
        XSetIOErrorHandler(on_x_io_error);
      }
#endif
      // No SDL_Quit at exit: it would put back Xlib's default error handler,
      // which ends the process with exit code 1 on the late answer to a
      // request about a window we destroyed.  The system frees the rest.
    } else {
      g_b.opened = -1;
      const char* forced = getenv("SDL_VIDEODRIVER");
      g_b.reason = forced && *forced ? std::string("cannot start the \"") + forced +
                                           "\" video driver: " + SDL_GetError()
                                     : no_display_reason();
    }
  }
  if (g_b.opened < 0 && reason) *reason = g_b.reason;
  return g_b.opened > 0;
}

bool default_window_size(int*, int*) {
  return false;  // the window manager places the window, the layer sizes it
}

WindowId create_window(const char* title, int width, int height, bool resizable,
                       std::string* reason) {
  if (!open(reason)) return 0;
  Uint32 flags = SDL_WINDOW_HIDDEN;
  if (resizable) flags |= SDL_WINDOW_RESIZABLE;
  SDL_Window* w = SDL_CreateWindow(title, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width,
                                   height, flags);
  if (!w) {
    if (reason) *reason = SDL_GetError();
    return 0;
  }
  const WindowId id = SDL_GetWindowID(w);
  WindowState& state = g_b.windows[id];
  state.native = native_id(id);
  return id;
}

void destroy_window(WindowId id) {
  auto it = g_b.windows.find(id);
  if (it != g_b.windows.end()) {
    g_b.destroyed.insert(it->second.native);
    g_b.windows.erase(it);  // before SDL's DestroyNotify arrives: not a loss
  }
  if (SDL_Window* w = window(id)) SDL_DestroyWindow(w);
}

void show_window(WindowId id) {
  if (SDL_Window* w = window(id)) SDL_ShowWindow(w);
}
void hide_window(WindowId id) {
  if (SDL_Window* w = window(id)) SDL_HideWindow(w);
}
void minimize_window(WindowId id) {
  if (SDL_Window* w = window(id)) SDL_MinimizeWindow(w);
}
void maximize_window(WindowId id) {
  if (SDL_Window* w = window(id)) SDL_MaximizeWindow(w);
}
void restore_window(WindowId id) {
  if (SDL_Window* w = window(id)) SDL_RestoreWindow(w);
}
void set_window_size(WindowId id, int width, int height) {
  if (SDL_Window* w = window(id)) SDL_SetWindowSize(w, width, height);
}
void set_window_position(WindowId id, int x, int y) {
  if (SDL_Window* w = window(id)) SDL_SetWindowPosition(w, x, y);
}

void set_window_icon(WindowId id, const uint32_t* argb, int width, int height) {
  SDL_Window* w = window(id);
  if (!w || !argb) return;
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(argb), width, height,
                                                      32, width * 4, SDL_PIXELFORMAT_ARGB8888);
  if (!s) return;
  SDL_SetWindowIcon(w, s);  // SDL keeps its own copy
  SDL_FreeSurface(s);
}

bool framebuffer(WindowId id, Framebuffer* fb) {
  SDL_Window* w = window(id);
  auto it = g_b.windows.find(id);
  if (!w || it == g_b.windows.end()) return false;
  SDL_Surface* s = SDL_GetWindowSurface(w);
  if (!s) return false;  // not mapped yet; the next exposure presents again
  WindowState& state = it->second;
  if (s != state.surface || s->w != state.width || s->h != state.height) {
    state.surface = s;
    state.width = s->w;
    state.height = s->h;
    ++state.generation;
  }
  fb->width = s->w;
  fb->height = s->h;
  fb->generation = state.generation;
  if (s->format->format == SDL_PIXELFORMAT_RGB888) {
    fb->pixels = static_cast<uint32_t*>(s->pixels);
    fb->pitch = s->pitch / 4;
  } else {  // another depth: draw into a copy, converted at present()
    state.shadow.resize(static_cast<size_t>(s->w) * static_cast<size_t>(s->h));
    fb->pixels = state.shadow.data();
    fb->pitch = s->w;
  }
  return true;
}

void present(WindowId id, const Rect* rects, int count) {
  SDL_Window* w = window(id);
  auto it = g_b.windows.find(id);
  if (!w || it == g_b.windows.end() || count <= 0 || !it->second.surface) return;
  WindowState& state = it->second;
  SDL_Surface* s = state.surface;
  if (s->format->format != SDL_PIXELFORMAT_RGB888 && !state.shadow.empty()) {
    for (int i = 0; i < count; ++i) {
      const Rect& r = rects[i];
      const uint32_t* from = state.shadow.data() + static_cast<size_t>(r.y) * s->w + r.x;
      uint8_t* to = static_cast<uint8_t*>(s->pixels) + static_cast<size_t>(r.y) * s->pitch +
                    static_cast<size_t>(r.x) * s->format->BytesPerPixel;
      SDL_ConvertPixels(r.w, r.h, SDL_PIXELFORMAT_RGB888, from, s->w * 4, s->format->format, to,
                        s->pitch);
    }
  }
  static_assert(sizeof(Rect) == sizeof(SDL_Rect), "a Rect is an SDL_Rect");
  SDL_UpdateWindowSurfaceRects(w, reinterpret_cast<const SDL_Rect*>(rects), count);
}

bool poll_event(Event* e) {
  if (g_b.opened <= 0) return false;
  SDL_Event s;
  while (SDL_PollEvent(&s)) {
    *e = Event();
    if (translate(s, e)) return true;
  }
  return false;
}

void wait_event(int ms) {
  if (g_b.opened > 0)
    SDL_WaitEventTimeout(nullptr, ms);
  else
    SDL_Delay(static_cast<Uint32>(ms));
}

void wake() {
  if (!g_b.wake_ready.load()) return;
  SDL_Event e = {};
  e.type = g_b.wake_event;
  SDL_PushEvent(&e);
}

// SDL's box would outlive a program killed while it is up (a forked child
// on X11, zenity on Wayland), so the layer shows its own: drawn by the
// program on X11 (backend_x11_box.cpp), a zenity that dies with it on
// Wayland (backend_wayland_box.cpp).  Other drivers (dummy, offscreen,
// kmsdrm) have no window system to show one on.
bool message_box(const char* caption, const char* text) {
  if (g_b.opened <= 0) return false;
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!driver) return false;
#if defined(SDL_VIDEO_DRIVER_X11)
  if (strcmp(driver, "x11") == 0) return x11_message_box(caption, text);
#endif
  if (strcmp(driver, "wayland") == 0) return wayland_message_box(caption, text);
  return false;
}

}  // namespace backend
}  // namespace plat
