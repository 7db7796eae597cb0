// The kernel's host (internal.h) for tests, linked in place of win_host.cpp:
// a test may catch OutputDebugStringA's lines and make CreateThread fail.
#include <stdio.h>

#include <atomic>
#include <mutex>
#include <system_error>
#include <thread>

#include "internal.h"
#include "rainbow_testing.h"

namespace {

struct Faults {
  std::mutex lock;  // lines may come from any thread
  PlatformDebugSink sink = nullptr;
  void* context = nullptr;
  std::atomic<DWORD> fail_next_thread{0};
};
Faults g_faults;

}  // namespace

namespace plat {

void debug_output(const char* text) {
  {
    std::lock_guard<std::mutex> hold(g_faults.lock);
    if (g_faults.sink) {
      g_faults.sink(text, g_faults.context);
      return;
    }
  }
  fputs(text, stderr);
  fflush(stderr);
}

DWORD start_thread(std::function<void()> body) {
  if (const DWORD error = g_faults.fail_next_thread.exchange(0)) return error;
  try {
    std::thread(std::move(body)).detach();
  } catch (const std::system_error&) {
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  return 0;
}

}  // namespace plat

void PlatformSetDebugSink(PlatformDebugSink sink, void* context) {
  std::lock_guard<std::mutex> hold(g_faults.lock);
  g_faults.sink = sink;
  g_faults.context = context;
}

void PlatformFailNextCreateThread(DWORD error) {
  g_faults.fail_next_thread = error;
}
