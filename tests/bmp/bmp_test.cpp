// BMP reader, DIB views and the stretch.  Files made by ImageMagick (some
// rewritten from its files by tools/make_bmp_testdata.sh) are compared pixel
// by pixel with ImageMagick's own decode beside them; RLE streams, malformed
// files and BITMAPINFO records are built here byte by byte; the stretch is
// checked on pixels that encode their own coordinates and on random pixels
// at every depth.
#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "dib.h"

// The largest single allocation since the last reset: refused files must
// fail before anything large is asked for.  (GCC takes the malloc / free
// pair behind new and delete for a mismatch.)
static size_t g_largest_new = 0;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(size_t n) {
  g_largest_new = std::max(g_largest_new, n);
  if (void* p = malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  free(p);
}
void operator delete(void* p, size_t) noexcept {
  free(p);
}
#pragma GCC diagnostic pop

namespace {

using Bytes = std::vector<uint8_t>;
using plat::Dib;

Bytes load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Bytes le(uint32_t v, int n) {
  Bytes b;
  for (int i = 0; i < n; i++) b.push_back((uint8_t)(v >> 8 * i));
  return b;
}

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes with(Bytes b, size_t at, uint32_t v, int n) {
  for (int i = 0; i < n; i++) b.at(at + i) = (uint8_t)(v >> 8 * i);
  return b;
}

// The first 40 bytes of a BITMAPINFOHEADER-style header.
Bytes header(uint32_t size, int32_t w, int32_t h, int bpp, uint32_t compression = BI_RGB,
             uint32_t used = 0, uint32_t image = 0) {
  return le(size, 4) + le((uint32_t)w, 4) + le((uint32_t)h, 4) + le(1, 2) + le(bpp, 2) +
         le(compression, 4) + le(image, 4) + Bytes(8, 0) + le(used, 4) + le(0, 4);
}

// A file with a 40-byte header, then `table`, then `pixels`.
Bytes bmp(int32_t w, int32_t h, int bpp, uint32_t compression, const Bytes& table,
          const Bytes& pixels) {
  return Bytes{'B', 'M'} + Bytes(8, 0) + le(54 + (uint32_t)table.size(), 4) +
         header(40, w, h, bpp, compression, 0, (uint32_t)pixels.size()) + table + pixels;
}

// bmp_read's error (0: read), checking that a refusal leaves nothing behind.
DWORD read_bmp(const Bytes& b, Dib* dib) {
  DWORD error = 0;
  const bool ok = plat::bmp_read(b.data(), b.size(), dib, &error);
  EXPECT_EQ(ok, error == 0);
  EXPECT_EQ(ok, !dib->bits.empty() && dib->width > 0);
  return ok ? 0 : error;
}

TEST(BmpRead, MatchesImageMagicksDecode) {
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(BMP_TESTDATA_DIR)) {
    if (e.path().extension() != ".bmp") continue;
    SCOPED_TRACE(e.path().filename());
    files++;
    Dib dib, adopted;
    Bytes file = load(e.path());
    ASSERT_EQ(read_bmp(file, &dib), 0u);
    EXPECT_EQ(dib.palette.size(), dib.bpp <= 8 ? size_t(1) << dib.bpp : 0);
    // Read in the file's own memory, the same picture.
    DWORD error = 0;
    ASSERT_TRUE(plat::bmp_adopt(&file, &adopted, &error));
    EXPECT_TRUE(adopted.bits == dib.bits && adopted.width == dib.width && adopted.bpp == dib.bpp &&
                memcmp(adopted.masks, dib.masks, sizeof dib.masks) == 0 &&
                std::equal(adopted.palette.begin(), adopted.palette.end(), dib.palette.begin(),
                           dib.palette.end(), [](const RGBQUAD& a, const RGBQUAD& b) {
                             return memcmp(&a, &b, sizeof a) == 0;
                           }));
    // ImageMagick's decode: "P6\n13 7\n255\n", then R, G, B per pixel.
    const Bytes ppm = load(std::filesystem::path(e.path()).replace_extension(".ppm"));
    ASSERT_TRUE(ppm.size() == 12 + 13 * 7 * 3u && dib.width == 13 && dib.height == 7);
    plat::DibView v;
    plat::dib_view_of(dib, &v);
    for (int i = 0; i < 13 * 7; i++) {
      const uint8_t* p = &ppm[12 + 3 * i];
      const uint32_t got = plat::dib_pixel(v, i % 13, i / 13);
      ASSERT_EQ(got, uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]) << i % 13 << "," << i / 13;
    }
  }
  EXPECT_EQ(files, 19);
}

