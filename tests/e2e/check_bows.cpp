// Checks a screenshot of the plain program's client area:
//
//   rainbow_check_bows --size WxH SHOT.png [--earlier EARLIER.png]
//
// Along the vertical line through the antisolar point both bows must show,
// red outermost in the primary and innermost in the secondary, with nothing
// lit between them, below the horizon line or past the sky's edge.  With
// --earlier, every pixel lit in the earlier shot must still be lit (nothing
// erased the picture in between).  Exit 0 when all holds, 1 when not, 2 for
// bad arguments or unreadable pictures.
#include <png.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "bow_scan.h"

namespace {

const int kHalfBand = 4;  // columns either side of the vertical line

struct Picture {
  int w = 0, h = 0;
  std::vector<COLORREF> px;
};

bool read_png(const char* path, Picture* p) {
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path)) {
    fprintf(stderr, "check_bows: %s: %s\n", path, image.message);
    return false;
  }
  image.format = PNG_FORMAT_RGB;
  std::vector<unsigned char> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
    fprintf(stderr, "check_bows: %s: %s\n", path, image.message);
    return false;
  }
  p->w = static_cast<int>(image.width);
  p->h = static_cast<int>(image.height);
  p->px.resize(rgb.size() / 3);
  for (size_t i = 0; i < p->px.size(); ++i)
    p->px[i] = RGB(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]);
  return true;
}

int usage() {
  fputs("usage: rainbow_check_bows --size WxH SHOT.png [--earlier EARLIER.png]\n", stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int want_w = 0, want_h = 0;
  const char* shot = nullptr;
  const char* earlier = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--size") == 0 && i + 1 < argc) {
      if (sscanf(argv[++i], "%dx%d", &want_w, &want_h) != 2 || want_w <= 50 || want_h <= 0)
        return usage();
    } else if (strcmp(argv[i], "--earlier") == 0 && i + 1 < argc) {
      earlier = argv[++i];
    } else if (!shot && argv[i][0] != '-') {
      shot = argv[i];
    } else {
      return usage();
    }
  }
  if (!shot || want_w == 0) return usage();

  Picture now;
  if (!read_png(shot, &now)) return 2;
  int failures = 0;
  auto check = [&](bool ok, const std::string& what) {
    printf("%s: %s\n", ok ? "ok" : "FAILED", what.c_str());
    failures += !ok;
  };
  check(now.w == want_w && now.h == want_h,
        "client is " + std::to_string(want_w) + "x" + std::to_string(want_h) + " (got " +
            std::to_string(now.w) + "x" + std::to_string(now.h) + ")");
  if (failures) return 1;

  const rt::BowScan s = rt::scan_bows(now.px.data(), now.w, now.h, kHalfBand);
  const char* why = "";
  const bool in_order = rt::bows_in_order(s, &why);
  check(in_order, std::string("both bows in order along the vertical line") +
                      (in_order ? "" : std::string(" (") + why + ")"));
  for (int k = 0; k < 6; ++k) {
    printf("  colour %d: primary %d pixels", k, s.primary[k].count);
    if (s.primary[k].count) printf(" out to %.1f deg", s.primary[k].max_deg);
    printf(", secondary %d pixels", s.secondary[k].count);
    if (s.secondary[k].count) printf(" in to %.1f deg", s.secondary[k].min_deg);
    printf("\n");
  }
  check(s.foreign == 0, "only palette colours (" + std::to_string(s.foreign) + " others)");
  check(s.below_horizon == 0, "nothing below the horizon line");
  check(s.beyond_sky == 0, "nothing beyond the 60-degree sky");

  if (earlier) {
    Picture before;
    if (!read_png(earlier, &before)) return 2;
    size_t lost = 0, lit = 0;
    if (before.w == now.w && before.h == now.h)
      for (size_t i = 0; i < now.px.size(); ++i) {
        lit += before.px[i] != 0;
        lost += before.px[i] != 0 && now.px[i] == 0;
      }
    check(before.w == now.w && before.h == now.h && lit > 0 && lost == 0,
          "all " + std::to_string(lit) + " pixels lit earlier are still lit (" +
              std::to_string(lost) + " lost)");
  }
  return failures ? 1 : 0;
}
