// Decoding a 12-megapixel photograph with jpeg_decode (what OleLoadPicture
// spends on a camera's picture), baseline and progressive.  The picture is
// drawn and encoded here at start-up: smooth sky, textured ground, a hard
// horizon and sensor noise, at a camera's quality 90 with 4:2:0 chroma.
#include <benchmark/benchmark.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include <jpeglib.h>

#include "dib.h"

namespace {

const int kWidth = 4000, kHeight = 3000;

std::vector<uint8_t> draw() {
  std::vector<uint8_t> rgb(size_t(kWidth) * kHeight * 3);
  uint32_t state = 2463534242u;  // xorshift32: the same noise every run
  uint8_t* p = rgb.data();
  for (int y = 0; y < kHeight; y++) {
    for (int x = 0; x < kWidth; x++, p += 3) {
      state ^= state << 13, state ^= state >> 17, state ^= state << 5;
      const double noise = double(state % 17) - 8;
      const double horizon = kHeight * 0.45 + 120 * sin(x * 0.002) + 30 * sin(x * 0.031);
      double r, g, b;
      if (y < horizon) {
        const double t = y / horizon;
        r = 70 + 90 * t, g = 120 + 80 * t, b = 210 + 30 * t;
      } else {
        const double grass =
            35 * sin(x * 0.09 + y * 0.02) * cos(y * 0.13) + 25 * sin((x - y) * 0.011);
        r = 80 + grass, g = 110 + grass * 1.2, b = 40 + grass * 0.5;
      }
      const auto clamp = [](double v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); };
      p[0] = clamp(r + noise), p[1] = clamp(g + noise), p[2] = clamp(b + noise);
    }
  }
  return rgb;
}

std::vector<uint8_t> encode(const std::vector<uint8_t>& rgb, bool progressive) {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);  // a failure here exits: no figure without the picture
  jpeg_create_compress(&c);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &out, &size);
  c.image_width = kWidth, c.image_height = kHeight;
  c.input_components = 3, c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);  // 4:2:0, islow
  jpeg_set_quality(&c, 90, TRUE);
  if (progressive) jpeg_simple_progression(&c);
  jpeg_start_compress(&c, TRUE);
  while (c.next_scanline < c.image_height) {
    JSAMPROW row = const_cast<uint8_t*>(&rgb[size_t(c.next_scanline) * kWidth * 3]);
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  std::vector<uint8_t> file(out, out + size);
  jpeg_destroy_compress(&c);
  free(out);
  return file;
}

const std::vector<uint8_t>& photograph(bool progressive) {
  static const std::vector<uint8_t> rgb = draw();
  static const std::vector<uint8_t> files[2] = {encode(rgb, false), encode(rgb, true)};
  return files[progressive];
}

void BM_JpegDecode(benchmark::State& state) {
  const std::vector<uint8_t>& file = photograph(state.range(0) != 0);
  plat::Dib dib;
  std::string reason;
  for (auto _ : state) {
    if (!plat::jpeg_decode(file.data(), file.size(), &dib, &reason)) {
      state.SkipWithError(reason.c_str());
      break;
    }
    benchmark::DoNotOptimize(dib.bits.data());
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);  // pixels
  state.SetBytesProcessed(state.iterations() * int64_t(file.size()));
  state.SetLabel(std::to_string(file.size() / 1024) + " KiB file");
}
BENCHMARK(BM_JpegDecode)->ArgName("progressive")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
