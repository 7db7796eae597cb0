// JPEG structure reader: segment walk, EXIF orientation and its rewrite, on
// bytes built here and on small files made by real tools.
//
// Many cases pass a length shorter than the vector that holds the bytes, the
// rest being a valid continuation: a read past `len` then shows as a wrong
// answer even without a sanitizer.
#include "jpeg_read.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

struct Entry {
  unsigned tag, type, count;
  Bytes value;  // the four value bytes as stored
};

void put(Bytes& b, size_t at, uint32_t v, int n, bool big) {
  for (int i = 0; i < n; i++) b[at + i] = (unsigned char)(v >> 8 * (big ? n - 1 - i : i));
}

// "Exif\0\0", a TIFF header with byte-order mark `mark`, IFD0 at offset 8 with
// `entries`, zero-padded to `size` bytes.
Bytes exif(const char* mark, const std::vector<Entry>& entries, size_t size = 40) {
  const bool big = mark[0] == 'M';
  Bytes b(std::max(size, 16 + 12 * entries.size()));
  std::copy_n("Exif\0\0", 6, b.begin());
  b[6] = (unsigned char)mark[0], b[7] = (unsigned char)mark[1];
  put(b, 8, 42, 2, big), put(b, 10, 8, 4, big), put(b, 14, (uint32_t)entries.size(), 2, big);
  size_t at = 16;
  for (const Entry& e : entries) {
    put(b, at, e.tag, 2, big), put(b, at + 2, e.type, 2, big), put(b, at + 4, e.count, 4, big);
    std::copy(e.value.begin(), e.value.end(), b.begin() + (long)at + 8);
    at += 12;
  }
  return b;
}

Bytes with(Bytes b, size_t at, const Bytes& v) {
  std::copy(v.begin(), v.end(), b.begin() + (long)at);
  return b;
}

// A marker segment: FF, code, big-endian length counting itself, payload.
Bytes seg(unsigned char code, const Bytes& payload) {
  const size_t n = payload.size() + 2;
  Bytes b{0xFF, code, (unsigned char)(n >> 8), (unsigned char)n};
  b.insert(b.end(), payload.begin(), payload.end());
  return b;
}

Bytes soi(const Bytes& rest) {
  Bytes b{0xFF, 0xD8};
  b.insert(b.end(), rest.begin(), rest.end());
  return b;
}

// Start of image, the segments, then a few scan bytes and end of image.
Bytes jpeg(const std::vector<Bytes>& segments) {
  Bytes b = soi({});
  for (const Bytes& s : segments) b.insert(b.end(), s.begin(), s.end());
  const Bytes tail{0xFF, 0xDA, 0x00, 0x02, 0x12, 0x34, 0xFF, 0xD9};
  b.insert(b.end(), tail.begin(), tail.end());
  return b;
}

