// rainbow_render: draws the plain program's picture with no display and
// writes the client area as a PNG.
//
//   rainbow_render [--size WxH] [--steps N] [--out FILE]
//
// The window is made exactly as rainbow_plain makes it (created, sized,
// shown, first paint), then N idle steps run with no paint in between.
#include <errno.h>
#include <png.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include <rainbow_platform.h>

#include "rainbow.h"
#include "shell.h"

namespace {

const char kUsage[] = "usage: rainbow_render [--size WxH] [--steps N] [--out FILE]\n";
const unsigned long kMaxSide = 16384;  // a client size WM_SIZE can carry, with memory to spare

struct Options {
  int width = 640;
  int height = 480;
  unsigned long long steps = 2000000;
  std::string out = "rainbow.png";
};

bool parse_number(const char* text, unsigned long long max, unsigned long long* out) {
  if (!text || *text < '0' || *text > '9') return false;
  char* end = nullptr;
  errno = 0;
  const unsigned long long v = strtoull(text, &end, 10);
  if (errno != 0 || *end != '\0' || v > max) return false;
  *out = v;
  return true;
}

bool parse_size(const char* text, int* w, int* h) {
  const char* x = text ? strchr(text, 'x') : nullptr;
  if (!x) return false;
  const std::string left(text, static_cast<size_t>(x - text));
  unsigned long long cw = 0, ch = 0;
  if (!parse_number(left.c_str(), kMaxSide, &cw) || !parse_number(x + 1, kMaxSide, &ch))
    return false;
  if (cw == 0 || ch == 0) return false;
  *w = static_cast<int>(cw);
  *h = static_cast<int>(ch);
  return true;
}

bool parse_options(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (strcmp(arg, "--size") == 0) {
      if (!parse_size(value, &o->width, &o->height)) return false;
    } else if (strcmp(arg, "--steps") == 0) {
      if (!parse_number(value, 1000000000000ULL, &o->steps)) return false;
    } else if (strcmp(arg, "--out") == 0) {
      if (!value || !*value) return false;
      o->out = value;
    } else {
      return false;
    }
    ++i;
  }
  return true;
}

// Writes 0x00BBGGRR pixels as an 8-bit RGB PNG; false with the reason.
bool write_png(const std::string& path, const std::vector<COLORREF>& px, int w, int h,
               std::string* reason) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) {
    *reason = strerror(errno);
    return false;
  }
  std::vector<unsigned char> rgb(px.size() * 3);
  for (size_t i = 0; i < px.size(); ++i) {
    rgb[3 * i] = GetRValue(px[i]);
    rgb[3 * i + 1] = GetGValue(px[i]);
    rgb[3 * i + 2] = GetBValue(px[i]);
  }
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(w);
  image.height = static_cast<png_uint_32>(h);
  image.format = PNG_FORMAT_RGB;
  if (!png_image_write_to_stdio(&image, f, 0, rgb.data(), 0, nullptr)) {
    *reason = image.message;
    fclose(f);
    return false;
  }
  if (fclose(f) != 0) {  // a full disk shows up only when the data is flushed
    *reason = strerror(errno);
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!parse_options(argc, argv, &o)) {
    fputs(kUsage, stderr);
    return 2;
  }
  setenv("SDL_VIDEODRIVER", "dummy", 1);  // never needs a display

  g_hinst = GetModuleHandleA(nullptr);
  HWND hwnd = rainbow_create_main_window(g_hinst);
  if (!hwnd) {
    fprintf(stderr, "rainbow_render: cannot create the window [ERROR: %lu]\n",
            static_cast<unsigned long>(GetLastError()));
    return 1;
  }
  SetWindowPos(hwnd, nullptr, 0, 0, o.width, o.height, SWP_NOMOVE | SWP_NOZORDER);
  ShowWindow(hwnd, SW_SHOWDEFAULT);
  UpdateWindow(hwnd);
  for (unsigned long long i = 0; i < o.steps; ++i) display_current_operation(hwnd);

  std::vector<COLORREF> px(static_cast<size_t>(o.width) * static_cast<size_t>(o.height));
  if (!PlatformReadClient(hwnd, px.data(), o.width, o.height)) {
    fprintf(stderr, "rainbow_render: cannot read the client area\n");
    return 1;
  }
  std::string reason;
  if (!write_png(o.out, px, o.width, o.height, &reason)) {
    fprintf(stderr, "rainbow_render: cannot write %s: %s\n", o.out.c_str(), reason.c_str());
    return 1;
  }
  printf("wrote %s (%dx%d, %llu steps)\n", o.out.c_str(), o.width, o.height, o.steps);
  DestroyWindow(hwnd);
  return 0;
}
