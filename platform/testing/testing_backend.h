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

}  // namespace testing
}  // namespace plat

#endif  // RAINBOW_PLATFORM_TESTING_BACKEND_H
