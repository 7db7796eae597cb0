// Entry of the idle-loop programs (plain, bitmap, photo).
#include "shell.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show) {
  (void)previous;
  (void)command_line;
  g_hinst = instance;
  HWND hwnd = rainbow_create_main_window(instance);
  if (!hwnd) return 1;
  ShowWindow(hwnd, show);
  UpdateWindow(hwnd);
  return rainbow_idle_loop(hwnd);
}
