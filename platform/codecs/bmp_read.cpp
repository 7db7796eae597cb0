// BMP reader: a Windows bitmap file held whole in memory, as a view of its
// pixels where they lie or as a Dib of its own.
//
// File layout (every number little-endian):
//   BITMAPFILEHEADER, 14 bytes: "BM", the file size (4, not trusted: writers
//   get it wrong), two reserved words (4), bfOffBits (4): where the pixels
//   start, counted from the start of the file.
//   The bitmap header, whose first four bytes give its size:
//     12  BITMAPCOREHEADER: width and height (unsigned 16-bit), planes, bit
//         count (16-bit each); always uncompressed.
//     40  BITMAPINFOHEADER: width, height (signed 32-bit; a negative height
//         means rows top-down), planes, bit count (16-bit each), compression,
//         image size, two resolutions, colours used, colours important.
//     52, 56 (with the masks), 64 (OS/2 2.x), 108 (V4), 124 (V5): the same
//         40 bytes and more.  Like GDI, any size of 40 or more is read this
//         way; the extra fields (colour space, profile) do not change pixels.
//   BI_BITFIELDS masks (red, green, blue): 12 bytes at header offset 40, that
//   is right after a 40-byte header and inside any longer one.
//   The colour table (1, 4 and 8 bpp) right after the header: B, G, R
//   entries after a core header, B, G, R, reserved otherwise; biClrUsed
//   entries (0: 1 << bpp; more than that are ignored).
//   The pixels at bfOffBits: rows of dib_stride bytes, bottom row first
//   (top row first when the height is negative), or an RLE stream.
//
// Bounds rule: every offset and length from the file is checked against the
// buffer before it is used, in 64-bit or overflow-checked arithmetic.
// Allocation rule: nothing is allocated before the file is known to hold
// what it describes.  Uncompressed pixels must all be present.  An RLE
// picture may be at most 256 bytes per byte of RLE data (an encoded run of
// two bytes gives at most 255 pixels, so real encoders stay below 128), and
// any picture at most kMaxPicturePixels; a tiny file claiming a huge picture
// fails before anything is allocated.

#include "dib.h"
#include "rle.h"

#include <limits.h>
#include <string.h>

#include <algorithm>
#include <new>

