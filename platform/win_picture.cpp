// Pictures: icons from the program's PNG resources (libpng), cursors.
//
// Supported: LoadIconA(instance, MAKEINTRESOURCE(id)) for icons the build
// registered, LoadCursorA(NULL, IDC_ARROW).
// Differs from Win32: icon resources are PNG pictures, not .ico groups.
#include <SDL.h>
#include <png.h>

#include <vector>

#include "internal.h"
#include "rainbow_platform.h"

namespace plat {

namespace {

struct IconResource {
  int id;
  const unsigned char* png;
  size_t size;
  HICON__ decoded;
  bool loaded;
};
std::vector<IconResource*> g_icons;  // pointers stay put while the list grows
HICON__ g_arrow;

// Decodes to 0xAARRGGBB; false with the reason on stderr.
bool decode_png(IconResource* r) {
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, r->png, r->size)) {
    complain("LoadIconA", image.message);
    return false;
  }
  image.format = PNG_FORMAT_BGRA;  // little-endian 0xAARRGGBB words
  if (image.width == 0 || image.height == 0 || image.width > 256 || image.height > 256) {
    png_image_free(&image);
    complain("LoadIconA", "icon pictures must be 1 to 256 pixels square");
    return false;
  }
  std::unique_ptr<uint32_t[]> px(new uint32_t[image.width * image.height]);
  if (!png_image_finish_read(&image, nullptr, px.get(), 0, nullptr)) {
    complain("LoadIconA", image.message);
    return false;
  }
  r->decoded.w = static_cast<int>(image.width);
  r->decoded.h = static_cast<int>(image.height);
  r->decoded.rgba = std::move(px);
  return true;
}

}  // namespace

void window_set_icon(HWND w, HICON icon) {
  if (!icon || !icon->rgba || !w->sdl) return;
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(icon->rgba.get(), icon->w, icon->h, 32,
                                                      icon->w * 4, SDL_PIXELFORMAT_ARGB8888);
  if (!s) return;
  SDL_SetWindowIcon(w->sdl, s);  // SDL keeps its own copy
  SDL_FreeSurface(s);
}

}  // namespace plat

using namespace plat;

HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name) {
  (void)instance;
  if (!IS_INTRESOURCE(name)) {
    complain("LoadIconA", "only numbered resources are supported");
    fail(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  const int id = static_cast<int>(reinterpret_cast<uintptr_t>(name));
  for (IconResource* r : g_icons) {
    if (r->id != id) continue;
    if (!r->loaded && !decode_png(r)) {
      fail(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    r->loaded = true;
    return &r->decoded;
  }
  fail(1813);  // ERROR_RESOURCE_TYPE_NOT_FOUND
  return nullptr;
}

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
  if (instance || name != IDC_ARROW) {
    complain("LoadCursorA", "only the system arrow is supported");
    fail(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  return &g_arrow;  // SDL's default cursor is the arrow
}

void PlatformAddIconResource(int id, const unsigned char* png, size_t size) {
  g_icons.push_back(new IconResource{id, png, size, {}, false});
}
