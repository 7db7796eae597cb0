// Samples per second of the threaded program's worker, drawing into a shown
// window of 640 x 480 or 1920 x 1080 while this thread plays the window
// thread: it waits in GetMessageA's way (a frame at a time) and presents.
// With DISPLAY set (bench/run.sh starts an Xvfb) presenting goes to the X
// server.  present_share is the part of the window thread's time spent
// presenting.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <rainbow_platform.h>

#include <chrono>

#include "rainbow.h"
#include "shell.h"
#include "threaded.h"

namespace {

const DWORD kFrameMs = 16;

HWND g_window;

// Made as WinMain makes it; WM_CREATE starts the worker.
HWND bench_window(int width, int height) {
  if (!g_window) {
    if (!getenv("DISPLAY")) setenv("SDL_VIDEODRIVER", "dummy", 0);
    g_window = rainbow_create_main_window(GetModuleHandleA(nullptr));
    if (!g_window) abort();
    hwnd.store(g_window, std::memory_order_release);
    ShowWindow(g_window, SW_SHOWDEFAULT);
    UpdateWindow(g_window);
  }
  SetWindowPos(g_window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
  return g_window;
}

void BM_WorkerLoop(benchmark::State& state) {
  bench_window(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  unsigned long samples = 0;
  const unsigned long long present_before = PlatformPresentNanoseconds();
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    const unsigned long before = samples_done;
    Sleep(kFrameMs);
    PlatformPump();
    samples += samples_done - before;
  }
  const double wall =
      std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
  state.counters["present_share"] =
      static_cast<double>(PlatformPresentNanoseconds() - present_before) / wall;
  state.SetItemsProcessed(static_cast<int64_t>(samples));
}
BENCHMARK(BM_WorkerLoop)
    ->Args({640, 480})
    ->Args({1920, 1080})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (g_window) DestroyWindow(g_window);  // stops and joins the worker before exit
  return 0;
}
