// What a testing backend (backend_testing.cpp, over the backend it wraps)
// offers the tests' extensions (extensions.cpp, rainbow_testing.h).
#ifndef RAINBOW_PLATFORM_TESTING_BACKEND_H
#define RAINBOW_PLATFORM_TESTING_BACKEND_H

#include <stdint.h>

#include "backend.h"
#include "rainbow_testing.h"

namespace plat {
namespace testing {

// Feeds an event through the layer ahead of the backend's own; any thread.
void inject(const backend::Event& e);
void set_message_box_sink(PlatformMessageBoxSink sink, void* context);

// Answered for the wrapped backend (native_sdl.cpp; native_none.cpp where
// there is no native window).  Whether the window's framebuffer goes through
// a GPU renderer, and the native window's id (an X window; 0 when none).
bool uses_renderer(uint32_t window);
uint64_t native_window(uint32_t window);

// The window system's own events (rainbow_testing.h): a key by its name in
// the layer's table, and a window event of backend.h's kinds.  Plain types:
// these are built with the wrapped backend, whose Event is another type.
enum class Sent {
  kSent,           // made as the window system makes it
  kInjectInstead,  // no window system (null): the injected event is its own
  kNever,          // the window system never makes it
};
Sent send_key(uint32_t window, const char* name, bool down, bool alt);
Sent send_window_event(uint32_t window, int kind, int a, int b);
const char* backend_name();
void next_window_size(int width, int height);
// The window system's picture, 0x00RRGGBB rows at `width`; false unless it
// is width x height.
bool read_screen(uint32_t window, uint32_t* pixels, int width, int height);

}  // namespace testing
}  // namespace plat

#endif  // RAINBOW_PLATFORM_TESTING_BACKEND_H
