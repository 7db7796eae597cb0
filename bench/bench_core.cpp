// Samples per second of the sample step: its arithmetic alone, drawing into a
// plain pixel array, through three empty calls, drawing into a window DC (the
// same step; the ratio to the plain array is the device-context path's cost),
// that path alone, and one turn of the idle loop (PeekMessageA + step) with
// presenting on, at 640 x 480 and 1920 x 1080.
//
// With DISPLAY set (bench/run.sh starts an Xvfb) the window is a real X
// window and presenting goes to the X server; without one SDL's dummy driver
// stands in.  The counter present_share is the part of the loop's time spent
// showing pixels on screen.
#include <benchmark/benchmark.h>
#include <math.h>
#include <stdlib.h>

#include <rainbow_platform.h>

#include <chrono>
#include <vector>

#include "empty_calls.h"
#include "rainbow.h"
#include "shell.h"

namespace {

HWND bench_window(int width, int height) {
  static HWND hwnd = [] {
    if (!getenv("DISPLAY")) setenv("SDL_VIDEODRIVER", "dummy", 0);
    HWND w = rainbow_create_main_window(GetModuleHandleA(nullptr));
    if (!w) abort();
    ShowWindow(w, SW_SHOWDEFAULT);
    UpdateWindow(w);
    return w;
  }();
  RECT r;
  GetClientRect(hwnd, &r);
  if (r.right != width || r.bottom != height) {
    SetWindowPos(hwnd, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
    MSG msg;
    for (int i = 0; i < 1000; ++i)  // let the window system settle, paint included
      if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
  return hwnd;
}

// The step's draws, optics, tests and plotting, with no pixel stored.
void BM_StepArithmetic(benchmark::State& state) {
  rainbow_update_layout(MAKELPARAM(640, 480));
  rainbow_srand(1);
  int pixels = 0;
  for (auto _ : state) {
    rainbow_hits hits;
    if (rainbow_sample_point()) pixels += rainbow_sample_rays(&hits);
  }
  benchmark::DoNotOptimize(pixels);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StepArithmetic);

// The same step as display_current_operation, its pixels stored into a
// plain array (clipped as a device context clips) instead of through a DC.
void BM_StepIntoPlainArray(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  rainbow_update_layout(MAKELPARAM(w, h));
  PlainPixels canvas(w, h);
  rainbow_srand(1);
  for (auto _ : state) {
    if (!rainbow_sample_point()) continue;
    rainbow_hits hits;
    const int count = rainbow_sample_rays(&hits);
    for (int j = 0; j < count; ++j)
      canvas.set(hits.point[j].x, hits.point[j].y, hits.point[j].color);
  }
  benchmark::DoNotOptimize(canvas.px.data());
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StepIntoPlainArray)->Args({640, 480})->Args({1600, 1200});

// The same step through three calls that check nothing (empty_calls.cpp):
// the floor under any path that makes a call for each of GetDC, SetPixel
// and ReleaseDC, against the plain array above.
void BM_StepThroughEmptyCalls(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  rainbow_update_layout(MAKELPARAM(w, h));
  PlainPixels canvas(w, h);
  empty_calls::target = &canvas;
  HWND hwnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(1));
  rainbow_srand(1);
  for (auto _ : state) {
    if (!rainbow_sample_point()) continue;
    HDC hdc = empty_calls::get_dc(hwnd);
    rainbow_hits hits;
    const int count = rainbow_sample_rays(&hits);
    for (int j = 0; j < count; ++j)
      empty_calls::set_pixel(hdc, hits.point[j].x, hits.point[j].y, hits.point[j].color);
    empty_calls::release_dc(hwnd, hdc);
  }
  benchmark::DoNotOptimize(canvas.px.data());
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StepThroughEmptyCalls)->Args({640, 480});

void BM_StepIntoWindowDC(benchmark::State& state) {
  HWND hwnd = bench_window(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  rainbow_srand(1);
  for (auto _ : state) display_current_operation(hwnd);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StepIntoWindowDC)->Args({640, 480})->Args({1600, 1200});

// The device-context path alone: GetDC, one SetPixel and ReleaseDC, on
// pixels spread over the window.
void BM_DcPathAlone(benchmark::State& state) {
  HWND hwnd = bench_window(640, 480);
  int i = 0;
  for (auto _ : state) {
    HDC hdc = GetDC(hwnd);
    SetPixel(hdc, i & 511, (i >> 9) & 255, rainbow_index[i % 6]);
    ReleaseDC(hwnd, hdc);
    i += 7919;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DcPathAlone);

void BM_IdleLoopTurn(benchmark::State& state) {
  HWND hwnd = bench_window(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  rainbow_srand(1);
  MSG msg;
  const unsigned long long present_before = PlatformPresentNanoseconds();
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    } else {
      display_current_operation(hwnd);
    }
  }
  const double wall =
      std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
  state.counters["present_share"] =
      static_cast<double>(PlatformPresentNanoseconds() - present_before) / wall;
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_IdleLoopTurn)->Args({640, 480})->Args({1600, 1200})->Args({1920, 1080})->MinTime(3.0);

}  // namespace

BENCHMARK_MAIN();
