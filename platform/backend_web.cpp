// Backend: a web browser's page (Emscripten), behind backend.h.
// The only file of the layer that reaches the page, through its JavaScript
// half beside it, platform/web/backend_web.js.
//
// Implemented:
//  [x] One window: its client area is the page's <canvas>, one canvas pixel
//      per client pixel, and its title the page's.
//  [x] Keys by the browser's KeyboardEvent.code, named as in keys.h.
//  [x] Window events: the page's Close button (the close box), the browser
//      window's size, focus, and the tab's visibility: a page nobody can see
//      is a window that rests (kHidden), not a minimised one, and its
//      program's turns wait until it is seen again (backend_web.js).
//  [x] The message box, as the page's HTML dialog.
//  [x] The program's loop as written: poll_event and wait_event give the
//      browser its turn (Asyncify), at most once a frame.
// Not implemented (the page decides, and the program is told so):
//  [ ] Sizes and positions: after set_window_size the page's real size comes
//      back as a resize; the position is ignored.
//  [ ] Minimise, maximise, restore: a page cannot be minimised by the
//      program, so minimise_window is answered by the page's real state (a
//      restore); maximise changes nothing.
//  [ ] Icons (the page shows the site's own), a second window, wake() from
//      another thread during a wait (it ends when the wait times out).
// Limits and differences a program can see: platform/include/windows.h,
// entry 25 (a to h).
#include <emscripten.h>
#include <stdio.h>

#include <atomic>
#include <deque>
#include <vector>

#include "backend.h"
#include "dib.h"
#include "keys.h"
#include "memory_framebuffer.h"

// The page's side, in platform/web/backend_web.js.
extern "C" {
int rb_web_open(void);
void rb_web_client_size(int* width, int* height);
void rb_web_create_window(const char* title, int width, int height);
void rb_web_put(const uint8_t* rgba, int pitch, int x, int y, int w, int h);
// kind, a, b, flags (1 down, 2 repeat, 4 alt); a key's name (keys.h) in `key`
int rb_web_poll(int* event, char* key, int key_size);
void rb_web_yield(void);   // returns at the browser's next turn
void rb_web_wait(int ms);  // returns on an event or after ms
int rb_web_message_box(const char* caption, const char* text);
double rb_web_now(void);

// The largest picture file the programs read, for the page to refuse a
// larger one before reading it (web/page.js).
EMSCRIPTEN_KEEPALIVE double rb_web_picture_limit(void) {
  return static_cast<double>(plat::kMaxPictureFileBytes);
}
}

