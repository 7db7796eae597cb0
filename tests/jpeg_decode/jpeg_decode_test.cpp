// jpeg_decode on files made by real tools, each compared pixel for pixel with
// djpeg's decode of it (made beside it by tools/make_jpeg_decode_testdata.sh),
// and on damaged input, which must fail cleanly, quietly and without a leak.
#include "dib.h"

#include <gtest/gtest.h>
#include <stdio.h>

#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes load(const std::string& name) {
  std::ifstream in(std::string(JPEG_DECODE_TESTDATA_DIR) + "/" + name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// djpeg's output: "P5" (grey) or "P6", width, height, 255, one blank, samples.
struct Pnm {
  int width = 0, height = 0, channels = 0;
  Bytes samples;
};

Pnm load_pnm(const std::string& name) {
  const Bytes b = load(name);
  const std::string head(b.begin(), b.begin() + (long)std::min<size_t>(b.size(), 40));
  Pnm p;
  char kind = 0;
  int maxval = 0, at = 0;
  if (sscanf(head.c_str(), "P%c %d %d %d%n", &kind, &p.width, &p.height, &maxval, &at) == 4 &&
      maxval == 255) {
    p.channels = kind == '5' ? 1 : 3;
    p.samples.assign(b.begin() + at + 1, b.end());
  }
  return p;
}

// Offset of the first segment with marker code `code`, walking from SOI.
size_t segment(const Bytes& b, uint8_t code) {
  size_t i = 2;
  while (i + 4 <= b.size() && b[i] == 0xFF && b[i + 1] != code) i += 2 + (b[i + 2] << 8 | b[i + 3]);
  return i;
}

Bytes with_frame_size(Bytes b, unsigned width, unsigned height) {
  size_t sof = segment(b, 0xC0);
  b[sof + 5] = uint8_t(height >> 8), b[sof + 6] = uint8_t(height);
  b[sof + 7] = uint8_t(width >> 8), b[sof + 8] = uint8_t(width);
  return b;
}

// The file's last scan (SOS to EOI) repeated `extra` more times.
Bytes with_repeated_last_scan(Bytes b, int extra) {
  const Bytes sos{0xFF, 0xDA};
  const auto last = std::find_end(b.begin(), b.end(), sos.begin(), sos.end());
  const Bytes scan(last, b.end() - 2);
  for (int i = 0; i < extra; i++) b.insert(b.end() - 2, scan.begin(), scan.end());
  return b;
}

bool decode(const Bytes& b, plat::Dib* dib, std::string* reason) {
  return plat::jpeg_decode(b.data(), b.size(), dib, reason);
}

// Bytes B, G, R, 255 of the pixel at (x, y), y counted from the top.
const uint8_t* pixel(const plat::Dib& d, int x, int y) {
  return &d.bits[(size_t(d.height - 1 - y) * size_t(d.width) + size_t(x)) * 4];
}

TEST(JpegDecode, SameAsDjpeg) {
  const std::string files[] = {"baseline_420",
                               "baseline_422",
                               "baseline_440",
                               "baseline_444",
                               "baseline_411",
                               "optimized_q95",
                               "progressive_420",
                               "progressive_444",
                               "arithmetic_420",
                               "arithmetic_progressive_422",
                               "restart_rows",
                               "restart_blocks_progressive",
                               "gray",
                               "gray_progressive",
                               "rgb",
                               "sequential_3_scans",
                               "dot_420",
                               "cmyk",
                               "cmyk_arithmetic",
                               "ycck",
                               "ycck_progressive",
                               "exif_ii",
                               "exif_mm"};
  for (const std::string& name : files) {
    SCOPED_TRACE(name);
    const Pnm want = load_pnm(name + (name.rfind("gray", 0) == 0 ? ".pgm" : ".ppm"));
    ASSERT_NE(want.channels, 0);
    plat::Dib dib;
    std::string reason = "stale";
    ASSERT_TRUE(decode(load(name + ".jpg"), &dib, &reason)) << reason;
    EXPECT_EQ(reason, "");
    // EXIF orientations are not applied: the size is the frame's.
    ASSERT_EQ(dib.width, want.width);
    ASSERT_EQ(dib.height, want.height);
    EXPECT_EQ(dib.bpp, 32);
    EXPECT_EQ(dib.masks[0], 0x00FF0000u);
    EXPECT_EQ(dib.masks[1], 0x0000FF00u);
    EXPECT_EQ(dib.masks[2], 0x000000FFu);
    EXPECT_TRUE(dib.palette.empty());
    ASSERT_EQ(dib.bits.size(), size_t(want.width) * want.height * 4);
    int wrong = 0;
    for (int y = 0; y < dib.height; y++) {
      for (int x = 0; x < dib.width; x++) {
        const uint8_t* p = pixel(dib, x, y);
        const uint8_t* s =
            &want.samples[(size_t(y) * size_t(want.width) + size_t(x)) * size_t(want.channels)];
        const uint8_t r = s[0], g = s[want.channels / 2], b = s[want.channels - 1];
        if (p[0] == b && p[1] == g && p[2] == r && p[3] == 255) continue;
        if (wrong++ == 0) ADD_FAILURE() << "first difference at " << x << ", " << y;
      }
    }
    EXPECT_EQ(wrong, 0);
  }
}

// djpeg could agree with inverted colours too: the ink files must show the
// picture the RGB-coded file shows, within what the lossy coding moves.
TEST(JpegDecode, InkFilesShowThePictureInItsColours) {
  plat::Dib rgb, ink;
  std::string reason;
  ASSERT_TRUE(decode(load("baseline_444.jpg"), &rgb, &reason)) << reason;
  for (const char* name : {"cmyk.jpg", "ycck.jpg", "rgb.jpg"}) {
    ASSERT_TRUE(decode(load(name), &ink, &reason)) << name << ": " << reason;
    ASSERT_EQ(ink.bits.size(), rgb.bits.size()) << name;
    double sum = 0;
    for (size_t i = 0; i < rgb.bits.size(); i++) sum += std::abs(ink.bits[i] - rgb.bits[i]);
    EXPECT_LT(sum / double(rgb.bits.size()), 10.0) << name;  // inverted: about 90
  }
}

TEST(JpegDecode, DamagedInputFails) {
  std::mt19937 random(7);
  Bytes noise(4096), soi_noise{0xFF, 0xD8};
  for (uint8_t& b : noise) b = uint8_t(random());
  soi_noise.insert(soi_noise.end(), noise.begin(), noise.end());
  const Bytes base = load("baseline_420.jpg"), scans3 = load("sequential_3_scans.jpg");
  Bytes extraneous = base;  // where a marker should follow the tables
  extraneous.insert(extraneous.begin() + long(segment(base, 0xC0)), {1, 2, 3});
  Bytes no_rst0 = load("restart_rows.jpg");
  const Bytes rst0{0xFF, 0xD0};
  const auto at = std::search(no_rst0.begin(), no_rst0.end(), rst0.begin(), rst0.end());
  no_rst0.erase(at, at + 2);
  Bytes header_only = with_frame_size(base, 65500, 65500);
  header_only.resize(segment(base, 0xDA) + 18);  // SOS and four bytes of data
  struct Case {
    std::string name;
    Bytes bytes;
    const char* reason;  // a part of the reason given
  };
  std::vector<Case> cases = {
      {"empty", {}, "empty"},
      {"3 bytes", {0xFF, 0xD8, 0xFF}, "Premature end"},
      {"SOI, EOI", {0xFF, 0xD8, 0xFF, 0xD9}, "JPEG"},
      {"noise", noise, "Not a JPEG"},
      {"SOI, noise", soi_noise, ""},
      {"PPM", load("baseline_420.ppm"), "Not a JPEG"},
      {"bytes between segments", extraneous, "extraneous bytes"},
      {"restart marker missing", no_rst0, "0xd1"},
      {"65500 x 65500", with_frame_size(base, 65500, 65500), "65500 x 65500"},
      {"65500 x 65500, header only", header_only, "65500 x 65500"},
      {"8192 x 8193", with_frame_size(base, 8192, 8193), "8192 x 8193"},
      // Exactly the largest size allowed: it fails for want of data instead.
      {"8192 x 8192", with_frame_size(base, 8192, 8192), "premature end"},
      {"101 scans", with_repeated_last_scan(scans3, 98), "more than 100 scans"},
  };
  for (const char* name : {"baseline_420", "progressive_420", "arithmetic_420", "restart_rows",
                           "gray_progressive", "cmyk", "ycck_progressive"}) {
    const Bytes whole = load(std::string(name) + ".jpg");
    for (size_t percent : {10, 50, 99}) {
      cases.push_back({std::string(name) + " cut at " + std::to_string(percent) + " %",
                       Bytes(whole.begin(), whole.begin() + long(whole.size() * percent / 100)),
                       ""});
    }
  }
  testing::internal::CaptureStderr();
  for (const Case& c : cases) {
    plat::Dib dib;
    dib.width = dib.height = dib.bpp = 8;
    dib.bits.assign(64, 1);
    std::string reason;
    EXPECT_FALSE(decode(c.bytes, &dib, &reason)) << c.name;
    EXPECT_NE(reason, "") << c.name;
    EXPECT_NE(reason.find(c.reason), std::string::npos) << c.name << ": " << reason;
    EXPECT_TRUE(dib.width == 0 && dib.height == 0 && dib.bpp == 0 && dib.bits.empty()) << c.name;
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");  // libjpeg kept quiet

  // The limits themselves are accepted.
  plat::Dib dib;
  std::string reason;
  EXPECT_TRUE(decode(with_repeated_last_scan(scans3, 97), &dib, &reason)) << reason;
}

}  // namespace
