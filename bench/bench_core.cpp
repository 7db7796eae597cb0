// Samples per second of the sample step: its arithmetic alone, drawing into a
// window DC, and one turn of the idle loop (PeekMessageA + step).
#include <benchmark/benchmark.h>
#include <math.h>
#include <stdlib.h>

#include "rainbow.h"
#include "shell.h"

namespace {

HWND bench_window() {
  static HWND hwnd = [] {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    HWND w = rainbow_create_main_window(GetModuleHandleA(nullptr));
    if (!w) abort();
    ShowWindow(w, SW_SHOWDEFAULT);  // 640 x 480 client
    UpdateWindow(w);
    return w;
  }();
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

void BM_StepIntoWindowDC(benchmark::State& state) {
  HWND hwnd = bench_window();
  rainbow_srand(1);
  for (auto _ : state) display_current_operation(hwnd);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StepIntoWindowDC);

void BM_IdleLoopTurn(benchmark::State& state) {
  HWND hwnd = bench_window();
  rainbow_srand(1);
  MSG msg;
  for (auto _ : state) {
    if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    } else {
      display_current_operation(hwnd);
    }
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_IdleLoopTurn);

}  // namespace

BENCHMARK_MAIN();
