// Test hooks (backend_testing.h): injected events wait here and the pump
// takes them ahead of the backend's own, through the same translation.
#include "backend_testing.h"

#include <atomic>
#include <deque>
#include <mutex>

#include "keys.h"

namespace plat {
namespace backend {

TestingHooks g_testing_hooks;

namespace {

struct Injected {
  std::mutex lock;  // tests inject from any thread
  std::deque<Event> events;
  std::atomic<bool> any{false};  // read on every pump without the lock
};
Injected g_injected;

}  // namespace

void inject(const Event& e) {
  {
    std::lock_guard<std::mutex> hold(g_injected.lock);
    g_injected.events.push_back(e);
    g_injected.any.store(true, std::memory_order_release);
  }
  wake();
}

bool inject_key(WindowId id, const char* name, bool down, bool alt) {
  Event e;
  if (!key_by_name(name, &e.a, &e.b)) return false;
  e.kind = Event::kKey;
  e.window = id;
  e.down = down;
  e.alt = alt;
  inject(e);
  return true;
}

bool take_injected(Event* e) {
  if (!g_injected.any.load(std::memory_order_acquire)) return false;
  std::lock_guard<std::mutex> hold(g_injected.lock);
  if (g_injected.events.empty()) return false;
  *e = g_injected.events.front();
  g_injected.events.pop_front();
  g_injected.any.store(!g_injected.events.empty(), std::memory_order_release);
  return true;
}

}  // namespace backend
}  // namespace plat
