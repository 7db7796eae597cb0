// jpeg_decode on files made by real tools, each compared pixel for pixel with
// djpeg's decode of it (made beside it by tools/make_jpeg_decode_testdata.sh),
// and on damaged input, which must fail cleanly, quietly and without a leak.
#include "dib.h"

#include <gtest/gtest.h>
#include <stdio.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes load(const std::string& name) {
  std::ifstream in(std::string(JPEG_DECODE_TESTDATA_DIR) + "/" + name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// djpeg's PGM or PPM as a DIB's bits: B, G, R, 255, bottom row first.
Bytes reference(const std::string& name, int* w, int* h) {
  const Bytes b = load(name);
  const std::string head(b.begin(), b.begin() + long(std::min<size_t>(b.size(), 20)));
  int at = 0;
  const bool ok = sscanf(head.c_str(), "P%*c %d %d 255%n", w, h, &at) == 2;
  const size_t c = b.size() > 1 && b[1] == '5' ? 1 : 3;
  Bytes out;
  if (!ok || b.size() != size_t(at) + 1 + size_t(*w) * size_t(*h) * c) return out;
  for (int y = *h - 1; y >= 0; y--) {
    for (int x = 0; x < *w; x++) {
      const uint8_t* s = b.data() + at + 1 + (size_t(y) * size_t(*w) + size_t(x)) * c;
      out.insert(out.end(), {s[c - 1], s[c / 2], s[0], 255});
    }
  }
  return out;
}

Bytes::iterator find(Bytes& b, uint8_t code, bool last = false) {
  const uint8_t marker[] = {0xFF, code};
  return last ? std::find_end(b.begin(), b.end(), marker, marker + 2)
              : std::search(b.begin(), b.end(), marker, marker + 2);
}

Bytes frame_size(Bytes b, int w, int h) {  // a baseline file's
  std::copy_n(Bytes{uint8_t(h >> 8), uint8_t(h), uint8_t(w >> 8), uint8_t(w)}.begin(), 4,
              find(b, 0xC0) + 5);
  return b;
}

Bytes repeat_last_scan(Bytes b, int times) {
  const Bytes scan(find(b, 0xDA, true), b.end() - 2);
  for (int i = 0; i < times; i++) b.insert(b.end() - 2, scan.begin(), scan.end());
  return b;
}

bool decode(const Bytes& b, plat::Dib* dib, std::string* reason) {
  return plat::jpeg_decode(b.data(), b.size(), dib, reason);
}

// Each beside djpeg's decode: .pgm for the grey ones, .ppm for the others.
const char kFiles[] =
    "baseline_420 baseline_422 baseline_440 baseline_444 baseline_411 optimized_q95 "
    "progressive_420 progressive_444 arithmetic_420 arithmetic_progressive_422 restart_rows "
    "restart_blocks_progressive gray gray_progressive rgb sequential_3_scans dot_420 cmyk "
    "cmyk_arithmetic ycck ycck_progressive exif_ii exif_mm";

TEST(JpegDecode, SameAsDjpeg) {
  std::istringstream files(kFiles);
  for (std::string name; files >> name;) {
    int w = 0, h = 0;
    const Bytes want = reference(name + (name[0] == 'g' ? ".pgm" : ".ppm"), &w, &h);
    plat::Dib dib;
    std::string reason = "stale";
    ASSERT_TRUE(decode(load(name + ".jpg"), &dib, &reason)) << name << ": " << reason;
    EXPECT_EQ(reason, "") << name;
    // EXIF orientations are not applied: the size is the frame's.
    EXPECT_TRUE(dib.width == w && dib.height == h && dib.bpp == 32 && dib.palette.empty()) << name;
    EXPECT_TRUE(dib.masks[0] == 0xFF0000 && dib.masks[1] == 0xFF00 && dib.masks[2] == 0xFF) << name;
    ASSERT_EQ(dib.bits.size(), want.size()) << name;
    const auto diff = std::mismatch(want.begin(), want.end(), dib.bits.begin()).first;
    EXPECT_TRUE(diff == want.end()) << name << ": first difference at byte " << diff - want.begin();
  }
}

// Inverted colours would agree with djpeg too: the CMYK, YCCK and RGB files
// must show the picture the YCbCr file shows, within what lossy coding moves.
TEST(JpegDecode, EveryColourSpaceShowsThePicture) {
  plat::Dib rgb, ink;
  std::string reason;
  ASSERT_TRUE(decode(load("baseline_444.jpg"), &rgb, &reason)) << reason;
  for (const char* name : {"cmyk.jpg", "ycck.jpg", "rgb.jpg"}) {
    ASSERT_TRUE(decode(load(name), &ink, &reason) && ink.bits.size() == rgb.bits.size()) << name;
    double sum = 0;
    for (size_t i = 0; i < rgb.bits.size(); i++) sum += std::abs(ink.bits[i] - rgb.bits[i]);
    EXPECT_LT(sum / double(rgb.bits.size()), 10.0) << name;  // inverted: about 90
  }
}

TEST(JpegDecode, DamagedInputFails) {
  std::mt19937 random(7);
  Bytes noise(4096), soi_noise{0xFF, 0xD8}, base = load("baseline_420.jpg");
  for (uint8_t& b : noise) b = uint8_t(random());
  soi_noise.insert(soi_noise.end(), noise.begin(), noise.end());
  Bytes junk_before_frame = base, no_rst0 = load("restart_rows.jpg");
  junk_before_frame.insert(find(junk_before_frame, 0xC0), {1, 2, 3});
  no_rst0.erase(find(no_rst0, 0xD0), find(no_rst0, 0xD0) + 2);
  Bytes header_only = frame_size(base, 65500, 65500);
  header_only.erase(find(header_only, 0xDA) + 18, header_only.end());  // SOS, 4 bytes of data
  std::vector<std::pair<std::string, Bytes>> cases = {
      {"empty", {}},
      {"Premature end", {0xFF, 0xD8, 0xFF}},
      {"JPEG datastream contains no image", {0xFF, 0xD8, 0xFF, 0xD9}},
      {"Not a JPEG", noise},
      {"", soi_noise},
      {"Not a JPEG", load("baseline_420.ppm")},
      {"extraneous bytes", junk_before_frame},
      {"0xd1", no_rst0},
      {"65500 x 65500", frame_size(base, 65500, 65500)},
      {"65500 x 65500", header_only},
      {"8192 x 8193", frame_size(base, 8192, 8193)},
      {"premature end", frame_size(base, 8192, 8192)},  // the largest size: fails for want of data
      {"more than 100 scans", repeat_last_scan(load("sequential_3_scans.jpg"), 98)},
  };
  for (const char* name : {"baseline_420", "progressive_420", "arithmetic_420", "restart_rows",
                           "gray_progressive", "cmyk", "ycck_progressive"}) {
    const Bytes whole = load(name + std::string(".jpg"));
    for (size_t percent : {10, 50, 99})
      cases.push_back(
          {"", Bytes(whole.begin(), whole.begin() + long(whole.size() * percent / 100))});
  }
  testing::internal::CaptureStderr();
  for (size_t i = 0; i < cases.size(); i++) {
    plat::Dib dib;
    dib.width = dib.height = dib.bpp = 8, dib.bits.assign(64, 1);
    std::string reason;
    EXPECT_FALSE(decode(cases[i].second, &dib, &reason)) << "case " << i;
    EXPECT_TRUE(reason != "" && reason.find(cases[i].first) != std::string::npos) << i << reason;
    EXPECT_TRUE(dib.width == 0 && dib.height == 0 && dib.bpp == 0 && dib.bits.empty()) << i;
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");  // libjpeg kept quiet
  plat::Dib dib;                                          // and the scan limit itself is allowed
  std::string reason;
  EXPECT_TRUE(decode(repeat_last_scan(load("sequential_3_scans.jpg"), 97), &dib, &reason))
      << reason;
}

}  // namespace
