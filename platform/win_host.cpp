// What the kernel asks of the host system (internal.h).  Tests link
// testing/kernel_faults.cpp instead, to catch the lines and fail threads.
#include <stdio.h>

#include <system_error>
#include <thread>

#include "internal.h"

namespace plat {

void debug_output(const char* text) {
  fputs(text, stderr);
  fflush(stderr);
}

DWORD start_thread(std::function<void()> body) {
  try {
    std::thread(std::move(body)).detach();  // a kernel handle tracks it
  } catch (const std::system_error&) {
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  return 0;
}

}  // namespace plat
