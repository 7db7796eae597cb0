// COLORONCOLOR stretching of DIB pixels onto a destination rectangle.
//
// Each destination pixel takes exactly one source pixel, chosen per axis by
// stretch_source_index.  Shaped for large pictures: the source column of
// every destination column is worked out once; each source row the
// destination needs is converted once (rows an enlargement repeats hand the
// same colours on again); 24 and 32 bpp rows are read straight from their
// bytes, palette rows through a table of colours, 16 bpp rows through a
// table of every pixel value when the work is large enough to pay for it.

#include "dib.h"

#include <algorithm>
#include <new>
#include <vector>

namespace plat {

namespace {

// a / b rounded down, for b > 0.
int64_t floor_div(int64_t a, int64_t b) {
  const int64_t q = a / b;
  return q * b > a ? q - 1 : q;
}

enum class Kind { kPalette1, kPalette4, kPalette8, kTable16, k24, k32, kAny };

// Colours of the destination's source columns `cols` in one source row.
struct RowReader {
  const DibView* v;
  Kind kind;
  std::vector<uint32_t> table;  // colours by palette index or by 16-bit value

  void read(int row, const std::vector<uint32_t>& cols, uint32_t* out) const {
    const size_t mem_row = v->top_down ? (size_t)row : (size_t)(v->height - 1 - row);
    const uint8_t* p = v->bits + mem_row * v->stride;
    const size_t n = cols.size();
    const uint32_t* t = table.data();
    switch (kind) {
      case Kind::k24:
        for (size_t k = 0; k < n; k++) {
          const uint8_t* q = p + 3 * (size_t)cols[k];
          out[k] = uint32_t(q[0]) | uint32_t(q[1]) << 8 | uint32_t(q[2]) << 16;
        }
        break;
      case Kind::k32:  // masks 00FF0000 0000FF00 000000FF: bytes B, G, R, unused
        for (size_t k = 0; k < n; k++) {
          const uint8_t* q = p + 4 * (size_t)cols[k];
          out[k] = uint32_t(q[0]) | uint32_t(q[1]) << 8 | uint32_t(q[2]) << 16;
        }
        break;
      case Kind::kPalette8:
        for (size_t k = 0; k < n; k++) out[k] = t[p[cols[k]]];
        break;
      case Kind::kPalette4:
        for (size_t k = 0; k < n; k++) {
          const uint32_t c = cols[k];
          out[k] = t[p[c / 2] >> (c % 2 ? 0 : 4) & 15];
        }
        break;
      case Kind::kPalette1:
        for (size_t k = 0; k < n; k++) {
          const uint32_t c = cols[k];
          out[k] = t[p[c / 8] >> (7 - c % 8) & 1];
        }
        break;
      case Kind::kTable16:
        for (size_t k = 0; k < n; k++) {
          const uint8_t* q = p + 2 * (size_t)cols[k];
          out[k] = t[q[0] | q[1] << 8];
        }
        break;
      case Kind::kAny:
        for (size_t k = 0; k < n; k++) out[k] = dib_pixel(*v, (int)cols[k], row);
        break;
    }
  }
};

// `work`: about how many pixels will be converted.
RowReader reader_for(const DibView& v, size_t work) {
  RowReader r{&v, Kind::kAny, {}};
  switch (v.bpp) {
    case 1:
    case 4:
    case 8: {
      r.kind = v.bpp == 1 ? Kind::kPalette1 : v.bpp == 4 ? Kind::kPalette4 : Kind::kPalette8;
      r.table.assign(size_t(1) << v.bpp, 0);  // entries past the palette read as black
      const int entries = std::min(v.palette_size, 1 << v.bpp);
      for (int i = 0; i < entries; i++) {
        const RGBQUAD& q = v.palette[i];
        r.table[i] = uint32_t(q.rgbRed) << 16 | uint32_t(q.rgbGreen) << 8 | q.rgbBlue;
      }
      break;
    }
    case 16:
      // Every 16-bit value through dib_pixel once, when that is less work
      // than converting each needed pixel.
      if (work > (size_t(1) << 17)) {
        uint8_t px[4] = {0, 0, 0, 0};
        DibView one;
        one.width = one.height = 1;
        one.bpp = 16;
        std::copy(v.masks, v.masks + 3, one.masks);
        one.bits = px;
        one.stride = 4;
        r.table.resize(size_t(1) << 16);
        for (uint32_t value = 0; value < r.table.size(); value++) {
          px[0] = (uint8_t)value;
          px[1] = (uint8_t)(value >> 8);
          r.table[value] = dib_pixel(one, 0, 0);
        }
        r.kind = Kind::kTable16;
      }
      break;
    case 24:
      r.kind = Kind::k24;
      break;
    case 32:
      if (v.masks[0] == 0x00FF0000 && v.masks[1] == 0x0000FF00 && v.masks[2] == 0x000000FF) {
        r.kind = Kind::k32;
      }
      break;
  }
  return r;
}

}  // namespace

// The destination index d and source and destination lengths are ints in
// practice (d < n < 2^31, s < 2^31), so every product stays below 2^63.
int64_t stretch_source_index(int64_t d, int64_t s, int64_t n, bool vertical) {
  if (s <= 0 || n <= 0) return 0;
  if (n >= s) return floor_div((2 * d + 1) * s - 1, 2 * n);
  if (!vertical) return floor_div((2 * d + 2) * s - n, 2 * n);
  return floor_div(2 * d * s + n, 2 * n);
}

void dib_stretch(const DibView& v, int xs, int ys, int ws, int hs, int xd, int yd, int wd, int hd,
                 const RECT& clip, DibRowSink sink, void* context) {
  if (ws <= 0 || hs <= 0 || wd <= 0 || hd <= 0 || !sink || !v.bits || v.width <= 0 ||
      v.height <= 0) {
    return;
  }
  // Destination columns [i0, i1) and rows [j0, j1), counted from (xd, yd),
  // that lie inside the clip.
  const int64_t i0 = std::max<int64_t>(0, (int64_t)clip.left - xd);
  const int64_t i1 = std::min<int64_t>(wd, (int64_t)clip.right - xd);
  const int64_t j0 = std::max<int64_t>(0, (int64_t)clip.top - yd);
  const int64_t j1 = std::min<int64_t>(hd, (int64_t)clip.bottom - yd);
  if (i0 >= i1 || j0 >= j1) return;

  try {
    // The rule never decreases along an axis, so the columns whose source
    // lies inside the picture form one run, starting at `first`.
    std::vector<uint32_t> cols;
    int64_t first = -1;
    for (int64_t i = i0; i < i1; i++) {
      const int64_t c = xs + stretch_source_index(i, ws, wd, false);
      if (c < 0) continue;
      if (c >= v.width) break;
      if (first < 0) first = i;
      cols.push_back((uint32_t)c);
    }
    if (cols.empty()) return;

    // ys counts from the bottom row of a bottom-up picture: the source
    // rectangle's top row, counted from the picture's top, is then
    // height - ys - hs.
    const int64_t top = v.top_down ? (int64_t)ys : (int64_t)v.height - ys - hs;
    const size_t rows = (size_t)std::min<int64_t>(j1 - j0, hs);
    const RowReader reader = reader_for(v, rows * cols.size());
    std::vector<uint32_t> rgb(cols.size());
    int64_t converted = -1;
    for (int64_t j = j0; j < j1; j++) {
      const int64_t r = top + stretch_source_index(j, hs, hd, true);
      if (r < 0) continue;
      if (r >= v.height) break;
      if (r != converted) {
        reader.read((int)r, cols, rgb.data());
        converted = r;
      }
      sink(context, (int)(xd + first), (int)(yd + j), (int)cols.size(), rgb.data());
    }
  } catch (const std::bad_alloc&) {
    // Nothing more is drawn.
  }
}

}  // namespace plat
