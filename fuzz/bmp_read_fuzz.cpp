// Fuzz target for the BMP reader and what reads its output: bmp_read, and
// bmp_adopt giving the same picture in the file's own memory; then,
// on the picture it made, dib_view on a BITMAPINFO describing the same
// pixels (bottom-up and top-down, colour table at offset 40 or 44) and on
// the file's own RLE data, and dib_stretch onto a small destination with the
// rectangles taken from the input's last bytes.  Besides the sanitizers'
// findings it aborts on a wrong answer that stays in bounds.
#include "dib.h"

#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <new>
#include <vector>

namespace {

void check(bool ok) {
  if (!ok) abort();
}

uint32_t le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Pixels compared between two views: a corner of at most 64 x 64, and the
// far corner.
void same_pixels(const plat::DibView& a, const plat::DibView& b) {
  check(a.width == b.width && a.height == b.height);
  for (int y = 0; y < std::min(a.height, 64); y++) {
    for (int x = 0; x < std::min(a.width, 64); x++) {
      check(plat::dib_pixel(a, x, y) == plat::dib_pixel(b, x, y));
    }
  }
  check(plat::dib_pixel(a, a.width - 1, a.height - 1) ==
        plat::dib_pixel(b, b.width - 1, b.height - 1));
}

// A BITMAPINFO for `dib` in aligned memory: a header of `header_size`
// bytes, masks at 40 (16 and 32 bpp), the colour table at header_size.
std::vector<uint32_t> record_for(const plat::Dib& dib, DWORD header_size, LONG height) {
  std::vector<uint32_t> words((header_size + 12 + 4 * 256) / 4);
  BITMAPINFOHEADER h = {};
  h.biSize = header_size;
  h.biWidth = dib.width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = (WORD)dib.bpp;
  h.biCompression = dib.bpp == 16 || dib.bpp == 32 ? BI_BITFIELDS : BI_RGB;
  h.biClrUsed = (DWORD)dib.palette.size();
  uint8_t* bytes = reinterpret_cast<uint8_t*>(words.data());
  memcpy(bytes, &h, sizeof h);
  if (h.biCompression == BI_BITFIELDS) memcpy(bytes + 40, dib.masks, 12);
  if (!dib.palette.empty()) memcpy(bytes + header_size, dib.palette.data(), 4 * dib.palette.size());
  return words;
}

struct Stretch {
  const plat::DibView* v;
  int xs, ys, ws, hs, xd, yd, wd, hd;
  RECT clip;
  int64_t top;  // the source rectangle's top row, from the picture's top
  int last_y = -1000;
  size_t pixels = 0;