const Entry kMM6{0x0112, 3, 1, {0, 6, 0, 0}}, kII6{0x0112, 3, 1, {6, 0, 0, 0}};
const Entry kOther{0x0110, 3, 1, {0, 9, 0, 0}};
const Bytes kJfif = seg(0xE0, {'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0});
const Bytes kSof = seg(0xC0, {8, 0, 8, 0, 16, 1, 1, 0x11, 0});

struct Case {
  const char* name;
  Bytes bytes;
  unsigned len;  // 0: the whole vector
  unsigned short want;
};

unsigned len_of(const Case& c) {
  return c.len ? c.len : (unsigned)c.bytes.size();
}

TEST(JpegRead, Orientation) {
  const Bytes big3 = exif("MM", {kOther, kOther, kMM6}, 60);  // kMM6 at bytes 40..51
  // IFD0 at offset 40 (byte 46): one entry, orientation 6.
  const Bytes far = with(with(exif("MM", {}, 60), 10, {0, 0, 0, 40}), 46,
                         {0, 1, 0x01, 0x12, 0, 3, 0, 0, 0, 1, 0, 6, 0, 0});
  const std::vector<Case> cases = {
      {"mm short", exif("MM", {kMM6}), 0, 6},
      {"ii short", exif("II", {kII6}), 0, 6},
      {"ii long low half", exif("II", {{0x0112, 4, 1, {8, 0, 1, 0}}}), 0, 8},
      {"mm slong low half", exif("MM", {{0x0112, 9, 1, {0, 1, 0, 8}}}), 0, 8},
      {"mm sshort", exif("MM", {{0x0112, 8, 1, {0, 7, 0, 0}}}), 0, 7},
      {"ii byte", exif("II", {{0x0112, 1, 1, {5, 9, 9, 9}}}), 0, 5},
      {"mm sbyte", exif("MM", {{0x0112, 6, 1, {2, 9, 9, 9}}}), 0, 2},
      {"rational gives 0", exif("MM", {{0x0112, 5, 1, {0, 6, 0, 0}}}), 0, 0},
      {"count 2 skipped", exif("MM", {{0x0112, 3, 2, {0, 6, 0, 6}}}), 0, 0},
      {"count 2, then count 1", exif("MM", {{0x0112, 3, 2, {0, 6, 0, 6}}, {0x0112, 3, 1, {0, 3}}}),
       0, 3},
      {"other tag first", exif("MM", {kOther, kMM6}), 0, 6},
      {"IM is little-endian", exif("IM", {kII6}), 0, 6},
      {"MI is big-endian", exif("MI", {kMM6}), 0, 6},
      {"sixth header byte free", with(exif("II", {kII6}), 5, {'x'}), 0, 6},
      {"fifth header byte zero", with(exif("II", {kII6}), 4, {'x'}), 0, 0},
      {"unknown byte order", with(exif("II", {kII6}), 6, {'X'}), 0, 0},
      {"30-byte block", exif("MM", {kMM6}, 30), 0, 0},
      {"31-byte block", exif("MM", {kMM6}, 31), 0, 6},
      {"len 30 of a longer block", exif("MM", {kMM6}), 30, 0},
      {"null data", {}, 0, 0},
      // Malformed: nothing outside the block is read, the answer is 0.
      {"ifd offset 2^32-1", with(exif("MM", {kMM6}), 10, {0xFF, 0xFF, 0xFF, 0xFF}), 0, 0},
      {"ifd far", far, 0, 6},
      {"ifd count cut by len", far, 47, 0},
      {"ifd entry cut by len", far, 59, 0},
      {"entry count runs out", with(exif("MM", {kOther}), 14, {0xFF, 0xFF}), 0, 0},
      {"entry count large, found first", with(exif("MM", {kMM6}), 14, {0xFF, 0xFF}), 0, 6},
      {"entry cut by len", big3, 51, 0},
      {"entry ends at len", big3, 52, 6},
      // Whole files: the first APP1 only.
      {"file", jpeg({kJfif, seg(0xE1, exif("MM", {kMM6})), kSof}), 0, 6},
      {"scan right after SOI", jpeg({seg(0xDA, {1, 2}), seg(0xE1, exif("MM", {kMM6}))}), 0, 0},
      {"XMP, then EXIF", jpeg({seg(0xE1, Bytes(40, 'x')), seg(0xE1, exif("II", {kII6}))}), 0, 0},
      {"APP1 past the end", jpeg({seg(0xE1, exif("II", {kII6}))}), 45, 0},
      {"APP1 length 1", with(jpeg({seg(0xE1, exif("II", {kII6}))}), 4, {0, 1}), 0, 0},
  };
  for (Case c : cases) {
    EXPECT_EQ(GetOrientation(c.bytes.empty() ? nullptr : c.bytes.data(), len_of(c), 0), c.want)
        << c.name;
  }
}

TEST(JpegRead, RewriteOrientation) {
  const Bytes ii4 = exif("II", {{0x0112, 4, 1, {8, 0, 1, 0}}});
  const Bytes mm4 = exif("MM", {kOther, {0x0112, 4, 1, {0, 1, 0, 8}}});
  const Bytes mm7 = exif("MM", {{0x0112, 7, 1, {0, 6, 0, 0}}});
  const Bytes mm2 = exif("MM", {{0x0112, 3, 2, {0, 6, 0, 6}}});
  const Bytes file = jpeg({kJfif, seg(0xE1, ii4), kSof});
  struct Rewrite {
    const char* name;
    Bytes before;
    unsigned short set_to, old;
    Bytes after;
  } cases[] = {
      {"ii long to 1", ii4, 1, 8, with(ii4, 18, {3, 0, 1, 0, 0, 0, 1, 0, 1, 0})},
      {"mm long to 0x0102", mm4, 0x0102, 8, with(mm4, 30, {0, 3, 0, 0, 0, 1, 1, 2, 0, 8})},
      {"undefined type gives 0, still rewritten", mm7, 3, 0,
       with(with(mm7, 18, {0, 3}), 24, {0, 3})},
      {"no qualifying entry", mm2, 3, 0, mm2},
      {"set_to 0 writes nothing", ii4, 0, 8, ii4},
      {"in a whole file", file, 3, 8, with(file, 20 + 4 + 18, {3, 0, 1, 0, 0, 0, 3, 0})},
  };
  for (Rewrite& c : cases) {
    EXPECT_EQ(GetOrientation(c.before.data(), (unsigned)c.before.size(), c.set_to), c.old)
        << c.name;
    EXPECT_EQ(c.before, c.after) << c.name;
  }
}

TEST(JpegRead, SegmentWalk) {
  const unsigned char* const sof = markersSOx;  // the list most rows search
  struct Walk {
    const char* name;
    Bytes bytes;
    unsigned len;
    const unsigned char* list;
    int off, n;  // off -1: no segment
  } cases[] = {
      {"frame after JFIF", jpeg({kJfif, kSof}), 0, sof, 24, 9},
      {"first of two", jpeg({kSof, seg(0xC2, {1})}), 0, sof, 6, 9},
      {"APP1 list", jpeg({kJfif, seg(0xE1, {1, 2, 3})}), 0, marquerAPP1, 24, 3},
      {"scan first", jpeg({seg(0xDA, {}), kSof}), 0, sof, -1, 0},
      {"end of image first", jpeg({seg(0xD9, {}), kSof}), 0, sof, -1, 0},
      {"fill byte read as a code", soi({0xFF, 0xFF, 0, 2, 0xFF, 0xC0, 0, 2, 0, 0}), 0, sof, 10, 0},
      {"no SOI", with(jpeg({kSof}), 1, {0xD9}), 0, sof, -1, 0},
      {"third byte not FF", with(jpeg({kSof}), 2, {0}), 0, sof, -1, 0},
      {"7 bytes", soi({0xFF, 0xC0, 0, 2, 0, 0}), 7, sof, -1, 0},
      {"next marker not FF", with(jpeg({kJfif, kSof}), 20, {0}), 0, sof, -1, 0},
      {"6 bytes after next FF", soi({0xFF, 0xE0, 0, 2, 0xFF, 0xC0, 0, 4, 1, 2}), 0, sof, 10, 2},
      {"5 bytes after next FF", soi({0xFF, 0xE0, 0, 3, 0, 0xFF, 0xC0, 0, 2, 0}), 0, sof, -1, 0},
      {"length 2", soi({0xFF, 0xC0, 0, 2, 0, 0}), 0, sof, 6, 0},
      {"length 1", soi({0xFF, 0xC0, 0, 1, 0, 0}), 0, sof, -1, 0},
      {"payload ends at len", jpeg({kSof}), 15, sof, 6, 9},
      {"payload past len", jpeg({kSof}), 14, sof, -1, 0},
  };
  for (Walk& c : cases) {
    unsigned off = 0, n = 0;
    const unsigned len = c.len ? c.len : (unsigned)c.bytes.size();
    EXPECT_EQ(jpeg_find_segment(c.bytes.data(), len, c.list, &off, &n), c.off >= 0) << c.name;
    if (c.off < 0) continue;
    EXPECT_EQ(off, (unsigned)c.off) << c.name;
    EXPECT_EQ(n, (unsigned)c.n) << c.name;
  }
  // Every start-of-frame code but the three that share the range.
  for (unsigned code = 0xC0; code <= 0xCF; code++) {
    unsigned off = 0, n = 0;
    const Bytes b = jpeg({seg((unsigned char)code, {8, 0, 1, 0, 1})});
    const bool frame = code != 0xC4 && code != 0xC8 && code != 0xCC;
    EXPECT_EQ(jpeg_find_segment(b.data(), (unsigned)b.size(), sof, &off, &n), frame) << code;
  }
}

TEST(JpegRead, FrameSizeAndExifBuffer) {
  const unsigned char sof[] = {8, 0x01, 0xE0, 0x02, 0x80};
  uint32_t size = 7;
  EXPECT_FALSE(jpeg_frame_size(sof, 4, &size));
  EXPECT_EQ(size, 7u);
  ASSERT_TRUE(jpeg_frame_size(sof, 5, &size));
  EXPECT_EQ(size, 0x01E00280u);

  Bytes mm = exif("MM", {kMM6}), ii = exif("II", {kII6}, 30);
  intel = 1;
  unsigned char* p = mm.data();
  unsigned len = 40;
  ASSERT_TRUE(GetExifBuffer(p, len));
  EXPECT_TRUE(p == mm.data() + 6 && len == 34 && intel == 0);
  p = ii.data(), len = 30;  // too short: nothing changes, intel included
  EXPECT_FALSE(GetExifBuffer(p, len));
  EXPECT_TRUE(p == ii.data() && len == 30 && intel == 0);
}

// Files from tools/make_jpeg_testdata.sh; the name tells how each was made.
TEST(JpegRead, RealFiles) {
  struct File {
    const char* name;
    unsigned short orientation;
    unsigned char frame;  // start-of-frame code; 0 for a bare EXIF block
    uint32_t size;
  } files[] = {
      {"baseline_jfif.jpg", 0, 0xC0, 0x00080010},
      {"baseline_mm_6.jpg", 6, 0xC0, 0x00080010},
      {"progressive_ii_8.jpg", 8, 0xC2, 0x00080010},
      {"arithmetic_ii_3.jpg", 3, 0xC9, 0x00080010},
      {"arithmetic_progressive_mm_5.jpg", 5, 0xCA, 0x00080010},
      {"large_ii_6.jpg", 6, 0xC0, 0x00300040},
      {"large_mm_none.jpg", 0, 0xC0, 0x00300040},
      {"baseline_mm_6.exif", 6, 0, 0},
      {"progressive_ii_8.exif", 8, 0, 0},
  };
  for (const File& f : files) {
    std::ifstream in(std::string(JPEG_TESTDATA_DIR "/") + f.name, std::ios::binary);
    Bytes b{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_GT(b.size(), 30u) << f.name;
    EXPECT_EQ(GetOrientation(b.data(), (unsigned)b.size(), 0), f.orientation) << f.name;
    unsigned off = 0, n = 0;
    uint32_t size = 0;
    EXPECT_EQ(jpeg_find_segment(b.data(), (unsigned)b.size(), markersSOx, &off, &n), f.frame != 0)
        << f.name;
    if (f.frame == 0) continue;
    EXPECT_EQ(b[off - 3], f.frame) << f.name;
    EXPECT_TRUE(jpeg_frame_size(b.data() + off, n, &size)) << f.name;
    EXPECT_EQ(size, f.size) << f.name;
  }
}

}  // namespace
