// Icons from the program's PNG resources (libpng), and the cursor.
//
// Supported: LoadIconA(instance, MAKEINTRESOURCE(id)) for icons the build
// registered, LoadIconA(NULL, IDI_APPLICATION) (the window system's default
// icon: a window given it keeps what the window manager shows),
// LoadCursorA(NULL, IDC_ARROW).
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
// Built on first use: resources register themselves from other files'
// static initialisers, which may run before this file's.  Pointers stay put
// while the list grows.
std::vector<std::unique_ptr<IconResource>>& icons() {
  static std::vector<std::unique_ptr<IconResource>> list;
  return list;
}
// The first slots of the icon handles are the window system's own arrow
// cursor and application icon; resource icon i is slot i + 2.
const uint32_t kArrowSlot = 0;
const uint32_t kApplicationSlot = 1;
const uint32_t kFirstResourceSlot = 2;

IconResource* icon_from_handle(HICON icon) {
  uint32_t slot = 0, generation = 0;
  if (!split_handle(icon, kIconHandle, &slot, &generation) || slot < kFirstResourceSlot ||
      slot - kFirstResourceSlot >= icons().size())
    return nullptr;
  IconResource* r = icons()[slot - kFirstResourceSlot].get();
  return r->loaded ? r : nullptr;
}

// Decodes to 0xAARRGGBB; false, reported, when the resource is broken.
// Where there is no decoder the icon stays a valid handle with no pixels.
bool decode_png(IconResource* r) {
#ifdef RAINBOW_NO_ICON_DECODER
  (void)r;
  return true;
#else
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, r->png, r->size)) {
    report("LoadIconA", ERROR_INVALID_DATA, image.message);
    return false;
  }
  image.format = PNG_FORMAT_BGRA;  // little-endian 0xAARRGGBB words
  if (image.width == 0 || image.height == 0 || image.width > 256 || image.height > 256) {
    png_image_free(&image);
    report("LoadIconA", ERROR_INVALID_DATA, "icon pictures must be 1 to 256 pixels square");
    return false;
  }
  std::unique_ptr<uint32_t[]> px(new uint32_t[image.width * image.height]);
  if (!png_image_finish_read(&image, nullptr, px.get(), 0, nullptr)) {
    report("LoadIconA", ERROR_INVALID_DATA, image.message);
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
  if (!instance) {
    if (name == IDI_APPLICATION) return make_handle<HICON>(kIconHandle, kApplicationSlot, 0);
    unsupported("LoadIconA", "IDI_APPLICATION is the only system icon supported");
    return nullptr;
  }
  if (!IS_INTRESOURCE(name)) {
    unsupported("LoadIconA", "only numbered resources are supported");
    return nullptr;
  }
  const int id = static_cast<int>(reinterpret_cast<uintptr_t>(name));
  for (size_t i = 0; i < icons().size(); ++i) {
    IconResource* r = icons()[i].get();
    if (r->id != id) continue;
    if (!r->loaded && !decode_png(r)) return nullptr;
    r->loaded = true;
    return make_handle<HICON>(kIconHandle, static_cast<uint32_t>(i + kFirstResourceSlot), 0);
  }
  // As Win32 tells a module without icons from one without this icon.
  fail(icons().empty() ? ERROR_RESOURCE_TYPE_NOT_FOUND : ERROR_RESOURCE_NAME_NOT_FOUND);
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
  icons().emplace_back(new IconResource{id, png, size, false, 0, 0, nullptr});
}
