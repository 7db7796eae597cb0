// Entry of the threaded program: the window of the plain program, drawn by a
// worker thread, and a message loop that waits for each message.
#include "shell.h"
#include "threaded.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show) {
  (void)previous;
  (void)command_line;
  g_hinst = instance;
  HWND window = rainbow_create_main_window(instance);
  if (!window) return 1;  // GetMessageA would wait for ever with no window
  // Stored before ShowWindow sends the first non-zero size; the worker,
  // already running, sees it through its acquire load.
  hwnd.store(window, std::memory_order_release);
  ShowWindow(window, show);
  UpdateWindow(window);

  MSG msg;
  while (GetMessageA(&msg, NULL, 0, 0)) {  // an error (-1) also goes round
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}
