// BMP reader: a Windows bitmap file held whole in memory into a Dib.
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
// two bytes gives at most 255 pixels, so real encoders stay below 128) and at
// most kRleMaxBytes in all; a tiny file claiming a huge picture fails before
// anything is allocated.

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

uint32_t le16(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}

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

Status parse(const uint8_t* data, size_t size, Dib* out) {
  if (!data || size < kFileHeader + 4) return invalid("shorter than the file header");
  if (data[0] != 'B' || data[1] != 'M') return invalid("no \"BM\" at the start");
  const uint32_t off_bits = le32(data + 10);
  const uint32_t header_size = le32(data + kFileHeader);
  const bool core = header_size == 12;
  if (!core && header_size < 40) return invalid("unknown header size");
  if (header_size > size - kFileHeader) return invalid("file ends inside the header");

  const uint8_t* h = data + kFileHeader;
  int64_t width, height;
  uint32_t planes, bpp, compression = BI_RGB, size_image = 0, clr_used = 0;
  if (core) {
    width = le16(h + 4);
    height = le16(h + 6);
    planes = le16(h + 8);
    bpp = le16(h + 10);
  } else {
    width = (int32_t)le32(h + 4);
    height = (int32_t)le32(h + 8);
    planes = le16(h + 12);
    bpp = le16(h + 14);
    compression = le32(h + 16);
    size_image = le32(h + 20);
    clr_used = le32(h + 32);
  }

  // What Windows' loader reports as a bad parameter rather than bad data.
  if (width <= 0) return bad_parameter("width not above 0");
  if (height == 0) return bad_parameter("height 0");
  const bool depth_ok =
      bpp == 1 || bpp == 4 || bpp == 8 || bpp == 24 || (!core && (bpp == 16 || bpp == 32));
  if (!depth_ok) return bad_parameter("unsupported bit count");

  if (planes != 1) return invalid("planes not 1");
  const bool top_down = height < 0;
  if (top_down) height = -height;
  if (height > INT_MAX) return invalid("height out of range");
  const bool rle = compression == BI_RLE8 || compression == BI_RLE4;
  switch (compression) {
    case BI_RGB:
      break;
    case BI_BITFIELDS:
      if (bpp != 16 && bpp != 32) return invalid("bit fields need 16 or 32 bpp");
      break;
    case BI_RLE8:
    case BI_RLE4:
      if (bpp != (compression == BI_RLE8 ? 8u : 4u)) return invalid("RLE with the wrong depth");
      // RLE rows always run bottom-up.
      if (top_down) return invalid("top-down RLE");
      break;
    default:
      return invalid("unsupported compression");
  }

  // Where the header (and masks) end; the pixels may not start before that.
  uint64_t header_end = kFileHeader + uint64_t(header_size);
  DWORD masks[3] = {0, 0, 0};
  if (compression == BI_BITFIELDS) {
    if (size - kFileHeader < 52) return invalid("file ends inside the masks");
    for (int i = 0; i < 3; i++) masks[i] = le32(h + 40 + 4 * i);
    header_end = std::max<uint64_t>(header_end, kFileHeader + 52);
  } else if (bpp == 16) {
    masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
  } else if (bpp == 32) {
    masks[0] = 0x00FF0000, masks[1] = 0x0000FF00, masks[2] = 0x000000FF;
  }
  if (off_bits < header_end) return invalid("pixel offset inside the header");
  if (off_bits > size) return invalid("pixel offset past the end");

  const size_t stride = dib_stride((int)width, (int)bpp);
  if (stride == 0 || (uint64_t)height > SIZE_MAX / stride) return invalid("picture size overflows");
  const size_t total = stride * (size_t)height;
  const uint8_t* pixels = data + off_bits;
  const size_t available = size - off_bits;
  // RLE data: the rest of the file, or biSizeImage bytes of it when that is
  // given and smaller.
  const size_t rle_bytes = size_image != 0 ? std::min<size_t>(available, size_image) : available;
  if (rle) {
    if (!rle_fits(total, rle_bytes)) return invalid("RLE picture larger than its data allows");
  } else if (total > available) {
    return invalid("file ends inside the pixels");
  }

  // The colour table: entries the pixel offset cuts off stay black, as do
  // those past biClrUsed; stored as exactly 1 << bpp entries.
  std::vector<RGBQUAD> palette;
  if (bpp <= 8) {
    const size_t full = size_t(1) << bpp, entry = core ? 3 : 4;
    size_t entries = core || clr_used == 0 ? full : std::min<size_t>(clr_used, full);
    entries = static_cast<size_t>(std::min<uint64_t>(entries, (off_bits - header_end) / entry));
    palette.assign(full, RGBQUAD{0, 0, 0, 0});
    const uint8_t* table = data + header_end;
    for (size_t i = 0; i < entries; i++) {
      const uint8_t* e = table + entry * i;
      palette[i] = RGBQUAD{e[0], e[1], e[2], 0};
    }
  }

  std::vector<uint8_t> bits;
  if (rle) {
    bits.assign(total, 0);
    if (!rle_unpack(pixels, rle_bytes, (int)bpp, (int)width, (int)height, stride, bits.data())) {
      return invalid("RLE data ends before the picture does");
    }
  } else if (!top_down) {
    bits.assign(pixels, pixels + total);
  } else {
    bits.resize(total);
    for (size_t row = 0; row < (size_t)height; row++) {
      memcpy(bits.data() + row * stride, pixels + ((size_t)height - 1 - row) * stride, stride);
    }
  }

  out->width = (int)width;
  out->height = (int)height;
  out->bpp = (int)bpp;
  memcpy(out->masks, masks, sizeof masks);
  out->palette = std::move(palette);
  out->bits = std::move(bits);
  return kOk;
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

bool bmp_read(const uint8_t* data, size_t size, Dib* out, DWORD* error) {
  *out = Dib();
  Status status;
  try {
    status = parse(data, size, out);
  } catch (const std::bad_alloc&) {
    status = Status{ERROR_NOT_ENOUGH_MEMORY, "out of memory"};
  }
  if (status.error != ERROR_SUCCESS) {
    *out = Dib();
    *error = status.error;
    return false;
  }
  return true;
}

}  // namespace plat
