// Shared by the backdrop tests: a reference decode (PPM beside each test
// picture) stretched by COLORONCOLOR's rule as measured on Win32, compared
// with a window's client area, and a catcher of debug lines.
#ifndef RAINBOW_TESTS_BACKDROP_CHECK_H
#define RAINBOW_TESTS_BACKDROP_CHECK_H

#include <rainbow_testing.h>

#include <fstream>
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

}  // namespace bt

#endif  // RAINBOW_TESTS_BACKDROP_CHECK_H