  int64_t source_x(int64_t x) const {
    return xs + plat::stretch_source_index(x - xd, ws, wd, false);
  }
  int64_t source_y(int64_t y) const {
    return top + plat::stretch_source_index(y - yd, hs, hd, true);
  }
  bool inside(int64_t sx, int64_t sy) const {
    return sx >= 0 && sx < v->width && sy >= 0 && sy < v->height;
  }
};

void on_row(void* context, int x, int y, int count, const uint32_t* rgb) {
  Stretch& s = *static_cast<Stretch*>(context);
  check(y > s.last_y && count > 0);
  check(y >= std::max<LONG>(s.yd, s.clip.top) && y < std::min<LONG>(s.yd + s.hd, s.clip.bottom));
  check(x >= std::max<LONG>(s.xd, s.clip.left) &&
        x + count <= std::min<LONG>(s.xd + s.wd, s.clip.right));
  s.last_y = y;
  const int64_t sy = s.source_y(y);
  for (int k = 0; k < count; k++) {
    const int64_t sx = s.source_x(x + k);
    check(s.inside(sx, sy));
    check(rgb[k] == plat::dib_pixel(*s.v, (int)sx, (int)sy));
  }
  s.pixels += (size_t)count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  plat::Dib dib;
  DWORD error = 0;
  if (!plat::bmp_read(data, size, &dib, &error)) {
    check(error == ERROR_INVALID_DATA || error == ERROR_INVALID_PARAMETER ||
          error == ERROR_NOT_ENOUGH_MEMORY || error == ERROR_FILE_TOO_LARGE);
    check(dib.width == 0 && dib.bits.empty() && dib.palette.empty());
    return 0;
  }

  // The picture is whole and consistent.
  const size_t stride = plat::dib_stride(dib.width, dib.bpp);
  check(dib.width > 0 && dib.height > 0 && stride > 0);
  check(dib.bits.size() == stride * (size_t)dib.height);
  check(dib.palette.size() == (dib.bpp <= 8 ? size_t(1) << dib.bpp : 0));
  if (dib.bpp != 16 && dib.bpp != 32) check(!dib.masks[0] && !dib.masks[1] && !dib.masks[2]);
  check(uint64_t(dib.width) * uint64_t(dib.height) <= plat::kMaxPicturePixels);

  // Read in the file's own memory (LoadImageA's way), the same picture.
  std::vector<uint8_t> file(data, data + size);
  plat::Dib adopted;
  check(plat::bmp_adopt(&file, &adopted, &error));
  check(adopted.bits == dib.bits && adopted.width == dib.width && adopted.height == dib.height &&
        adopted.bpp == dib.bpp && memcmp(adopted.masks, dib.masks, sizeof dib.masks) == 0 &&
        adopted.palette.size() == dib.palette.size());
  for (size_t i = 0; i < dib.palette.size(); i++)
    check(memcmp(&adopted.palette[i], &dib.palette[i], sizeof dib.palette[i]) == 0);

  // Uncompressed files: the file's own rows, turned bottom-up.
  const uint32_t header_size = le32(data + 14), off = le32(data + 10);
  const uint32_t compression = header_size >= 40 ? le32(data + 30) : BI_RGB;
  const bool rle = compression == BI_RLE8 || compression == BI_RLE4;
  if (!rle) {
    const bool top_down = header_size >= 40 && (int32_t)le32(data + 22) < 0;
    for (size_t row = 0; row < (size_t)dib.height; row++) {
      const size_t file_row = top_down ? (size_t)dib.height - 1 - row : row;
      check(memcmp(dib.bits.data() + row * stride, data + off + file_row * stride, stride) == 0);
    }
  }

  plat::DibView v;
  plat::dib_view_of(dib, &v);

  // The same pixels through a BITMAPINFO, bottom-up and flipped top-down.
  const DWORD record_size = size % 2 ? 44 : 40;
  std::vector<uint8_t> flipped(dib.bits.size());
  for (size_t row = 0; row < (size_t)dib.height; row++) {
    memcpy(flipped.data() + row * stride, dib.bits.data() + ((size_t)dib.height - 1 - row) * stride,
           stride);
  }
  for (bool top_down : {false, true}) {
    const std::vector<uint32_t> rec =
        record_for(dib, record_size, top_down ? -dib.height : dib.height);
    plat::DibView w;
    check(plat::dib_view(reinterpret_cast<const BITMAPINFO*>(rec.data()),
                         top_down ? flipped.data() : dib.bits.data(), DIB_RGB_COLORS, &w, &error));
    same_pixels(v, w);
  }

  // RLE data handed straight to dib_view decodes as the reader decoded it,
  // when biSizeImage covers exactly the bytes the reader took.
  const uint32_t size_image = header_size >= 40 ? le32(data + 34) : 0;
  if (rle && size_image != 0 && size_image <= size - off) {
    std::vector<uint32_t> rec = record_for(dib, 40, dib.height);
    BITMAPINFOHEADER* h = reinterpret_cast<BITMAPINFOHEADER*>(rec.data());
    h->biCompression = compression;
    h->biSizeImage = size_image;
    plat::DibView w;
    check(plat::dib_view(reinterpret_cast<const BITMAPINFO*>(rec.data()), data + off,
                         DIB_RGB_COLORS, &w, &error));
    check(w.own == dib.bits);
  }

  // A stretch onto at most 64 x 64 pixels inside a 48 x 48 clip.
  const uint8_t* p = data + size - 8;  // a whole file has at least 30 bytes
  Stretch s;
  s.v = &v;
  s.xs = (int8_t)p[0], s.ys = (int8_t)p[1], s.ws = 1 + p[2], s.hs = 1 + p[3];
  s.wd = 1 + p[4] % 64, s.hd = 1 + p[5] % 64, s.xd = (int8_t)p[6] % 16, s.yd = (int8_t)p[7] % 16;
  s.clip = RECT{0, 0, 48, 48};
  s.top = (int64_t)dib.height - s.ys - s.hs;  // bottom-up
  plat::dib_stretch(v, s.xs, s.ys, s.ws, s.hs, s.xd, s.yd, s.wd, s.hd, s.clip, on_row, &s);
  size_t want = 0;
  for (int y = std::max(s.yd, 0); y < std::min(s.yd + s.hd, 48); y++) {
    for (int x = std::max(s.xd, 0); x < std::min(s.xd + s.wd, 48); x++) {
      want += s.inside(s.source_x(x), s.source_y(y));
    }
  }
  check(s.pixels == want);
  return 0;
}