namespace plat {
namespace backend {

namespace {

const WindowId kWindow = 1;  // the page holds one canvas
const double kFrameMs = 1000.0 / 60;

struct WebState {
  int opened = 0;  // 0 not tried, 1 open, -1 the page has no canvas for it
  bool exists = false;
  // The page's real size or state, owed after a call that asked for another.
  std::deque<Event> owed;
  int width = 0, height = 0;
  MemoryFramebuffer framebuffer;
  std::vector<uint32_t> rgba;  // the same in the canvas's byte order
  double last_yield = 0;
  std::atomic<bool> woken{false};
};
WebState g_web;

// The canvas's bytes are R, G, B, A in memory.
inline uint32_t to_rgba(uint32_t rgb) {
  return 0xFF000000u | (rgb & 0xFF) << 16 | (rgb & 0xFF00) | (rgb >> 16 & 0xFF);
}

}  // namespace

// The layer asks on every pump whether the display is open: only the first
// call may start the yield clock, or poll_event would never yield.
bool open(std::string* reason) {
  if (!g_web.opened) {
    g_web.opened = rb_web_open() ? 1 : -1;
    g_web.last_yield = rb_web_now();
  }
  if (g_web.opened < 0 && reason) *reason = "the page has no canvas for the program";
  return g_web.opened > 0;
}

bool default_window_size(int* width, int* height) {
  rb_web_client_size(width, height);
  return true;
}

WindowId create_window(const char* title, int width, int height, bool, std::string* reason) {
  if (g_web.exists) {
    if (reason) *reason = "the page holds one window";
    return 0;
  }
  // The page decides the size (?size=WxH, or the browser window's); a
  // different one arrives as the first resize.
  rb_web_create_window(title, width, height);
  g_web.exists = true;
  g_web.width = width;
  g_web.height = height;
  return kWindow;
}

void destroy_window(WindowId id) {
  if (id != kWindow) return;
  g_web.exists = false;
  g_web.owed.clear();
  g_web.framebuffer.pixels = std::vector<uint32_t>();  // its memory back
}

namespace {

void owe(Event::Kind kind, int a = 0, int b = 0) {
  Event e;
  e.kind = kind;
  e.window = kWindow;
  e.a = a;
  e.b = b;
  g_web.owed.push_back(e);
}

}  // namespace

// The page's layout decides: a tab is shown or hidden by the person, and
// the canvas fills the page or keeps its fixed size.  Where the program
// asked for something else, the next poll_event tells it what the page has.
void show_window(WindowId) {}
void hide_window(WindowId) {}
void minimize_window(WindowId id) {
  if (id == kWindow && g_web.exists) owe(Event::kRestored);  // a page is never minimised
}
void maximize_window(WindowId) {}  // as where no window manager runs: no answer
void restore_window(WindowId) {}
void set_window_size(WindowId id, int width, int height) {
  if (id == kWindow && g_web.exists && (width != g_web.width || height != g_web.height))
    owe(Event::kResized, g_web.width, g_web.height);
}
void set_window_position(WindowId, int, int) {}
void set_window_icon(WindowId, const uint32_t*, int, int) {}  // the page's own icon

bool framebuffer(WindowId id, Framebuffer* fb) {
  if (id != kWindow || !g_web.exists) return false;
  if (g_web.framebuffer.take(g_web.width, g_web.height, fb))
    g_web.rgba.assign(g_web.framebuffer.pixels.size(), 0);
  return true;
}

void present(WindowId id, const Rect* rects, int count) {
  if (id != kWindow || !g_web.exists) return;
  const int pitch = g_web.width;
  for (int i = 0; i < count; ++i) {
    const Rect& r = rects[i];
    for (int y = r.y; y < r.y + r.h; ++y) {
      const size_t row = static_cast<size_t>(y) * static_cast<size_t>(pitch);
      for (int x = r.x; x < r.x + r.w; ++x)
        g_web.rgba[row + x] = to_rgba(g_web.framebuffer.pixels[row + x]);
    }
    rb_web_put(reinterpret_cast<const uint8_t*>(g_web.rgba.data()), pitch, r.x, r.y, r.w, r.h);
  }
}

bool poll_event(Event* e) {
  // The browser's turn: it paints, and hands over input, only between our
  // turns.  Once a frame, so a loop that never waits still shares the page.
  const double now = rb_web_now();
  if (now - g_web.last_yield >= kFrameMs) {
    rb_web_yield();
    g_web.last_yield = rb_web_now();
  }
  if (!g_web.owed.empty()) {
    *e = g_web.owed.front();
    g_web.owed.pop_front();
    return g_web.exists;
  }
  int v[4] = {0, 0, 0, 0};
  char key[16] = "";
  do {
    if (!g_web.exists || !rb_web_poll(v, key, sizeof key)) return false;
  } while (v[0] == Event::kKey && !key_by_name(key, &v[1], &v[2]));  // keys the layer knows
  *e = Event();
  e->kind = static_cast<Event::Kind>(v[0]);
  e->window = kWindow;
  e->a = v[1];
  e->b = v[2];
  e->down = (v[3] & 1) != 0;
  e->repeat = (v[3] & 2) != 0;
  e->alt = (v[3] & 4) != 0;
  if (e->kind == Event::kResized) {
    g_web.width = e->a;
    g_web.height = e->b;
  }
  return true;
}

void wait_event(int ms) {
  if (g_web.woken.exchange(false)) return;
  // A worker thread's wake() cannot reach a waiting page: waits stay short.
  rb_web_wait(ms);
  g_web.last_yield = rb_web_now();
  g_web.woken.store(false);
}

void wake() {
  g_web.woken.store(true);
}

bool message_box(const char* caption, const char* text) {
  const bool shown = rb_web_message_box(caption, text) != 0;
  g_web.last_yield = rb_web_now();
  return shown;
}

}  // namespace backend
}  // namespace plat
