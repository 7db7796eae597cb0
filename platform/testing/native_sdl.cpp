// The native questions of the SDL backend, built with it (so in the
// namespace the build gives the wrapped backend): a backend window's id is
// its SDL window id.
#include <SDL.h>
#include <SDL_syswm.h>

#include "testing_backend.h"

namespace plat {
namespace backend {
uint64_t native_id(WindowId id);  // backend_sdl.cpp's
}  // namespace backend

namespace testing {

bool uses_renderer(uint32_t window) {
  SDL_Window* w = SDL_GetWindowFromID(window);
  if (!w) return false;
  return (SDL_GetWindowFlags(w) & SDL_WINDOW_OPENGL) != 0 ||
         SDL_GetWindowData(w, "_SDL_WindowTextureData") != nullptr;
}

uint64_t native_window(uint32_t window) {
  return backend::native_id(window);
}

}  // namespace testing
}  // namespace plat
