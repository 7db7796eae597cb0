// The testing backend: every call of backend.h goes to the wrapped backend
// (wrapped_backend.h), except that events tests inject come first, through
// the layer's same translation, and message boxes may go to a test's sink.
#include <atomic>
#include <deque>
#include <mutex>
#include <vector>

#include "testing_backend.h"
#include "wrapped_backend.h"

namespace plat {

namespace {

namespace real = wrapped_backend;

// The two builds of backend.h declare the same types twice.
backend::Event from_real(const real::Event& r) {
  backend::Event e;
  e.kind = static_cast<backend::Event::Kind>(r.kind);
  e.window = r.window;
  e.a = r.a;
  e.b = r.b;
  e.down = r.down;
  e.repeat = r.repeat;
  e.alt = r.alt;
  return e;
}

struct Injected {
  std::mutex lock;  // tests inject from any thread
  std::deque<backend::Event> events;
  std::atomic<bool> any{false};  // read on every pump without the lock
};
Injected g_injected;

}  // namespace

void testing::inject(const backend::Event& e) {
  {
    std::lock_guard<std::mutex> hold(g_injected.lock);
    g_injected.events.push_back(e);
    g_injected.any.store(true, std::memory_order_release);
  }
  real::wake();
}

namespace {

bool take_injected(backend::Event* e) {
  if (!g_injected.any.load(std::memory_order_acquire)) return false;
  std::lock_guard<std::mutex> hold(g_injected.lock);
  if (g_injected.events.empty()) return false;
  *e = g_injected.events.front();
  g_injected.events.pop_front();
  g_injected.any.store(!g_injected.events.empty(), std::memory_order_release);
  return true;
}

struct BoxSink {
  std::mutex lock;
  PlatformMessageBoxSink sink = nullptr;
  void* context = nullptr;
};
BoxSink g_box;

}  // namespace

void testing::set_message_box_sink(PlatformMessageBoxSink sink, void* context) {
  std::lock_guard<std::mutex> hold(g_box.lock);
  g_box.sink = sink;
  g_box.context = context;
}

namespace backend {

bool open(std::string* reason) {
  return real::open(reason);
}

bool default_window_size(int* width, int* height) {
  return real::default_window_size(width, height);
}

WindowId create_window(const char* title, int width, int height, bool resizable,
                       std::string* reason) {
  return real::create_window(title, width, height, resizable, reason);
}

void destroy_window(WindowId id) {
  real::destroy_window(id);
}
void show_window(WindowId id) {
  real::show_window(id);
}
void hide_window(WindowId id) {
  real::hide_window(id);
}
void minimize_window(WindowId id) {
  real::minimize_window(id);
}
void maximize_window(WindowId id) {
  real::maximize_window(id);
}
void restore_window(WindowId id) {
  real::restore_window(id);
}
void set_window_size(WindowId id, int width, int height) {
  real::set_window_size(id, width, height);
}
void set_window_position(WindowId id, int x, int y) {
  real::set_window_position(id, x, y);
}
void set_window_icon(WindowId id, const uint32_t* argb, int width, int height) {
  real::set_window_icon(id, argb, width, height);
}

bool framebuffer(WindowId id, Framebuffer* fb) {
  real::Framebuffer r;
  if (!real::framebuffer(id, &r)) return false;
  fb->pixels = r.pixels;
  fb->pitch = r.pitch;
  fb->width = r.width;
  fb->height = r.height;
  fb->generation = r.generation;
  return true;
}

void present(WindowId id, const Rect* rects, int count) {
  std::vector<real::Rect> r(count > 0 ? static_cast<size_t>(count) : 0);
  for (size_t i = 0; i < r.size(); ++i) r[i] = {rects[i].x, rects[i].y, rects[i].w, rects[i].h};
  real::present(id, r.data(), count);
}

bool poll_event(Event* e) {
  if (take_injected(e)) return true;
  real::Event r;
  if (!real::poll_event(&r)) return false;
  *e = from_real(r);
  return true;
}

void wait_event(int ms) {
  // An injection after this look wakes the wait.
  if (!g_injected.any.load(std::memory_order_acquire)) real::wait_event(ms);
}

void wake() {
  real::wake();
}

bool message_box(const char* caption, const char* text) {
  {
    std::lock_guard<std::mutex> hold(g_box.lock);
    if (g_box.sink) {
      g_box.sink(caption, text, g_box.context);
      return true;
    }
  }
  return real::message_box(caption, text);
}

}  // namespace backend
}  // namespace plat
