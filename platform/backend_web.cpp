// The window-system backend in a web browser (Emscripten): the only file of
// the layer that reaches the page, through the small JavaScript library in
// web/backend_web.js.
//
// Supported: one window, whose client area is the page's <canvas> (one
// canvas pixel per client pixel) and whose title is the page's; keys, the
// page's close button, the browser window's size and the tab's visibility as
// window events; an HTML dialog as the message box.  The program's loop runs
// as written: PeekMessageA and GetMessageA return control to the browser
// inside poll_event and wait_event (Asyncify), at most once a frame.  A page
// nobody can see is a window that rests (kHidden): poll_event then returns
// only once it is seen again or another event comes.
#include <emscripten.h>
#include <stdio.h>

#include <atomic>
#include <vector>

#include "backend.h"
#include "dib.h"
#include "keys.h"

// The page's side, in web/backend_web.js.
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
  int opened = 0;  // 0 not tried, 1 open
  bool exists = false;
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;  // 0x00RRGGBB, the framebuffer
  std::vector<uint32_t> rgba;    // the same in the canvas's byte order
  uint32_t generation = 0;
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
bool open(std::string*) {
  if (!g_web.opened) {
    g_web.opened = rb_web_open() ? 1 : -1;
    g_web.last_yield = rb_web_now();
  }
  return g_web.opened > 0;
}

bool default_window_size(int* width, int* height) {
  rb_web_client_size(width, height);
  return true;
}

WindowId create_window(const char* title, int width, int height, bool, std::string* reason) {
  if (g_web.exists) {
    *reason = "the page holds one window";
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
  g_web.pixels.clear();
  g_web.pixels.shrink_to_fit();
}

// The page's layout decides: a tab is shown or hidden by the person, and
// the canvas fills the page or keeps its fixed size.
void show_window(WindowId) {}
void hide_window(WindowId) {}
void minimize_window(WindowId) {}
void maximize_window(WindowId) {}
void restore_window(WindowId) {}
void set_window_size(WindowId, int, int) {}
void set_window_position(WindowId, int, int) {}
void set_window_icon(WindowId, const uint32_t*, int, int) {}  // the page's own icon

bool framebuffer(WindowId id, Framebuffer* fb) {
  if (id != kWindow || !g_web.exists) return false;
  const size_t n = static_cast<size_t>(g_web.width) * static_cast<size_t>(g_web.height);
  if (g_web.pixels.size() != n) {
    g_web.pixels.assign(n, 0);
    g_web.rgba.assign(n, 0);
    ++g_web.generation;
  }
  fb->pixels = g_web.pixels.data();
  fb->pitch = g_web.width;
  fb->width = g_web.width;
  fb->height = g_web.height;
  fb->generation = g_web.generation;
  return true;
}

void present(WindowId id, const Rect* rects, int count) {
  if (id != kWindow || !g_web.exists) return;
  const int pitch = g_web.width;
  for (int i = 0; i < count; ++i) {
    const Rect& r = rects[i];
    for (int y = r.y; y < r.y + r.h; ++y) {
      const size_t row = static_cast<size_t>(y) * static_cast<size_t>(pitch);
      for (int x = r.x; x < r.x + r.w; ++x) g_web.rgba[row + x] = to_rgba(g_web.pixels[row + x]);
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
