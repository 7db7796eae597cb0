// Backend: none, behind backend.h.
// Windows are sizes and framebuffers in memory, and no events come.  It lets
// the Win32 side (queue, painting, device contexts, GDI objects) be built
// and tested without a display (tests inject their events through a testing
// backend wrapping this one), and rainbow_render draw.
//
// Implemented:
//  [x] Windows of any size, a framebuffer each; wait_event and wake().
// Not implemented:
//  [ ] Anything shown: show, hide, minimise, maximise, restore and position
//      change nothing, no event ever comes, and no message box can be shown
//      (MessageBoxA's text goes to stderr, windows.h entry 9).
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "backend.h"
#include "memory_framebuffer.h"

namespace plat {
namespace backend {

namespace {

struct NullWindow {
  int width = 0, height = 0;
  MemoryFramebuffer framebuffer;
};

struct NullState {
  std::mutex lock;  // guards woken: any thread may wake
  std::condition_variable changed;
  bool woken = false;
  std::map<WindowId, NullWindow> windows;  // the window thread's alone
  WindowId next_id = 1;
};
NullState g_null;

}  // namespace

bool open(std::string*) {
  return true;
}

bool default_window_size(int*, int*) {
  return false;
}

WindowId create_window(const char*, int width, int height, bool, std::string*) {
  NullWindow& w = g_null.windows[g_null.next_id];
  w.width = width;
  w.height = height;
  return g_null.next_id++;
}

void destroy_window(WindowId id) {
  g_null.windows.erase(id);
}

void show_window(WindowId) {}
void hide_window(WindowId) {}
void minimize_window(WindowId) {}
void maximize_window(WindowId) {}
void restore_window(WindowId) {}
void set_window_position(WindowId, int, int) {}
void set_window_icon(WindowId, const uint32_t*, int, int) {}

void set_window_size(WindowId id, int width, int height) {
  auto it = g_null.windows.find(id);
  if (it == g_null.windows.end()) return;
  it->second.width = width;
  it->second.height = height;
}

bool framebuffer(WindowId id, Framebuffer* fb) {
  auto it = g_null.windows.find(id);
  if (it == g_null.windows.end()) return false;
  NullWindow& w = it->second;
  w.framebuffer.take(w.width, w.height, fb);
  return true;
}

void present(WindowId, const Rect*, int) {}

bool poll_event(Event*) {
  return false;
}

void wait_event(int ms) {
  std::unique_lock<std::mutex> hold(g_null.lock);
  g_null.changed.wait_for(hold, std::chrono::milliseconds(ms), [] { return g_null.woken; });
  g_null.woken = false;
}

void wake() {
  std::lock_guard<std::mutex> hold(g_null.lock);
  g_null.woken = true;
  g_null.changed.notify_all();
}

bool message_box(const char*, const char*) {
  return false;  // no screen: the caller writes the text to stderr
}

}  // namespace backend
}  // namespace plat
