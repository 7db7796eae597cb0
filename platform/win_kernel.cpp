// Kernel: last error and the layer's complaints, debug output, threads, and
// the table of kernel handles.
//
// Supported: GetLastError, SetLastError, OutputDebugStringA (to stderr, as a
// debugger would show it), CreateThread (default security, stack size and
// flags: running at once; its id is not its handle), WaitForSingleObject on
// thread handles, CloseHandle on thread and file handles,
// GetModuleHandleA(NULL), Sleep.
#include <stdio.h>

#include <condition_variable>
#include <thread>
#include <vector>

#include "internal.h"
#include "rainbow_platform.h"

namespace plat {

namespace {

thread_local DWORD t_last_error = 0;

struct Thread : KernelObject {
  std::mutex lock;
  std::condition_variable done_cv;
  bool done = false;
  DWORD exit_code = 0;
};

const uint32_t kMaxKernelObjects = 1024;

struct KernelState {
  HandleTable<std::shared_ptr<KernelObject>, kKernelHandle> objects{kMaxKernelObjects};
  std::atomic<DWORD> next_thread_id{0x104};  // Win32's ids are multiples of 4, never 0
};
KernelState g_k;

}  // namespace

void fail(DWORD error) {
  t_last_error = error;
}

void report(const char* call, DWORD code, const char* why) {
  fprintf(stderr, "%s: %s\n", call, why);
  fail(code);
}

HANDLE kernel_add(std::shared_ptr<KernelObject> object) {
  std::lock_guard<std::mutex> hold(g_k.objects.lock);
  HANDLE h = g_k.objects.add<HANDLE>(std::move(object));
  if (!h) fail(ERROR_NOT_ENOUGH_MEMORY);
  return h;
}

std::shared_ptr<KernelObject> kernel_object(HANDLE h) {
  std::lock_guard<std::mutex> hold(g_k.objects.lock);
  std::shared_ptr<KernelObject>* object = g_k.objects.find(h);
  if (!object) fail(ERROR_INVALID_HANDLE);
  return object ? *object : nullptr;
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
  if (text) debug_output(text);
}

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES security, size_t stack_size,
                           LPTHREAD_START_ROUTINE start, LPVOID param, DWORD flags,
                           LPDWORD thread_id) {
  if (security || stack_size != 0 || flags != 0) {
    unsupported("CreateThread", "only default security, stack size and flags are supported");
    return nullptr;
  }
  if (!start) {
    fail(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto t = std::make_shared<Thread>();
  const DWORD error = start_thread([t, start, param] {
    const DWORD code = start(param);
    std::lock_guard<std::mutex> hold(t->lock);
    t->exit_code = code;
    t->done = true;
    t->done_cv.notify_all();
  });
  if (error) {
    fail(error);
    return nullptr;
  }
  HANDLE h = kernel_add(t);
  if (h && thread_id) *thread_id = g_k.next_thread_id.fetch_add(4);
  return h;
}

DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  std::shared_ptr<Thread> t = std::dynamic_pointer_cast<Thread>(kernel_object(handle));
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
  std::shared_ptr<KernelObject> gone;  // a file closes after the lock is dropped
  std::lock_guard<std::mutex> hold(g_k.objects.lock);
  if (!g_k.objects.find(handle)) {
    fail(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  gone = g_k.objects.remove(handle);
  return TRUE;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR name) {
  static char image;  // stands for the program's own image
  if (name) {
    unsupported("GetModuleHandleA", "only the program's own module is supported");
    return nullptr;
  }
  return reinterpret_cast<HMODULE>(&image);
}

void WINAPI Sleep(DWORD milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
