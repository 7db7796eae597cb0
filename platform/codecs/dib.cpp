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
#include <sys/mman.h>

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

// What the compression says against the depth and the row order.
const char* compression_fault(const DibHeader& d) {
  switch (d.compression) {
    case BI_RGB:
      return nullptr;
    case BI_BITFIELDS:
      return d.bpp == 16 || d.bpp == 32 ? nullptr : "bit fields need 16 or 32 bpp";
    case BI_RLE8:
    case BI_RLE4:
      if (d.bpp != (d.compression == BI_RLE8 ? 8u : 4u)) return "RLE with the wrong depth";
      return d.top_down ? "top-down RLE" : nullptr;  // RLE rows always run bottom-up
  }
  return "unsupported compression";
}

// The colour table at biSize: RGBQUADs used in place, or a core header's
// RGBTRIPLEs widened so that the view can point at RGBQUADs.
void view_palette(const uint8_t* rec, const DibHeader& d, DibView* out) {
  const size_t entries = d.colours();
  if (entries == 0) return;
  if (d.core) {
    out->own_palette.resize(entries);
    for (size_t i = 0; i < entries; i++) {
      const uint8_t* t = rec + 12 + 3 * i;
      out->own_palette[i] = RGBQUAD{t[0], t[1], t[2], 0};
    }
    out->palette = out->own_palette.data();
  } else {
    out->palette = reinterpret_cast<const RGBQUAD*>(rec + d.size);
  }
  out->palette_size = (int)entries;
}

}  // namespace

size_t dib_stride(int width, int bpp) {
  if (width <= 0 || bpp <= 0 || !valid_bpp((unsigned)bpp)) return 0;
  const uint64_t bytes = ((uint64_t)width * (uint64_t)bpp + 31) / 32 * 4;
  if (bytes > SIZE_MAX) return 0;
  return (size_t)bytes;
}

void prefer_large_pages(void* p, size_t n) {
#ifdef MADV_HUGEPAGE
  // Only whole large pages inside the block: advice never reaches memory
  // the block does not own.
  const uintptr_t large = uintptr_t(2) << 20;
  const uintptr_t begin = (reinterpret_cast<uintptr_t>(p) + large - 1) & ~(large - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(p) + n) & ~(large - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)p, (void)n;
#endif
}

void fresh_bytes(std::vector<uint8_t>* bytes, size_t n) {
  std::vector<uint8_t>().swap(*bytes);
  bytes->reserve(n);
  prefer_large_pages(bytes->data(), n);
}

size_t DibHeader::colours() const {
  if (bpp > 8) return 0;
  const size_t full = size_t(1) << bpp;
  return core || clr_used == 0 ? full : std::min<size_t>(clr_used, full);
}

DibFault dib_header_read(const uint8_t* h, size_t available, DibHeader* out, const char** reason) {
  *out = DibHeader();
  const auto refuse = [&](DibFault fault, const char* why) {
    *reason = why;
    return fault;
  };
  if (available < 4) return refuse(DibFault::kBadData, "no header size");
  DibHeader& d = *out;
  d.size = read_as<DWORD>(h);
  d.core = d.size == 12;
  if (!d.core && d.size < 40) return refuse(DibFault::kBadData, "unknown header size");
  if (d.size > available) return refuse(DibFault::kBadData, "data ends inside the header");
  int64_t width, height;
  if (d.core) {
    width = read_as<WORD>(h + 4), height = read_as<WORD>(h + 6);
    d.planes = read_as<WORD>(h + 8), d.bpp = read_as<WORD>(h + 10);
  } else {
    width = read_as<int32_t>(h + 4), height = read_as<int32_t>(h + 8);
    d.planes = read_as<WORD>(h + 12), d.bpp = read_as<WORD>(h + 14);
    d.compression = read_as<DWORD>(h + 16), d.size_image = read_as<DWORD>(h + 20);
    d.clr_used = read_as<DWORD>(h + 32);
  }
  if (width <= 0) return refuse(DibFault::kBadParameter, "width not above 0");
  if (height == 0) return refuse(DibFault::kBadParameter, "height 0");
  if (!valid_bpp(d.bpp) || (d.core && d.bpp > 24))
    return refuse(DibFault::kBadParameter, "unsupported bit count");
  d.top_down = height < 0;
  if (d.top_down) height = -height;
  if (height > INT_MAX) return refuse(DibFault::kBadData, "height out of range");
  d.width = (int)width, d.height = (int)height;
  if (const char* why = compression_fault(d)) return refuse(DibFault::kBadData, why);
  if (d.compression == BI_BITFIELDS) {
    if (available < 52) return refuse(DibFault::kBadData, "data ends inside the masks");
    for (int i = 0; i < 3; i++) d.masks[i] = read_as<DWORD>(h + 40 + 4 * i);
  } else if (d.bpp == 16 || d.bpp == 32) {
    memcpy(d.masks, d.bpp == 16 ? kMasks16 : kMasks32, sizeof d.masks);
  }
  d.stride = dib_stride(d.width, (int)d.bpp);
  if (d.stride == 0 || (size_t)d.height > SIZE_MAX / d.stride)
    return refuse(DibFault::kBadData, "picture size overflows");
  d.image_bytes = d.stride * (size_t)d.height;
  return DibFault::kNone;
}

bool dib_view(const BITMAPINFO* info, const void* bits, UINT usage, DibView* out, DWORD* error) {
  *out = DibView();
  const auto fail = [&](DWORD code) {
    *out = DibView();
    *error = code;
    return false;
  };
  if (!info || usage != DIB_RGB_COLORS) return fail(ERROR_INVALID_PARAMETER);
  // The caller vouches for the record: the masks at 40 are part of it.
  const uint8_t* rec = reinterpret_cast<const uint8_t*>(info);
  DibHeader d;
  const char* reason = nullptr;
  if (dib_header_read(rec, SIZE_MAX, &d, &reason) != DibFault::kNone)
    return fail(ERROR_INVALID_PARAMETER);
  // StretchDIBits with no bits fails but leaves the last error as it was.
  if (!bits) return fail(ERROR_SUCCESS);

  out->width = d.width;
  out->height = d.height;
  out->top_down = d.top_down;
  out->bpp = (int)d.bpp;
  out->stride = d.stride;
  out->bits = static_cast<const uint8_t*>(bits);
  out->compression = d.compression == BI_BITFIELDS ? BI_BITFIELDS : BI_RGB;
  memcpy(out->masks, d.masks, sizeof out->masks);
  try {
    view_palette(rec, d, out);
    // biSizeImage bytes of RLE data, held to the reader's bound on what that
    // many bytes can describe.  A stream that stops early leaves the rest at
    // index 0, as GDI draws it.
    if (d.compression == BI_RLE8 || d.compression == BI_RLE4) {
      if (!rle_fits(d.image_bytes, d.size_image)) return fail(ERROR_INVALID_PARAMETER);
      out->own.assign(d.image_bytes, 0);
      rle_unpack(out->bits, d.size_image, out->bpp, d.width, d.height, d.stride, out->own.data());
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
