// Non-Win32 extensions for tools and tests (see rainbow_platform.h).
#include <SDL.h>

#include "internal.h"
#include "rainbow_platform.h"

using namespace plat;

BOOL PlatformReadClient(HWND hwnd, COLORREF* pixels, int width, int height) {
  HWND w = window_from_handle(hwnd);
  if (!w || !pixels) return FALSE;
  std::shared_ptr<Surface> s;
  {
    std::lock_guard<std::mutex> hold(w->lock);
    s = w->surface;
  }
  if (!s || s->w != width || s->h != height) return FALSE;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const uint32_t v = s->get(x, y);
      pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] =
          colorref_from_rgb(v);
    }
  return TRUE;
}

BOOL PlatformInjectKey(HWND hwnd, const char* key_name, BOOL down, BOOL alt) {
  HWND w = window_from_handle(hwnd);
  if (!w || !key_name) return FALSE;
  SDL_Event e = {};
  e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  e.key.windowID = w->sdl_id;
  e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  e.key.keysym.sym = SDL_GetKeyFromName(key_name);
  e.key.keysym.scancode = SDL_GetScancodeFromKey(e.key.keysym.sym);
  e.key.keysym.mod = alt ? KMOD_LALT : KMOD_NONE;
  if (e.key.keysym.sym == SDLK_UNKNOWN) return FALSE;
  return SDL_PushEvent(&e) == 1;
}

BOOL PlatformInjectWindowEvent(HWND hwnd, PlatformWindowEvent event, int a, int b) {
  HWND w = window_from_handle(hwnd);
  if (!w) return FALSE;
  static const Uint8 kinds[] = {SDL_WINDOWEVENT_CLOSE,        SDL_WINDOWEVENT_MINIMIZED,
                                SDL_WINDOWEVENT_RESTORED,     SDL_WINDOWEVENT_EXPOSED,
                                SDL_WINDOWEVENT_SIZE_CHANGED, SDL_WINDOWEVENT_FOCUS_GAINED,
                                SDL_WINDOWEVENT_FOCUS_LOST};
  if (event < 0 || static_cast<size_t>(event) >= sizeof kinds) return FALSE;
  SDL_Event e = {};
  e.type = SDL_WINDOWEVENT;
  e.window.windowID = w->sdl_id;
  e.window.event = kinds[event];
  e.window.data1 = a;
  e.window.data2 = b;
  return SDL_PushEvent(&e) == 1;
}

void PlatformPump(void) {
  pump_now();
}
