// DIB layout: row sizes, reading a BITMAPINFO the way GDI does, and the
// colour of one pixel.
//
// GDI's record layout, which programs rely on (GetDIBits writes it, and
// StretchDIBits reads it back):
//  - the header's first four bytes give its size, biSize: 12 for a
//    BITMAPCOREHEADER (16-bit unsigned width and height, planes, bit count;
//    no compression), 40 or more for a BITMAPINFOHEADER and its longer
//    versions, whose first 40 bytes are always the same;
//  - the colour table starts biSize bytes into the record: RGBTRIPLEs after a
//    core header, RGBQUADs otherwise;
//  - with BI_BITFIELDS the red, green and blue masks sit at offset 40 whatever
//    biSize says: right after a 40-byte header, inside a V2 or later one.

#include "dib.h"
#include "rle.h"

#include <limits.h>
#include <string.h>

#include <algorithm>
#include <new>

namespace plat {

namespace {

const DWORD kMasks16[3] = {0x7C00, 0x03E0, 0x001F};
const DWORD kMasks32[3] = {0x00FF0000, 0x0000FF00, 0x000000FF};

bool valid_bpp(unsigned bpp) {
  return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
}

// One colour channel as 8 bits: the masked bits taken down to bit 0; a field
// wider than 8 bits keeps its top 8, a narrower one repeats its bits
// downwards (5 bits abcde become abcdeabc), so that the largest value is 255.
uint32_t channel(uint32_t pixel, DWORD mask) {
  if (mask == 0) return 0;
  const int shift = __builtin_ctz(mask);
  const int width = 32 - __builtin_clz(mask) - shift;
  const uint32_t v = (pixel & mask) >> shift;
  if (width >= 8) return (v >> (width - 8)) & 0xFF;
  const uint32_t top = v << (8 - width);
  uint32_t out = top;
  for (int filled = width; filled < 8; filled += width) out |= top >> filled;
  return out & 0xFF;
}

uint32_t masked(uint32_t pixel, const DWORD masks[3]) {
  return channel(pixel, masks[0]) << 16 | channel(pixel, masks[1]) << 8 | channel(pixel, masks[2]);
}

template <typename T>
T read_as(const uint8_t* p) {
  T v;
  memcpy(&v, p, sizeof v);
  return v;
}

}  // namespace

size_t dib_stride(int width, int bpp) {
  if (width <= 0 || bpp <= 0 || !valid_bpp((unsigned)bpp)) return 0;
  const uint64_t bytes = ((uint64_t)width * (uint64_t)bpp + 31) / 32 * 4;
  if (bytes > SIZE_MAX) return 0;
  return (size_t)bytes;
}

bool dib_view(const BITMAPINFO* info, const void* bits, UINT usage, DibView* out, DWORD* error) {
  *out = DibView();
  const auto fail = [&](DWORD code) {
    *out = DibView();
    *error = code;
    return false;
  };
  if (!info || usage != DIB_RGB_COLORS) return fail(ERROR_INVALID_PARAMETER);
  const uint8_t* rec = reinterpret_cast<const uint8_t*>(info);
  const DWORD size = info->bmiHeader.biSize;
  const bool core = size == 12;
  int64_t width, height;
  unsigned bpp;
  DWORD compression = BI_RGB, clr_used = 0, size_image = 0;
  if (core) {
    width = read_as<WORD>(rec + 4);
    height = read_as<WORD>(rec + 6);
    bpp = read_as<WORD>(rec + 10);
  } else if (size >= 40) {
    width = info->bmiHeader.biWidth;
    height = info->bmiHeader.biHeight;
    bpp = info->bmiHeader.biBitCount;
    compression = info->bmiHeader.biCompression;
    clr_used = info->bmiHeader.biClrUsed;
    size_image = info->bmiHeader.biSizeImage;
  } else {
    return fail(ERROR_INVALID_PARAMETER);
  }
  const bool top_down = height < 0;
  if (top_down) height = -height;
  if (width <= 0 || height == 0 || height > INT_MAX || !valid_bpp(bpp) ||
      (core && (bpp == 16 || bpp == 32))) {
    return fail(ERROR_INVALID_PARAMETER);
  }
  const bool rle = compression == BI_RLE8 || compression == BI_RLE4;
  const bool fits = (compression == BI_RGB) ||
                    (compression == BI_BITFIELDS && (bpp == 16 || bpp == 32)) ||
                    (compression == BI_RLE8 && bpp == 8 && !top_down) ||
                    (compression == BI_RLE4 && bpp == 4 && !top_down);
  if (!fits) return fail(ERROR_INVALID_PARAMETER);
  const size_t stride = dib_stride((int)width, (int)bpp);
  if (stride == 0 || (size_t)height > SIZE_MAX / stride) return fail(ERROR_INVALID_PARAMETER);
  // StretchDIBits with no bits fails but leaves the last error as it was.
  if (!bits) return fail(ERROR_SUCCESS);

  out->width = (int)width;
  out->height = (int)height;
  out->top_down = top_down;
  out->bpp = (int)bpp;
  out->stride = stride;
  out->bits = static_cast<const uint8_t*>(bits);
  out->compression = compression == BI_BITFIELDS ? BI_BITFIELDS : BI_RGB;
  if (compression == BI_BITFIELDS) {
    for (int i = 0; i < 3; i++) out->masks[i] = read_as<DWORD>(rec + 40 + 4 * i);
  } else if (bpp == 16 || bpp == 32) {
    memcpy(out->masks, bpp == 16 ? kMasks16 : kMasks32, sizeof out->masks);
  }
  try {
    if (bpp <= 8) {
      const DWORD full = DWORD(1) << bpp;
      const DWORD entries = clr_used == 0 || core ? full : std::min(clr_used, full);
      if (core) {
        // RGBTRIPLE entries, widened so that the view can point at RGBQUADs.
        out->own_palette.resize(entries);
        for (DWORD i = 0; i < entries; i++) {
          const uint8_t* t = rec + 12 + 3 * i;
          out->own_palette[i] = RGBQUAD{t[0], t[1], t[2], 0};
        }
        out->palette = out->own_palette.data();
      } else {
        out->palette = reinterpret_cast<const RGBQUAD*>(rec + size);
      }
      out->palette_size = (int)entries;
    }
    if (rle) {
      // biSizeImage bytes of RLE data, held to the reader's bound on what
      // that many bytes can describe.  A stream that stops early leaves the
      // rest at index 0, as GDI draws it.
      const size_t total = stride * (size_t)height;
      if (!rle_fits(total, size_image)) return fail(ERROR_INVALID_PARAMETER);
      out->own.assign(total, 0);
      rle_unpack(out->bits, size_image, (int)bpp, (int)width, (int)height, stride, out->own.data());
      out->bits = out->own.data();
    }
  } catch (const std::bad_alloc&) {
    return fail(ERROR_NOT_ENOUGH_MEMORY);
  }
  return true;
}

void dib_view_of(const Dib& dib, DibView* out) {
  *out = DibView();
  out->width = dib.width;
  out->height = dib.height;
  out->bpp = dib.bpp;
  out->compression = dib.bpp == 16 || dib.bpp == 32 ? BI_BITFIELDS : BI_RGB;
  memcpy(out->masks, dib.masks, sizeof out->masks);
  out->palette = dib.palette.empty() ? nullptr : dib.palette.data();
  out->palette_size = (int)dib.palette.size();
  out->bits = dib.bits.data();
  out->stride = dib_stride(dib.width, dib.bpp);
}

uint32_t dib_pixel(const DibView& v, int x, int y) {
  const size_t row = v.top_down ? (size_t)y : (size_t)(v.height - 1 - y);
  const uint8_t* p = v.bits + row * v.stride;
  const size_t ux = (size_t)x;
  unsigned index;
  switch (v.bpp) {
    case 1:
      index = p[ux / 8] >> (7 - ux % 8) & 1;
      break;
    case 4:
      index = p[ux / 2] >> (ux % 2 ? 0 : 4) & 15;
      break;
    case 8:
      index = p[ux];
      break;
    case 16:
      return masked(uint32_t(p[2 * ux]) | uint32_t(p[2 * ux + 1]) << 8, v.masks);
    case 24:
      p += 3 * ux;
      return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    case 32:
      p += 4 * ux;
      return masked(
          uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24,
          v.masks);
    default:
      return 0;
  }
  if ((int)index >= v.palette_size) return 0;
  const RGBQUAD& q = v.palette[index];
  return uint32_t(q.rgbRed) << 16 | uint32_t(q.rgbGreen) << 8 | q.rgbBlue;
}

}  // namespace plat