// RLE streams for a 4 x 2 picture, rows bottom-up: runs clipped at the right
// edge, absolute runs and their padding, deltas, skipped pixels left at
// index 0, and the ways a stream may end.
TEST(BmpRead, RleStreams) {
  const struct {
    int bpp;
    Bytes stream, bits;  // bits: two rows of 4 bytes; empty when refused
  } cases[] = {
      {8, {6, 9, 0, 0, 0, 1}, {9, 9, 9, 9, 0, 0, 0, 0}},
      {8, {0, 3, 1, 2, 3, 0, 1, 4, 0, 0, 2, 5, 0, 0}, {1, 2, 3, 4, 5, 5, 0, 0}},
      {8, {1, 5, 0, 2, 1, 1, 1, 6, 0, 2, 0, 7}, {5, 0, 0, 0, 0, 0, 6, 0}},  // past the top
      {8, {1, 7, 0, 0, 1, 8, 0, 0, 0xFF, 0xFF}, {7, 0, 0, 0, 8, 0, 0, 0}},
      {4, {0, 3, 0x12, 0x30, 0, 0, 5, 0xAB, 0, 1}, {0x12, 0x30, 0, 0, 0xAB, 0xAB, 0, 0}},
      {4, {0, 5, 0x12, 0x34, 0x50, 0, 0, 1}, {0x12, 0x34, 0, 0, 0, 0, 0, 0}},
      {8, {2, 1}, {}},           // ends mid-picture
      {8, {0, 5, 1, 2}, {}},     // absolute run cut short
      {8, {1, 1, 0, 2, 1}, {}},  // delta cut short
      {4, {0, 0, 0}, {}},        // odd byte left
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.stream));
    Dib dib;
    const Bytes table(size_t(4) << c.bpp, 0x40);
    EXPECT_EQ(read_bmp(bmp(4, 2, c.bpp, c.bpp == 8 ? BI_RLE8 : BI_RLE4, table, c.stream), &dib),
              c.bits.empty() ? 13u : 0u);
    EXPECT_EQ(dib.bits, c.bits);
  }
}

