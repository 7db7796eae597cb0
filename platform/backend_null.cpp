// A window-system backend with no window system: windows are sizes and
// framebuffers in memory, events are only those a test injects.  It lets the
// Win32 side (queue, painting, device contexts, GDI objects) be built and
// tested without SDL; rainbow_platform_headless links it in place of
// backend_sdl.cpp.
#include <stdlib.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "backend.h"
#include "windows.h"

namespace plat {
namespace backend {

namespace {

struct NullWindow {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
  uint32_t generation = 0;
};

struct NullState {
  std::mutex lock;  // guards events and woken: tests inject from any thread
  std::condition_variable changed;
  std::deque<Event> events;
  bool woken = false;
  std::map<WindowId, NullWindow> windows;  // the window thread's alone
  WindowId next_id = 1;
};
NullState g_null;

// Win32 virtual-key and scan codes of the keys tests name.
bool key_by_name(const std::string& name, int* vk, int* scan) {
  static const struct {
    const char* name;
    int vk, scan;
  } keys[] = {
      {"Escape", VK_ESCAPE, 0x01},  {"Return", VK_RETURN, 0x1C},     {"Backspace", VK_BACK, 0x0E},
      {"Tab", VK_TAB, 0x0F},        {"Space", VK_SPACE, 0x39},       {"Left Alt", VK_MENU, 0x38},
      {"Right Alt", VK_MENU, 0x38}, {"Left Ctrl", VK_CONTROL, 0x1D}, {"Left Shift", VK_SHIFT, 0x2A},
  };
  for (const auto& k : keys)
    if (name == k.name) {
      *vk = k.vk;
      *scan = k.scan;
      return true;
    }
  if (name.size() == 1 &&
      ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= '0' && name[0] <= '9'))) {
    *vk = name[0];
    *scan = 0;
    return true;
  }
  const int f = name.size() >= 2 && name[0] == 'F' ? atoi(name.c_str() + 1) : 0;
  if (f >= 1 && f <= 12) {
    *vk = VK_F1 + f - 1;
    *scan = f >= 11 ? 0x57 + f - 11 : 0x3B + f - 1;
    return true;
  }
  return false;
}

}  // namespace

bool open(std::string*) {
  return true;
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
  const size_t n = static_cast<size_t>(w.width) * static_cast<size_t>(w.height);
  if (w.pixels.size() != n) {
    w.pixels.assign(n, 0);
    ++w.generation;
  }
  fb->pixels = w.pixels.data();
  fb->pitch = w.width;
  fb->width = w.width;
  fb->height = w.height;
  fb->generation = w.generation;
  return true;
}

void present(WindowId, const Rect*, int) {}

bool poll_event(Event* e) {
  std::lock_guard<std::mutex> hold(g_null.lock);
  if (g_null.events.empty()) return false;
  *e = g_null.events.front();
  g_null.events.pop_front();
  return true;
}

void wait_event(int ms) {
  std::unique_lock<std::mutex> hold(g_null.lock);
  g_null.changed.wait_for(hold, std::chrono::milliseconds(ms),
                          [] { return g_null.woken || !g_null.events.empty(); });
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

bool uses_renderer(WindowId) {
  return false;
}

uint64_t native_id(WindowId) {
  return 0;
}

bool inject_key(WindowId id, const char* name, bool down, bool alt) {
  Event e;
  if (!key_by_name(name, &e.a, &e.b)) return false;
  e.kind = Event::kKey;
  e.window = id;
  e.down = down;
  e.alt = alt;
  return inject(e);
}

bool inject(const Event& e) {
  std::lock_guard<std::mutex> hold(g_null.lock);
  g_null.events.push_back(e);
  g_null.changed.notify_all();
  return true;
}

}  // namespace backend
}  // namespace plat
