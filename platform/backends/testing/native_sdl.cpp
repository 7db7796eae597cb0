// The native questions of the SDL backend, built with it (so in the
// namespace the build gives the wrapped backend): a backend window's id is
// its SDL window id, and the window system's events go into SDL's queue as
// its video driver would put them there.
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

// The key SDL has by that name, as its keyboard would report it.
Sent send_key(uint32_t window, const char* name, bool down, bool alt) {
  const SDL_Keycode sym = SDL_GetKeyFromName(name);
  if (sym == SDLK_UNKNOWN) return Sent::kNever;
  SDL_Event s = {};
  s.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  s.key.windowID = window;
  s.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  s.key.keysym.sym = sym;
  s.key.keysym.scancode = SDL_GetScancodeFromKey(sym);
  s.key.keysym.mod = alt ? KMOD_LALT : KMOD_NONE;
  return SDL_PushEvent(&s) == 1 ? Sent::kSent : Sent::kNever;
}

// A resize goes through SDL itself, which then reports the new size; the
// window manager's state changes come as its events.
Sent send_window_event(uint32_t window, int kind, int a, int b) {
  SDL_Window* w = SDL_GetWindowFromID(window);
  if (!w) return Sent::kNever;
  if (kind == backend::Event::kResized) {
    SDL_SetWindowSize(w, a, b);
    return Sent::kSent;
  }
  SDL_Event s = {};
  s.type = SDL_WINDOWEVENT;
  s.window.windowID = window;
  switch (kind) {
    case backend::Event::kMinimized:
      s.window.event = SDL_WINDOWEVENT_MINIMIZED;
      break;
    case backend::Event::kMaximized:
      s.window.event = SDL_WINDOWEVENT_MAXIMIZED;
      break;
    case backend::Event::kRestored:
      s.window.event = SDL_WINDOWEVENT_RESTORED;
      break;
    default:
      return Sent::kInjectInstead;  // the rest are the layer's alone to test
  }
  return SDL_PushEvent(&s) == 1 ? Sent::kSent : Sent::kNever;
}

const char* backend_name() {
  return "sdl";
}

void next_window_size(int, int) {}

bool read_screen(uint32_t window, uint32_t* pixels, int width, int height) {
  SDL_Window* w = SDL_GetWindowFromID(window);
  SDL_Surface* s = w ? SDL_GetWindowSurface(w) : nullptr;
  if (!s || s->w != width || s->h != height) return false;
  return SDL_ConvertPixels(width, height, s->format->format, s->pixels, s->pitch,
                           SDL_PIXELFORMAT_RGB888, pixels, width * 4) == 0;
}

}  // namespace testing
}  // namespace plat
