// Window procedure and worker of the threaded program: the worker draws the
// bows continuously; the window thread starts it, feeds it the sky layout
// and stops it.
#include <stdio.h>

#include "rainbow.h"
#include "shell.h"
#include "threaded.h"

std::atomic<HWND> hwnd{NULL};
std::atomic<int> keep_running{0};
HANDLE hThread1;
std::atomic<unsigned long> samples_done{0};

namespace {

LRESULT on_create() {
  cxClient = 0;
  cyClient = 0;
  keep_running = 1;
  hThread1 = CreateThread(NULL, 0, StartThread, NULL, 0, NULL);
  if (hThread1 == NULL) {
    char line[64];
    snprintf(line, sizeof line, "Vesk:Error %u in Creating thread\n",
             static_cast<unsigned>(GetLastError()));
    OutputDebugStringA(line);
    return 1;
  }
  return 0;
}

// The worker is gone before the quit message is posted, so WinMain never
// returns (and ends the process) under a sample that is still drawing.
void on_destroy() {
  keep_running = 0;
  WaitForSingleObject(hThread1, INFINITE);  // returns at once for a null handle
  PostQuitMessage(0);
}

}  // namespace

// Never sleeps or yields: the bows fill as fast as one processor allows.
DWORD WINAPI StartThread(LPVOID param) {
  (void)param;
  while (keep_running) {
    if (cxClient.load(std::memory_order_relaxed) == 0 ||
        cyClient.load(std::memory_order_relaxed) == 0)
      continue;  // no area yet, or minimised
    // Pairs with WinMain's release store: a handle seen here is the finished
    // window.  Null means WinMain has not stored it yet; the pass then draws
    // nothing and takes no random number, so the picture is unchanged.
    HWND window = hwnd.load(std::memory_order_acquire);
    if (window == NULL) continue;
    display_current_operation(window);
    samples_done.store(samples_done.load(std::memory_order_relaxed) + 1,
                       std::memory_order_relaxed);  // single writer: no locked add needed
  }
  return 0;
}

LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return on_create();
    case WM_SIZE:
      rainbow_update_layout(lParam);
      return 0;
    case WM_DESTROY:
      on_destroy();
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}