namespace plat {

namespace {

// Largest decompressed RLE picture: 16384 x 16384 at 8 bpp.
const size_t kRleMaxBytes = size_t(1) << 28;
// Largest ratio of decompressed bytes to RLE bytes.
const size_t kRleMaxRatio = 256;

const size_t kFileHeader = 14;

uint32_t le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Why a file was refused: the Win32 error LoadImageA reports, and a reason
// for whoever steps through here.
struct Status {
  DWORD error;
  const char* reason;
};

const Status kOk = {ERROR_SUCCESS, nullptr};

Status invalid(const char* reason) {
  return Status{ERROR_INVALID_DATA, reason};
}
Status bad_parameter(const char* reason) {
  return Status{ERROR_INVALID_PARAMETER, reason};
}

// Where a file's parts lie, once its headers are known to fit the file.
struct Layout {
  DibHeader d;
  size_t header_end = 0;  // the end of the header and the masks: the colour table starts here
  size_t off_bits = 0;    // the pixels start here
  size_t rle_bytes = 0;   // RLE data: the rest of the file, or biSizeImage bytes if fewer
};

Status read_layout(const uint8_t* data, size_t size, Layout* l) {
  if (!data || size < kFileHeader + 4) return invalid("shorter than the file header");
  if (data[0] != 'B' || data[1] != 'M') return invalid("no \"BM\" at the start");
  const char* reason = nullptr;
  const DibFault fault = dib_header_read(data + kFileHeader, size - kFileHeader, &l->d, &reason);
  if (fault == DibFault::kBadParameter) return bad_parameter(reason);
  if (fault != DibFault::kNone) return invalid(reason);
  const DibHeader& d = l->d;
  if (d.planes != 1) return invalid("planes not 1");

  // The masks of a 40-byte header follow it; the pixels may not start
  // before the header (and masks) end.
  uint64_t header_end = kFileHeader + uint64_t(d.size);
  if (d.compression == BI_BITFIELDS) header_end = std::max<uint64_t>(header_end, kFileHeader + 52);
  const uint32_t off_bits = le32(data + 10);
  if (off_bits < header_end) return invalid("pixel offset inside the header");
  if (off_bits > size) return invalid("pixel offset past the end");
  l->header_end = (size_t)header_end;
  l->off_bits = off_bits;

  const size_t available = size - off_bits;
  l->rle_bytes = d.size_image != 0 ? std::min<size_t>(available, d.size_image) : available;
  if (d.compression == BI_RLE8 || d.compression == BI_RLE4) {
    if (!rle_fits(d.image_bytes, l->rle_bytes))
      return invalid("RLE picture larger than its data allows");
  } else if (d.image_bytes > available) {
    return invalid("file ends inside the pixels");
  }
  // The same bound as for JPEG files, before anything is allocated.
  if (uint64_t(d.width) * uint64_t(d.height) > kMaxPicturePixels)
    return Status{ERROR_FILE_TOO_LARGE, "more pixels than a picture may have"};
  return kOk;
}

// The colour table, as exactly 1 << bpp entries: those the pixel offset cuts
// off stay black, as do those past biClrUsed.
void read_palette(const uint8_t* data, const Layout& l, std::vector<RGBQUAD>* palette) {
  if (l.d.bpp > 8) return;
  const size_t entry = l.d.core ? 3 : 4;
  const size_t entries = std::min(l.d.colours(), (l.off_bits - l.header_end) / entry);
  palette->assign(size_t(1) << l.d.bpp, RGBQUAD{0, 0, 0, 0});
  const uint8_t* table = data + l.header_end;
  for (size_t i = 0; i < entries; i++) {
    const uint8_t* e = table + entry * i;
    (*palette)[i] = RGBQUAD{e[0], e[1], e[2], 0};
  }
}

Status view(const uint8_t* data, size_t size, DibView* out) {
  Layout l;
  const Status status = read_layout(data, size, &l);
  if (status.error != ERROR_SUCCESS) return status;
  const DibHeader& d = l.d;
  out->width = d.width;
  out->height = d.height;
  out->top_down = d.top_down;
  out->bpp = (int)d.bpp;
  out->compression = d.compression == BI_BITFIELDS ? BI_BITFIELDS : BI_RGB;
  memcpy(out->masks, d.masks, sizeof out->masks);
  out->stride = d.stride;
  read_palette(data, l, &out->own_palette);
  out->palette = out->own_palette.empty() ? nullptr : out->own_palette.data();
  out->palette_size = (int)out->own_palette.size();
  out->bits = data + l.off_bits;
  if (d.compression == BI_RLE8 || d.compression == BI_RLE4) {
    fresh_bytes(&out->own, d.image_bytes);
    out->own.assign(d.image_bytes, 0);
    if (!rle_unpack(out->bits, l.rle_bytes, out->bpp, d.width, d.height, d.stride, out->own.data()))
      return invalid("RLE data ends before the picture does");
    out->bits = out->own.data();
  }
  return kOk;
}

// A view's pixels as a Dib keeps them: bottom row first.
void copy_rows(const DibView& v, std::vector<uint8_t>* bits) {
  const size_t total = v.stride * (size_t)v.height;
  fresh_bytes(bits, total);
  if (!v.top_down) {
    bits->assign(v.bits, v.bits + total);
    return;
  }
  bits->resize(total);
  for (size_t row = 0; row < (size_t)v.height; row++)
    memcpy(bits->data() + row * v.stride, v.bits + ((size_t)v.height - 1 - row) * v.stride,
           v.stride);
}

template <typename Step>
Status status_of(Step step) {
  try {
    return step();
  } catch (const std::bad_alloc&) {
    return Status{ERROR_NOT_ENOUGH_MEMORY, "out of memory"};
  }
}

}  // namespace

bool rle_fits(size_t out_bytes, size_t rle_bytes) {
  return out_bytes <= kRleMaxBytes && (out_bytes + kRleMaxRatio - 1) / kRleMaxRatio <= rle_bytes;
}

// RLE streams (BI_RLE8 at 8 bpp, BI_RLE4 at 4 bpp) code the rows bottom-up
// as pairs of bytes:
//   n > 0, c       n pixels: c (RLE8), or c's high and low nibbles in turn
//   0, 0           end of line: the next row, from its left edge
//   0, 1           end of bitmap
//   0, 2, dx, dy   move dx pixels right and dy rows up
//   0, n >= 3      n pixels as they are (RLE8: n bytes; RLE4: (n + 1) / 2
//                  bytes, high nibble first), padded to an even byte count
// Pixels past a row's right edge are dropped; pixels the stream never sets
// keep whatever `dst` holds (index 0 from the callers).  Returns true at the
// end of bitmap or once the top row is passed, false when the data ends
// before either.
bool rle_unpack(const uint8_t* src, size_t len, int bpp, int width, int height, size_t stride,
                uint8_t* dst) {
  int64_t x = 0, y = 0;
  size_t at = 0;
  const auto put = [&](int64_t px, unsigned index) {
    if (px >= width) return;
    uint8_t* row = dst + (size_t)y * stride;
    if (bpp == 8) {
      row[px] = (uint8_t)index;
    } else {
      uint8_t& b = row[px / 2];
      b = px % 2 ? (uint8_t)((b & 0xF0) | index) : (uint8_t)((b & 0x0F) | index << 4);
    }
  };
  while (y < height) {
    if (len - at < 2) return false;
    const unsigned count = src[at], value = src[at + 1];
    at += 2;
    if (count > 0) {
      for (unsigned k = 0; k < count && x + k < width; k++) {
        put(x + k, bpp == 8 ? value : k % 2 ? value & 15 : value >> 4);
      }
      x += count;
      continue;
    }
    switch (value) {
      case 0:
        x = 0;
        y++;
        break;
      case 1:
        return true;
      case 2:
        if (len - at < 2) return false;
        x += src[at];
        y += src[at + 1];
        at += 2;
        break;
      default: {
        const size_t bytes = bpp == 8 ? value : (value + 1) / 2;
        if (len - at < bytes) return false;
        const uint8_t* p = src + at;
        for (unsigned k = 0; k < value && x + k < width; k++) {
          put(x + k, bpp == 8 ? p[k] : k % 2 ? p[k / 2] & 15 : p[k / 2] >> 4);
        }
        x += value;
        at += std::min(len - at, bytes + bytes % 2);
        break;
      }
    }
  }
  return true;
}

bool bmp_view(const uint8_t* data, size_t size, DibView* out, DWORD* error) {
  *out = DibView();
  const Status status = status_of([&] { return view(data, size, out); });
  if (status.error == ERROR_SUCCESS) return true;
  *out = DibView();
  *error = status.error;
  return false;
}

namespace {

// Turns the file held in *file into the pixels of *out, rows bottom-up, in
// the file's own memory: the pixels move to its start, and a top-down
// picture's rows are swapped in place.
void adopt_rows(const DibView& v, std::vector<uint8_t>* file, std::vector<uint8_t>* bits) {
  const size_t total = v.stride * (size_t)v.height;
  memmove(file->data(), v.bits, total);
  file->resize(total);
  if (v.top_down) {
    std::vector<uint8_t> row(v.stride);
    for (size_t low = 0, high = (size_t)v.height - 1; low < high; low++, high--) {
      uint8_t* a = file->data() + low * v.stride;
      uint8_t* b = file->data() + high * v.stride;
      memcpy(row.data(), a, v.stride);
      memcpy(a, b, v.stride);
      memcpy(b, row.data(), v.stride);
    }
  }
  bits->swap(*file);
}

// bmp_read and bmp_adopt: the pixels from `file` when it is given (its
// memory then becomes the Dib's), else copied out of `data`.
bool read_into(const uint8_t* data, size_t size, std::vector<uint8_t>* file, Dib* out,
               DWORD* error) {
  *out = Dib();
  DibView v;
  if (!bmp_view(data, size, &v, error)) return false;
  const Status status = status_of([&] {
    // Decompressed RLE pixels are moved, not copied.
    if (v.bits == v.own.data())
      out->bits = std::move(v.own);
    else if (file)
      adopt_rows(v, file, &out->bits);
    else
      copy_rows(v, &out->bits);
    return kOk;
  });
  if (status.error != ERROR_SUCCESS) {
    *out = Dib();
    *error = status.error;
    return false;
  }
  out->width = v.width;
  out->height = v.height;
  out->bpp = v.bpp;
  memcpy(out->masks, v.masks, sizeof out->masks);
  out->palette = std::move(v.own_palette);
  return true;
}

}  // namespace

bool bmp_read(const uint8_t* data, size_t size, Dib* out, DWORD* error) {
  return read_into(data, size, nullptr, out, error);
}

bool bmp_adopt(std::vector<uint8_t>* file, Dib* out, DWORD* error) {
  return read_into(file->data(), file->size(), file, out, error);
}

}  // namespace plat