TEST(BmpRead, RefusesMalformedFiles) {
  const std::string dir = BMP_TESTDATA_DIR "/";
  const Bytes rgb = load(dir + "rgb24_info.bmp"), pal = load(dir + "pal16.bmp");
  const Bytes rle = load(dir + "pal256_rle8.bmp"), core = load(dir + "rgb24_core.bmp");
  // A 40-byte header with bit fields: the masks follow it.
  const Bytes fields = with(load(dir + "rgb565_v5.bmp"), 14, 40, 4);
  const auto cut = [](const Bytes& b, size_t n) { return Bytes(b.begin(), b.begin() + (long)n); };
  const struct {
    const char* name;
    Bytes file;
    DWORD error;
  } cases[] = {
      {"width 0", with(rgb, 18, 0, 4), 87},
      {"negative width", with(rgb, 18, (uint32_t)-13, 4), 87},
      {"height 0", with(rgb, 22, 0, 4), 87},
      {"bit count 7", with(rgb, 28, 7, 2), 87},
      {"32 bpp in a core header", with(core, 24, 32, 2), 87},
      {"empty", {}, 13},
      {"bad magic", with(rgb, 0, 'M', 1), 13},
      {"header size 20", with(rgb, 14, 20, 4), 13},
      {"header past the end", with(rgb, 14, 0xFFFFFFF0, 4), 13},
      {"planes 2", with(rgb, 26, 2, 2), 13},
      {"height -2^31", with(rgb, 22, 0x80000000, 4), 13},
      {"24 bpp with bit fields", with(rgb, 30, BI_BITFIELDS, 4), 13},
      {"JPEG compression", with(rgb, 30, BI_JPEG, 4), 13},
      {"RLE8 at 4 bpp", with(pal, 30, BI_RLE8, 4), 13},
      {"top-down RLE", with(rle, 22, (uint32_t)-7, 4), 13},
      {"pixel offset past the end", with(rgb, 10, (uint32_t)rgb.size() + 1, 4), 13},
      {"pixel offset inside the header", with(rgb, 10, 50, 4), 13},
      {"pixel offset inside the masks", with(fields, 10, 60, 4), 13},
      {"cut in the header", cut(rgb, 40), 13},
      {"cut in the masks", cut(with(fields, 10, 54, 4), 60), 13},
      {"cut in the colour table", cut(pal, 100), 13},
      {"cut in the pixels", cut(rgb, rgb.size() - 1), 13},
      {"cut in the RLE data", cut(rle, rle.size() - 20), 13},
      // A few bytes claiming 60000 x 60000 (3.6 to 10.8 GB of pixels).
      {"huge", bmp(60000, 60000, 24, BI_RGB, {}, Bytes(16, 0)), 13},
      {"huge RLE", bmp(60000, 60000, 8, BI_RLE8, Bytes(1024, 0), {255, 1, 0, 1}), 13},
      // Data enough for the pixels, but one row more than 2^26 pixels.
      {"RLE4 over the pixel cap", bmp(8192, 8193, 4, BI_RLE4, Bytes(64, 0), Bytes(131200, 0)), 223},
      {"1 bpp over the pixel cap", bmp(8192, 8193, 1, BI_RGB, Bytes(8, 0), Bytes(8392704, 0)), 223},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Dib dib;
    g_largest_new = 0;
    EXPECT_EQ(read_bmp(c.file, &dib), c.error);
    EXPECT_LT(g_largest_new, size_t(1) << 16);
  }
}

// Only biClrUsed entries, and only those before the pixel offset (a core
// file with a short table), are read; the rest of the 1 << bpp are black.
TEST(BmpRead, ShortColourTable) {
  for (const auto& c : {std::make_pair("pal16.bmp", 46), std::make_pair("pal16_core.bmp", 10)}) {
    const Bytes file = load(std::string(BMP_TESTDATA_DIR "/") + c.first);
    Dib full, part;
    ASSERT_EQ(read_bmp(file, &full), 0u);
    ASSERT_EQ(read_bmp(with(file, (size_t)c.second, c.second == 10 ? 26 + 3 * 3 : 3, 4), &part),
              0u);
    for (size_t i = 0; i < 16; i++) {
      const RGBQUAD want = i < 3 ? full.palette[i] : RGBQUAD{0, 0, 0, 0};
      EXPECT_EQ(memcmp(&part.palette.at(i), &want, 4), 0) << c.first << " " << i;
    }
  }
}

// A record in aligned memory, with room behind it.
struct Record {
  std::vector<uint32_t> words;
  explicit Record(const Bytes& b) : words(b.size() / 4 + 300) {
    memcpy(words.data(), b.data(), b.size());
  }
  const BITMAPINFO* info() const { return reinterpret_cast<const BITMAPINFO*>(words.data()); }
};

