// The native questions of the null backend, which has no window system:
// its events are the ones tests inject (a resize also sizes its window), and
// its picture the framebuffer.
#include <string.h>

#include "testing_backend.h"

namespace plat {
namespace testing {

bool uses_renderer(uint32_t) {
  return false;
}

uint64_t native_window(uint32_t) {
  return 0;
}

Sent send_key(uint32_t, const char*, bool, bool) {
  return Sent::kInjectInstead;
}

// A resize is the window's new size, as a window system's would be.
Sent send_window_event(uint32_t window, int kind, int a, int b) {
  if (kind == backend::Event::kResized) backend::set_window_size(window, a, b);
  return Sent::kInjectInstead;
}

const char* backend_name() {
  return "null";
}

void next_window_size(int, int) {}

bool read_screen(uint32_t window, uint32_t* pixels, int width, int height) {
  backend::Framebuffer fb;  // the wrapped backend's
  if (!backend::framebuffer(window, &fb) || fb.width != width || fb.height != height) return false;
  for (int y = 0; y < height; ++y)
    memcpy(pixels + static_cast<size_t>(y) * static_cast<size_t>(width),
           fb.pixels + static_cast<size_t>(y) * static_cast<size_t>(fb.pitch),
           static_cast<size_t>(width) * sizeof *pixels);
  return true;
}

}  // namespace testing
}  // namespace plat
