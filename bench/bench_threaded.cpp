// Samples per second of the threaded program's worker, drawing into a shown
// 640 x 480 window while this thread plays the window thread: it sleeps a
// frame at a time and presents, as GetMessageA does while it waits.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <rainbow_platform.h>

#include "rainbow.h"
#include "shell.h"
#include "threaded.h"

namespace {

const DWORD kFrameMs = 16;

HWND g_window;

// Made as WinMain makes it; WM_CREATE starts the worker.
HWND bench_window() {
  if (!g_window) {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    g_window = rainbow_create_main_window(GetModuleHandleA(nullptr));
    if (!g_window) abort();
    hwnd.store(g_window, std::memory_order_release);
    ShowWindow(g_window, SW_SHOWDEFAULT);
    UpdateWindow(g_window);
  }
  return g_window;
}

void BM_WorkerLoop(benchmark::State& state) {
  bench_window();
  unsigned long samples = 0;
  for (auto _ : state) {
    const unsigned long before = samples_done;
    Sleep(kFrameMs);
    PlatformPump();
    samples += samples_done - before;
  }
  state.SetItemsProcessed(static_cast<int64_t>(samples));
}
BENCHMARK(BM_WorkerLoop)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (g_window) DestroyWindow(g_window);  // stops and joins the worker before exit
  return 0;
}
