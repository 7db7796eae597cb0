// Kernel: last error, debug output, threads and their handles, start-up of SDL.
//
// Supported: GetLastError, SetLastError, OutputDebugStringA (to stderr, as a
// debugger would show it), CreateThread (default security and stack size,
// running at once), WaitForSingleObject and CloseHandle on thread handles,
// GetModuleHandleA(NULL), Sleep.
#include <SDL.h>
#include <stdio.h>

#include <condition_variable>
#include <thread>
#include <unordered_map>

#include "internal.h"
#include "rainbow_platform.h"

namespace plat {

namespace {

thread_local DWORD t_last_error = 0;

struct Thread {
  std::mutex lock;
  std::condition_variable done_cv;
  bool done = false;
  DWORD exit_code = 0;
};

struct KernelState {
  std::mutex lock;
  std::unordered_map<HANDLE, std::shared_ptr<Thread>> handles;
  std::atomic<DWORD> fail_next_thread{0};
  std::mutex sink_lock;  // lines may come from any thread
  PlatformDebugSink sink = nullptr;
  void* sink_context = nullptr;
  int sdl_state = 0;  // 0 not tried, 1 ready, -1 failed
};
KernelState g_k;

std::shared_ptr<Thread> thread_from_handle(HANDLE h) {
  std::lock_guard<std::mutex> hold(g_k.lock);
  auto it = g_k.handles.find(h);
  return it == g_k.handles.end() ? nullptr : it->second;
}

}  // namespace

void fail(DWORD error) {
  t_last_error = error;
}

void complain(const char* call, const char* why) {
  fprintf(stderr, "%s: %s\n", call, why);
}

bool sdl_ready() {
  if (g_k.sdl_state == 0) {
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");  // Ctrl+C still ends a program
    if (SDL_Init(SDL_INIT_VIDEO) == 0) {
      g_k.sdl_state = 1;
      atexit(SDL_Quit);
    } else {
      fprintf(stderr, "SDL_Init: %s\n", SDL_GetError());
      g_k.sdl_state = -1;
    }
  }
  if (g_k.sdl_state < 0) fail(ERROR_NOT_SUPPORTED);
  return g_k.sdl_state > 0;
}

}  // namespace plat

using namespace plat;

DWORD WINAPI GetLastError(void) {
  return t_last_error;
}

void WINAPI SetLastError(DWORD code) {
  t_last_error = code;
}

void WINAPI OutputDebugStringA(LPCSTR text) {
  if (!text) return;
  PlatformDebugSink sink;
  void* context;
  {
    std::lock_guard<std::mutex> hold(g_k.sink_lock);
    sink = g_k.sink;
    context = g_k.sink_context;
  }
  if (sink) {
    sink(text, context);
    return;
  }
  fputs(text, stderr);
  fflush(stderr);
}

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES security, size_t stack_size,
                           LPTHREAD_START_ROUTINE start, LPVOID param, DWORD flags,
                           LPDWORD thread_id) {
  if (security || stack_size != 0 || flags != 0) {
    complain("CreateThread", "only default security, stack size and flags are supported");
    fail(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  if (!start) {
    fail(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (const DWORD error = g_k.fail_next_thread.exchange(0)) {
    fail(error);
    return nullptr;
  }
  auto t = std::make_shared<Thread>();
  try {
    std::thread([t, start, param] {
      const DWORD code = start(param);
      std::lock_guard<std::mutex> hold(t->lock);
      t->exit_code = code;
      t->done = true;
      t->done_cv.notify_all();
    }).detach();  // the handle, not std::thread, tracks it from here
  } catch (const std::system_error&) {
    fail(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  HANDLE h = t.get();
  {
    std::lock_guard<std::mutex> hold(g_k.lock);
    g_k.handles[h] = t;
  }
  if (thread_id) *thread_id = static_cast<DWORD>(reinterpret_cast<uintptr_t>(h));
  return h;
}

DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  std::shared_ptr<Thread> t = thread_from_handle(handle);
  if (!t) {
    fail(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  std::unique_lock<std::mutex> hold(t->lock);
  if (milliseconds == INFINITE) {
    t->done_cv.wait(hold, [&] { return t->done; });
    return WAIT_OBJECT_0;
  }
  return t->done_cv.wait_for(hold, std::chrono::milliseconds(milliseconds), [&] { return t->done; })
             ? WAIT_OBJECT_0
             : WAIT_TIMEOUT;
}

BOOL WINAPI CloseHandle(HANDLE handle) {
  std::lock_guard<std::mutex> hold(g_k.lock);
  if (g_k.handles.erase(handle) == 0) {
    fail(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR name) {
  static char image;  // stands for the program's own image
  if (name) {
    complain("GetModuleHandleA", "only the program's own module is supported");
    fail(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<HMODULE>(&image);
}

void WINAPI Sleep(DWORD milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void PlatformSetDebugSink(PlatformDebugSink sink, void* context) {
  std::lock_guard<std::mutex> hold(g_k.sink_lock);
  g_k.sink = sink;
  g_k.sink_context = context;
}

void PlatformFailNextCreateThread(DWORD error) {
  g_k.fail_next_thread = error;
}
