// What tests and tools reach beyond the interface programs need
// (backend.h).  The layer itself implements injection (backend_testing.cpp,
// beside the key table, which backends also use); a backend that can
// answer the native questions fills in the hooks when it opens, and where
// none does the answers are "no renderer" and "no native window".
#ifndef RAINBOW_PLATFORM_BACKEND_TESTING_H
#define RAINBOW_PLATFORM_BACKEND_TESTING_H

#include <stdint.h>

#include "backend.h"

namespace plat {
namespace backend {

struct TestingHooks {
  // Whether the window's framebuffer goes through a GPU renderer (it never
  // should).
  bool (*uses_renderer)(WindowId id) = nullptr;
  // The native window's id (an X window); 0 when there is none.
  uint64_t (*native_id)(WindowId id) = nullptr;
};
extern TestingHooks g_testing_hooks;  // written by open(), read after it

// Feeds an event through the layer as if the backend had reported it, ahead
// of the backend's own; any thread may call it.  A key by its name in the
// key table (keys.h); false when there is no such key.
void inject(const Event& e);
bool inject_key(WindowId id, const char* name, bool down, bool alt);
// The next injected event, for the layer's pump; false when there is none.
bool take_injected(Event* e);

}  // namespace backend
}  // namespace plat

#endif  // RAINBOW_PLATFORM_BACKEND_TESTING_H
