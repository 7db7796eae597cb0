// Shared by the backdrop tests: a reference decode (PPM beside each test
// picture) stretched by COLORONCOLOR's rule as measured on Win32, compared
// with a window's client area, a catcher of debug lines, and JPEG files
// every loader refuses, each with the system text of its reason.
#ifndef RAINBOW_TESTS_BACKDROP_CHECK_H
#define RAINBOW_TESTS_BACKDROP_CHECK_H

#include <rainbow_testing.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support.h"

namespace bt {

inline std::string data(const std::string& name) {
  return std::string(RAINBOW_TEST_DATA) + "/" + name;
}

// A binary PPM as COLORREF rows, top to bottom.
struct Ppm {
  int w = 0, h = 0;
  std::vector<COLORREF> px;
};
inline Ppm read_ppm(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int maxval = 0;
  Ppm p;
  in >> magic >> p.w >> p.h >> maxval;
  in.get();
  for (int i = 0; in && magic == "P6" && i < p.w * p.h; ++i) {
    char c[3];
    in.read(c, 3);
    p.px.push_back(RGB(c[0], c[1], c[2]));
  }
  return p;
}

// trace7: the source pixel each destination pixel takes.
inline int source_index(int d, int s, int n, bool vertical) {
  if (n >= s) return ((2 * d + 1) * s - 1) / (2 * n);
  return vertical ? (2 * d * s + n) / (2 * n) : ((2 * d + 2) * s - n) / (2 * n);
}

// Client pixels that differ from the picture stretched over the client.
inline int differing(HWND hwnd, const Ppm& p, int w, int h) {
  const std::vector<COLORREF> client = rt::read_client(hwnd, w, h);
  if (client.empty() || p.px.empty()) return -1;
  int n = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      n += client[static_cast<size_t>(y * w + x)] !=
           p.px[static_cast<size_t>(source_index(y, p.h, h, true) * p.w +
                                    source_index(x, p.w, w, false))];
  return n;
}

// Debug lines while alive, instead of stderr.
struct DebugLines {
  std::vector<std::string> lines;
  DebugLines() {
    PlatformSetDebugSink(
        [](const char* l, void* me) { static_cast<DebugLines*>(me)->lines.push_back(l); }, this);
  }
  ~DebugLines() { PlatformSetDebugSink(nullptr, nullptr); }
};

inline std::string bytes_of(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A JPEG file whose frame header (SOF0 or SOF2) claims w x h pixels.
inline std::string with_frame(std::string b, char sof, int w, int h) {
  const size_t at = b.find(std::string("\xFF") + sof);
  const char size[] = {char(h >> 8), char(h), char(w >> 8), char(w)};
  if (at != std::string::npos && at + 9 <= b.size()) b.replace(at + 5, 4, size, 4);
  return b;
}

// Windows' texts, without their line end, for the reasons a picture is refused.
const char kInvalidData[] = "The data is invalid.";
const char kTooLarge[] = "The file size exceeds the limit allowed and cannot be saved.";
const char kNoMemory[] = "Not enough memory resources are available to process this command.";

struct RefusedJpeg {
  const char* what;
  std::string bytes;
  const char* reason;
};
inline std::vector<RefusedJpeg> refused_jpegs() {
  const std::string jpeg = bytes_of(data("jpeg_decode/baseline_420.jpg"));
  const std::string progressive = bytes_of(data("jpeg_decode/progressive_444.jpg"));
  return {
      {"a frame of 65000 x 65000", with_frame(jpeg, '\xC0', 65000, 65000), kTooLarge},
      {"a frame a row over 8192 x 8192", with_frame(jpeg, '\xC0', 8192, 8193), kTooLarge},
      {"a JPEG cut to 30 %", jpeg.substr(0, jpeg.size() * 3 / 10), kInvalidData},
      {"SOI and EOI alone", "\xFF\xD8\xFF\xD9", kInvalidData},
      // 384 MB of coefficients: more working memory than a picture may take.
      {"progressive 4:4:4 at 8000 x 8000", with_frame(progressive, '\xC2', 8000, 8000), kNoMemory},
  };
}

}  // namespace bt

#endif  // RAINBOW_TESTS_BACKDROP_CHECK_H
