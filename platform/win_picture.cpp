// Icons from the program's PNG resources (libpng), and the cursor.
//
// Supported: LoadIconA(instance, MAKEINTRESOURCE(id)) for icons the build
// registered, LoadCursorA(NULL, IDC_ARROW).
#ifndef RAINBOW_NO_ICON_DECODER
#include <png.h>
#endif

#include <vector>

#include "internal.h"
#include "rainbow_platform.h"

namespace plat {

namespace {

struct IconResource {
  int id;
  const unsigned char* png;
  size_t size;
  bool loaded;
  int w, h;
  std::unique_ptr<uint32_t[]> argb;  // 0xAARRGGBB once loaded
};
std::vector<IconResource*> g_icons;  // pointers stay put while the list grows
// Slot 0 of the icon handles is the arrow cursor; icon i is slot i + 1.
const uint32_t kArrowSlot = 0;

IconResource* icon_from_handle(HICON icon) {
  uint32_t slot = 0, generation = 0;
  if (!split_handle(icon, kIconHandle, &slot, &generation) || slot == kArrowSlot ||
      slot > g_icons.size())
    return nullptr;
  IconResource* r = g_icons[slot - 1];
  return r->loaded ? r : nullptr;
}

// Decodes to 0xAARRGGBB; false with the reason on stderr.  Where there is
// no decoder the icon stays a valid handle with no pixels.
bool decode_png(IconResource* r) {
#ifdef RAINBOW_NO_ICON_DECODER
  (void)r;
  return true;
#else
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, r->png, r->size)) {
    fprintf(stderr, "LoadIconA: %s\n", image.message);
    return false;
  }
  image.format = PNG_FORMAT_BGRA;  // little-endian 0xAARRGGBB words
  if (image.width == 0 || image.height == 0 || image.width > 256 || image.height > 256) {
    png_image_free(&image);
    fprintf(stderr, "LoadIconA: icon pictures must be 1 to 256 pixels square\n");
    return false;
  }
  std::unique_ptr<uint32_t[]> px(new uint32_t[image.width * image.height]);
  if (!png_image_finish_read(&image, nullptr, px.get(), 0, nullptr)) {
    fprintf(stderr, "LoadIconA: %s\n", image.message);
    return false;
  }
  r->w = static_cast<int>(image.width);
  r->h = static_cast<int>(image.height);
  r->argb = std::move(px);
  return true;
#endif
}

}  // namespace

void window_set_icon(Window* w, HICON icon) {
  const IconResource* r = icon_from_handle(icon);
  if (r && r->argb) backend::set_window_icon(w->native, r->argb.get(), r->w, r->h);
}

}  // namespace plat

using namespace plat;

HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name) {
  (void)instance;
  if (!IS_INTRESOURCE(name)) {
    unsupported("LoadIconA", "only numbered resources are supported");
    return nullptr;
  }
  const int id = static_cast<int>(reinterpret_cast<uintptr_t>(name));
  for (size_t i = 0; i < g_icons.size(); ++i) {
    IconResource* r = g_icons[i];
    if (r->id != id) continue;
    if (!r->loaded && !decode_png(r)) {
      fail(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    r->loaded = true;
    return make_handle<HICON>(kIconHandle, static_cast<uint32_t>(i + 1), 0);
  }
  fail(1813);  // ERROR_RESOURCE_TYPE_NOT_FOUND
  return nullptr;
}

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
  if (instance || name != IDC_ARROW) {
    unsupported("LoadCursorA", "only the system arrow is supported");
    return nullptr;
  }
  return make_handle<HCURSOR>(kIconHandle, kArrowSlot, 0);  // the window system's default
}

void PlatformAddIconResource(int id, const unsigned char* png, size_t size) {
  g_icons.push_back(new IconResource{id, png, size, false, 0, 0, nullptr});
}
