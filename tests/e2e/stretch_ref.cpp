// The picture a backdrop program should show: its picture file decoded by the
// layer's codecs and stretched over W x H by the COLORONCOLOR rule, as a PPM.
//
//   rainbow_stretch_ref PICTURE W H OUT.ppm
#include <stdio.h>
#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "dib.h"

namespace {

struct Out {
  size_t w;
  std::vector<uint8_t> rgb;
};

void put(void* context, int x, int y, int count, const uint32_t* px) {
  Out* o = static_cast<Out*>(context);
  uint8_t* p = &o->rgb[3 * (static_cast<size_t>(y) * o->w + static_cast<size_t>(x))];
  for (int i = 0; i < count; ++i, p += 3) {
    p[0] = static_cast<uint8_t>(px[i] >> 16);
    p[1] = static_cast<uint8_t>(px[i] >> 8);
    p[2] = static_cast<uint8_t>(px[i]);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int w = argc == 5 ? atoi(argv[2]) : 0, h = argc == 5 ? atoi(argv[3]) : 0;
  if (w <= 0 || h <= 0) {
    fprintf(stderr, "usage: rainbow_stretch_ref PICTURE W H OUT.ppm\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const std::vector<uint8_t> b{std::istreambuf_iterator<char>(in), {}};
  plat::Dib dib;
  DWORD error = 0;
  std::string reason;
  if (!(b.size() > 2 && b[0] == 'B' ? plat::bmp_read(b.data(), b.size(), &dib, &error)
                                    : plat::jpeg_decode(b.data(), b.size(), &dib, &reason))) {
    fprintf(stderr, "%s: not a picture\n", argv[1]);
    return 1;
  }
  plat::DibView view;
  plat::dib_view_of(dib, &view);
  Out out{static_cast<size_t>(w), std::vector<uint8_t>(static_cast<size_t>(w) * h * 3)};
  plat::dib_stretch(view, 0, 0, dib.width, dib.height, 0, 0, w, h, RECT{0, 0, w, h}, put, &out);
  FILE* f = fopen(argv[4], "wb");
  if (!f) return 1;
  fprintf(f, "P6\n%d %d\n255\n", w, h);
  fwrite(out.rgb.data(), 1, out.rgb.size(), f);
  return fclose(f) == 0 ? 0 : 1;
}
