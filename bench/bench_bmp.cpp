// The BMP reader and the stretch on a photo-sized picture: bmp_read of a
// 4000 x 3000 24-bit file built in memory, and dib_stretch of that picture
// onto 1920 x 1080 with a sink that stores each row into a plain array; and
// what the machine charges for a picture's fresh memory: a 36 MB block
// mapped, written once and unmapped, in 4 KiB pages and in large pages.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>

#include <vector>

#include "dib.h"

namespace {

const int kWidth = 4000, kHeight = 3000, kOutWidth = 1920, kOutHeight = 1080;

void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; i++) b[at + i] = (uint8_t)(v >> 8 * i);
}

// A bottom-up 24-bit file with a 40-byte header and varied pixels.
const std::vector<uint8_t>& bmp_file() {
  static const std::vector<uint8_t> file = [] {
    const size_t stride = plat::dib_stride(kWidth, 24), pixels = stride * kHeight;
    std::vector<uint8_t> b(54 + pixels, 0);
    b[0] = 'B', b[1] = 'M';
    put32(b, 2, (uint32_t)b.size());
    put32(b, 10, 54);
    put32(b, 14, 40);
    put32(b, 18, kWidth);
    put32(b, 22, kHeight);
    b[26] = 1, b[28] = 24;
    put32(b, 34, (uint32_t)pixels);
    uint32_t seed = 1;
    for (size_t i = 54; i < b.size(); i++)
      b[i] = (uint8_t)((seed = seed * 1103515245 + 12345) >> 16);
    return b;
  }();
  return file;
}

void BM_BmpRead24(benchmark::State& state) {
  const std::vector<uint8_t>& file = bmp_file();
  for (auto _ : state) {
    plat::Dib dib;
    DWORD error = 0;
    if (!plat::bmp_read(file.data(), file.size(), &dib, &error)) abort();
    benchmark::DoNotOptimize(dib.bits.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(file.size()));
}
BENCHMARK(BM_BmpRead24)->Unit(benchmark::kMillisecond);

// Argument 0: small pages; 1: large pages where the system gives them.
void BM_FreshPicturePages(benchmark::State& state) {
  const size_t bytes = size_t(kWidth) * kHeight * 3;
  for (auto _ : state) {
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) abort();
    if (state.range(0)) plat::prefer_large_pages(p, bytes);
    memset(p, 1, bytes);
    benchmark::DoNotOptimize(p);
    munmap(p, bytes);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}
BENCHMARK(BM_FreshPicturePages)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

uint32_t g_screen[kOutWidth * kOutHeight];

void store_row(void*, int x, int y, int count, const uint32_t* rgb) {
  memcpy(&g_screen[(size_t)y * kOutWidth + (size_t)x], rgb, sizeof(uint32_t) * (size_t)count);
}

void BM_Stretch24ToFullHd(benchmark::State& state) {
  plat::Dib dib;
  DWORD error = 0;
  if (!plat::bmp_read(bmp_file().data(), bmp_file().size(), &dib, &error)) abort();
  plat::DibView v;
  plat::dib_view_of(dib, &v);
  const RECT clip{0, 0, kOutWidth, kOutHeight};
  for (auto _ : state) {
    plat::dib_stretch(v, 0, 0, kWidth, kHeight, 0, 0, kOutWidth, kOutHeight, clip, store_row,
                      nullptr);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kOutWidth * kOutHeight);
}
BENCHMARK(BM_Stretch24ToFullHd)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
