// What the threaded program's WinMain does, in pieces a test can drive: the
// window thread is the test's own thread.
#ifndef RAINBOW_TESTS_THREADED_PROGRAM_WINDOW_H
#define RAINBOW_TESTS_THREADED_PROGRAM_WINDOW_H

#include <windows.h>

#include <rainbow_testing.h>

#include "shell.h"
#include "threaded.h"

namespace threaded_test {

// Class and window (WM_CREATE starts the worker), then the handle handed to
// the worker as WinMain hands it.  The window stays hidden, so no paint ever
// erases what the worker draws; `width` x `height` > 0 also sends WM_SIZE.
inline HWND create_program_window(int width = 0, int height = 0) {
  HWND window = rainbow_create_main_window(GetModuleHandleA(nullptr));
  hwnd.store(window, std::memory_order_release);
  if (window && width > 0 && height > 0)
    SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
  return window;
}

// Reads the window system and dispatches everything queued, as the message
// loop would.  Returns the quit code if WM_QUIT came, else -1.
inline int dispatch_pending() {
  PlatformPump();
  MSG msg;
  int quit = -1;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      quit = static_cast<int>(msg.wParam);
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return quit;
}

// WinMain's loop: waits for each message until WM_QUIT; returns its code.
inline int run_message_loop() {
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}

// Polls `done` for up to ten seconds; the worker needs no help to progress.
template <class Done>
bool eventually(Done done) {
  for (int i = 0; i < 10000 && !done(); ++i) Sleep(1);
  return done();
}

// Ends whatever a test left running and clears the shared state for the next.
inline void close_program_window(HWND window) {
  if (IsWindow(window)) DestroyWindow(window);  // WM_DESTROY joins the worker
  if (hThread1) CloseHandle(hThread1);
  hThread1 = nullptr;
  dispatch_pending();  // the quit message of WM_DESTROY
  hwnd.store(nullptr, std::memory_order_release);
  samples_done = 0;  // no worker runs now
  PlatformSetDebugSink(nullptr, nullptr);
  PlatformFailNextCreateThread(0);
}

}  // namespace threaded_test

#endif  // RAINBOW_TESTS_THREADED_PROGRAM_WINDOW_H
