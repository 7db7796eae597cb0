// A framebuffer the backend keeps in its own memory (null, web), where the
// window system has none to lend.
#ifndef RAINBOW_PLATFORM_MEMORY_FRAMEBUFFER_H
#define RAINBOW_PLATFORM_MEMORY_FRAMEBUFFER_H

#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "backend.h"

namespace plat {
namespace backend {

struct MemoryFramebuffer {
  std::vector<uint32_t> pixels;  // 0x00RRGGBB
  uint32_t generation = 0;

  // Hands out the pixels at width x height; true when they were made anew
  // (the size changed: the old contents are gone, a new generation).
  bool take(int width, int height, Framebuffer* fb) {
    const size_t n = static_cast<size_t>(width) * static_cast<size_t>(height);
    const bool made = pixels.size() != n;
    if (made) {
      pixels.assign(n, 0);
      ++generation;
    }
    fb->pixels = pixels.data();
    fb->pitch = width;
    fb->width = width;
    fb->height = height;
    fb->generation = generation;
    return made;
  }
};

}  // namespace backend
}  // namespace plat

#endif  // RAINBOW_PLATFORM_MEMORY_FRAMEBUFFER_H
