// Samples per second of the sample step: its arithmetic alone, drawing into a
// plain pixel array, drawing into a window DC (the ratio of the two is the
// device-context path's cost), and one turn of the idle loop (PeekMessageA +
// step) with presenting on, at 640 x 480 and 1920 x 1080.
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

// The step's draws, optics and tests, with no device context or pixel.
void BM_StepArithmetic(benchmark::State& state) {
  rainbow_srand(1);
  int accepted = 0;
  for (auto _ : state) {
    const double x = 2 * random_part() - 1, y = 2 * random_part() - 1;
    const double b = sqrt(x * x + y * y);
    if (b >= 1) continue;
    rainbow_ray ray;
    const int k = random_int(6);
    rainbow_optics(b, k, &ray);
    accepted += ray.i1 >= random_part() * 0.04;
    accepted += ray.i2 >= random_part() * 0.02;
  }
  benchmark::DoNotOptimize(accepted);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StepArithmetic);

// The same step and plotting as display_current_operation, into an array.
struct Canvas {
  int w, h;
  std::vector<uint32_t> px;
  void plot(int k, double angle) {
    if (fabs(angle) > 60) return;
    const double a = fabs(angle) / 60;
    const double fx = static_cast<unsigned>(xbase.load(std::memory_order_relaxed)) +
                      static_cast<unsigned>(xdiff.load(std::memory_order_relaxed)) * a * (X / B);
    const double fy =
        static_cast<unsigned>(ybase.load(std::memory_order_relaxed)) -
        static_cast<unsigned>(ydiff.load(std::memory_order_relaxed)) * a * fabs(Y / B);
    if (!(fx >= 0 && fx < w && fy >= 0 && fy < h)) return;
    px[static_cast<size_t>(fy) * static_cast<size_t>(w) + static_cast<size_t>(fx)] =
        rainbow_index[k];
  }
  void step() {
    X = 2 * random_part() - 1;
    Y = 2 * random_part() - 1;
    B = sqrt(X * X + Y * Y);
    if (B >= 1) return;
    const int k = random_int(6);
    rainbow_ray ray;
    rainbow_optics(B, k, &ray);
    if (ray.i1 >= random_part() * 0.04) plot(k, ray.d1);
    if (ray.i2 >= random_part() * 0.02) plot(k, ray.d2);
  }
};

void BM_StepIntoPlainArray(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  rainbow_update_layout(MAKELPARAM(w, h));
  Canvas c{w, h, std::vector<uint32_t>(static_cast<size_t>(w) * static_cast<size_t>(h))};
  rainbow_srand(1);
  for (auto _ : state) c.step();
  benchmark::DoNotOptimize(c.px.data());
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StepIntoPlainArray)->Args({640, 480})->Args({1600, 1200});

void BM_StepIntoWindowDC(benchmark::State& state) {
  HWND hwnd = bench_window(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  rainbow_srand(1);
  for (auto _ : state) display_current_operation(hwnd);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StepIntoWindowDC)->Args({640, 480})->Args({1600, 1200});

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