// Colour table at biSize, masks at 40; the top row's colours, or a refusal.
TEST(DibView, ReadsTheRecordAsGdiDoes) {
  const Bytes cc(4, 0xCC), m565 = le(0xF800, 4) + le(0x7E0, 4) + le(0x1F, 4), bits{1, 0, 5, 0};
  const Bytes table{1, 2, 3, 0, 0x10, 0x20, 0x30, 0};
  const Bytes xbgr = le(0xFF, 4) + le(0xFF00, 4) + le(0xFF0000, 4);
  const Bytes core{12, 0, 0, 0, 2, 0, 1, 0, 1, 0, 1, 0, 1, 2, 3, 4, 5, 6};  // 2 x 1, 1 bpp
  const struct {
    const char* name;
    Bytes record, bits;
    std::vector<uint32_t> want;  // empty: refused with 87
  } cases[] = {
      {"table at biSize 44", header(44, 3, 1, 8, 0, 2) + cc + table, bits, {0x302010, 0x030201, 0}},
      {"masks, size 44", header(44, 2, 1, 16, 3) + m565, {0, 0xF8, 0x1F, 0}, {0xFF0000, 0xFF}},
      {"masks, size 40", header(40, 1, 1, 16, 3) + m565, {0xE0, 0x07, 0, 0}, {0x00FF00}},
      {"masks, size 124", header(124, 1, 1, 32, 3) + xbgr, {0x11, 0x22, 0x33, 0x44}, {0x112233}},
      {"16 bpp BI_RGB is 555", header(40, 1, 1, 16), {0x1F, 0x7C, 0, 0}, {0xFF00FF}},
      {"core header", core, {0x80, 0, 0, 0}, {0x060504, 0x030201}},
      {"top-down", header(40, 1, -2, 24), {1, 2, 3, 0, 4, 5, 6, 0}, {0x030201}},
      {"RLE8",
       header(40, 2, 2, 8, 1, 2, 6) + table,
       {2, 1, 0, 0, 1, 1, 1, 1},
       {0x302010, 0x030201}},
      {"biSize 0", header(0, 7, 5, 24), bits, {}},
      {"width 0", header(40, 0, 5, 24), bits, {}},
      {"bit count 7", header(40, 7, 5, 7), bits, {}},
      {"24 bpp bit fields", header(40, 7, 5, 24, BI_BITFIELDS), bits, {}},
      {"RLE8 at 4 bpp", header(40, 7, 5, 4, BI_RLE8, 0, 8), bits, {}},
      {"top-down RLE", header(40, 7, -5, 8, BI_RLE8, 0, 8), bits, {}},
      {"huge RLE", header(40, 60000, 60000, 8, BI_RLE8, 0, 8), bits, {}},
      {"PNG", header(40, 7, 5, 24, BI_PNG), bits, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Record r(c.record);  // the view points into it
    plat::DibView v;
    DWORD error = 0;
    const bool ok = plat::dib_view(r.info(), c.bits.data(), DIB_RGB_COLORS, &v, &error);
    ASSERT_EQ(ok, !c.want.empty());
    EXPECT_EQ(error, ok ? 0u : 87u);
    for (size_t x = 0; ok && x < c.want.size(); x++)
      EXPECT_EQ(plat::dib_pixel(v, (int)x, 0), c.want[x]);
  }
  // Palette indices are refused; no bits too, but leaving the last error alone.
  const Record r(header(40, 7, 5, 8));
  plat::DibView v;
  DWORD error = 5;
  EXPECT_FALSE(plat::dib_view(r.info(), bits.data(), DIB_PAL_COLORS, &v, &error));
  EXPECT_EQ(error, 87u);
  EXPECT_FALSE(plat::dib_view(r.info(), nullptr, DIB_RGB_COLORS, &v, &error));
  EXPECT_EQ(error, 0u);
}

TEST(Stretch, SourceIndexRule) {
  // Recorded: plain d * s / n differs from the rule in 166 of 640 columns
  // for 333 -> 640, and in all of them for 1001 -> 640.
  for (const auto& c : {std::make_pair(333, 166), std::make_pair(1001, 640)}) {
    int differ = 0;
    for (int d = 0; d < 640; d++) {
      differ += plat::stretch_source_index(d, c.first, 640, false) != d * c.first / 640;
    }
    EXPECT_EQ(differ, c.second) << c.first;
  }
  // Halving: horizontally the right pixel of each pair, vertically the top one.
  EXPECT_EQ(plat::stretch_source_index(1, 4, 2, false), 3);
  EXPECT_EQ(plat::stretch_source_index(1, 4, 2, true), 2);
  // Inside the source, never backwards; enlarging skips none.
  for (int s : {1, 2, 7, 100}) {
    for (int n : {1, 3, 7, 100, 250}) {
      for (bool vertical : {false, true}) {
        int64_t last = 0;
        for (int d = 0; d < n; d++) {
          const int64_t i = plat::stretch_source_index(d, s, n, vertical);
          ASSERT_TRUE(i >= last && i < s && (n < s || i - last <= 1)) << s << " " << n << " " << d;
          last = i;
        }
        EXPECT_TRUE(n < s || last == s - 1);
      }
    }
  }
}

struct Canvas {
  RECT area;                // destination rectangle within the clip
  std::vector<int64_t> px;  // -1: not handed on
  int last_y = INT_MIN, bad = 0;
};

void collect(void* context, int x, int y, int count, const uint32_t* rgb) {
  Canvas& c = *static_cast<Canvas*>(context);
  const RECT& a = c.area;
  c.bad +=
      y < c.last_y || count <= 0 || y < a.top || y >= a.bottom || x < a.left || x + count > a.right;
  c.last_y = y;
  for (int k = 0; k < count && !c.bad; k++) {
    int64_t& p = c.px[(size_t)(y - a.top) * (size_t)(a.right - a.left) + (size_t)(x + k - a.left)];
    c.bad += p != -1;
    p = rgb[k];
  }
}

struct Rects {
  int xs, ys, ws, hs, xd, yd, wd, hd;
  RECT clip;
};

// Every destination pixel in the clip is handed on, with want(source x,
// source row from the top), exactly when that source pixel is in the picture.
void check_stretch(const plat::DibView& v, const Rects& r,
                   const std::function<uint32_t(int, int)>& want) {
  Canvas c;
  c.area =
      RECT{std::max<LONG>(r.xd, r.clip.left), std::max<LONG>(r.yd, r.clip.top),
           std::min<LONG>(r.xd + r.wd, r.clip.right), std::min<LONG>(r.yd + r.hd, r.clip.bottom)};
  c.px.assign((size_t)(c.area.right - c.area.left) * (size_t)(c.area.bottom - c.area.top), -1);
  plat::dib_stretch(v, r.xs, r.ys, r.ws, r.hs, r.xd, r.yd, r.wd, r.hd, r.clip, collect, &c);
  ASSERT_EQ(c.bad, 0);
  const int64_t top = v.top_down ? r.ys : v.height - r.ys - r.hs;
  for (size_t i = 0; i < c.px.size(); i++) {
    const LONG x = c.area.left + LONG(i % size_t(c.area.right - c.area.left));
    const LONG y = c.area.top + LONG(i / size_t(c.area.right - c.area.left));
    const int64_t sx = r.xs + plat::stretch_source_index(x - r.xd, r.ws, r.wd, false);
    const int64_t sy = top + plat::stretch_source_index(y - r.yd, r.hs, r.hd, true);
    const bool inside = sx >= 0 && sx < v.width && sy >= 0 && sy < v.height;
    ASSERT_EQ(c.px[i], inside ? (int64_t)want((int)sx, (int)sy) : -1) << x << "," << y;
  }
}

TEST(Stretch, EachPixelFromItsRuleSource) {
  const RECT all{-1000, -1000, 1000, 1000};
  const Rects cases[] = {
      {0, 0, 9, 5, 0, 0, 20, 13, all},
      {0, 0, 9, 5, 3, 2, 4, 2, all},
      {0, 0, 9, 5, 0, 0, 20, 3, all},
      {0, 0, 7, 3, 0, 0, 70, 50, all},
      {5, 0, 7, 5, 0, 0, 70, 50, all},
      {-3, -2, 9, 5, 0, 0, 18, 10, all},
      {0, 0, 9, 5, -5, -4, 30, 20, RECT{2, 3, 17, 11}},
  };
  for (bool top_down : {false, true}) {
    // 9 x 5 at 32 bpp, each pixel x << 8 | y (y from the top).
    Dib d;
    d.width = 9, d.height = 5, d.bpp = 32;
    d.masks[0] = 0xFF0000, d.masks[1] = 0xFF00, d.masks[2] = 0xFF;
    for (int i = 0; i < 9 * 5; i++) {
      d.bits = d.bits + le(uint32_t(i % 9) << 8 | uint32_t(top_down ? i / 9 : 4 - i / 9), 4);
    }
    plat::DibView v;
    plat::dib_view_of(d, &v);
    v.top_down = top_down;
    for (const Rects& r : cases) {
      SCOPED_TRACE(testing::Message()
                   << "top-down " << top_down << ", " << r.xs << "," << r.ys << " " << r.ws << "x"
                   << r.hs << " to " << r.wd << "x" << r.hd);
      check_stretch(v, r, [](int x, int y) { return uint32_t(x) << 8 | uint32_t(y); });
    }
    // Recorded: source rectangle 0,0,7,3 of a bottom-up picture is its lowest
    // three rows, so the destination's top row shows the picture's row 2.
    Canvas c;
    c.area = RECT{0, 0, 1, 1};
    c.px.assign(1, -1);
    plat::dib_stretch(v, 0, 0, 7, 3, 0, 0, 70, 50, c.area, collect, &c);
    EXPECT_EQ(c.px[0], top_down ? 0 : 2);
  }
}

// Random pixels at every depth (palettes one short: the last value is
// black), enlarged enough to take the 16 bpp table and reduced.
TEST(Stretch, EveryDepthMatchesDibPixel) {
  std::mt19937 rng(7);
  const std::vector<std::vector<DWORD>> formats = {{1},
                                                   {4},
                                                   {8},
                                                   {16, 0x7C00, 0x3E0, 0x1F},
                                                   {16, 0xF800, 0x7E0, 0x1F},
                                                   {24},
                                                   {32, 0xFF0000, 0xFF00, 0xFF},
                                                   {32, 0x3FF00000, 0xFFC00, 0x3FF}};
  for (const auto& f : formats) {
    SCOPED_TRACE(testing::Message() << f[0] << " bpp, " << f.size() << " masks");
    Dib d;
    d.width = 300, d.height = 240, d.bpp = (int)f[0];
    std::copy(f.begin() + 1, f.end(), d.masks);
    d.bits.resize(plat::dib_stride(300, d.bpp) * 240);
    for (uint8_t& b : d.bits) b = (uint8_t)rng();
    if (d.bpp <= 8) d.palette.resize((size_t(1) << d.bpp) - 1);
    for (RGBQUAD& q : d.palette) q = RGBQUAD{(BYTE)rng(), (BYTE)rng(), (BYTE)rng(), 0};
    plat::DibView v;
    plat::dib_view_of(d, &v);
    for (const Rects& r : {Rects{0, 0, 300, 240, -7, -3, 700, 260, RECT{0, 0, 690, 250}},
                           Rects{2, 1, 11, 6, 0, 0, 5, 20, RECT{0, 0, 100, 100}}}) {
      check_stretch(v, r, [&](int x, int y) { return plat::dib_pixel(v, x, y); });
    }
  }
}

}  // namespace
