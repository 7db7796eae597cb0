#include "shell.h"

#include <stdio.h>

#include "rainbow.h"

HINSTANCE g_hinst;
const char szAppName[] = "rainbow";
const char szAppDesc[] = "draw simulated rainbow";

namespace {

void report_failure(const char* call) {
  char line[128];
  snprintf(line, sizeof line, "%s failed [ERROR: %lu]\n", call,
           static_cast<unsigned long>(GetLastError()));
  OutputDebugStringA(line);
}

}  // namespace

HWND rainbow_create_main_window(HINSTANCE instance) {
  WNDCLASSEX wndclass = {};
  wndclass.cbSize = sizeof wndclass;
  wndclass.style = CS_HREDRAW | CS_VREDRAW;
  wndclass.lpfnWndProc = WndProc;
  wndclass.cbClsExtra = 0;
  wndclass.cbWndExtra = 0;
  wndclass.hInstance = instance;
  wndclass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(RAINBOW_ICON));
  wndclass.hIconSm = LoadIconA(instance, MAKEINTRESOURCEA(RAINBOW_ICON));
  wndclass.hCursor = LoadCursorA(NULL, IDC_ARROW);
  wndclass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  wndclass.lpszMenuName = NULL;
  wndclass.lpszClassName = szAppName;
  RegisterClassExA(&wndclass);

  HWND hwnd =
      CreateWindowExA(0, szAppName, szAppDesc, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                      CW_USEDEFAULT, CW_USEDEFAULT, NULL, NULL, instance, NULL);
  // Without a window nothing could ever end the loop: say so and stop instead.
  if (!hwnd) report_failure("CreateWindowExA");
  return hwnd;
}

int rainbow_idle_loop(HWND hwnd) {
  MSG msg;
  for (;;) {
    if (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) return static_cast<int>(msg.wParam);
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    } else {
      display_current_operation(hwnd);
    }
  }
}
