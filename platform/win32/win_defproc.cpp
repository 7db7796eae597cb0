// The default window procedure: closing through the system menu, Alt+F4,
// erasing with the class brush, and validating a paint nobody handled.
#include "internal.h"

using namespace plat;

LRESULT WINAPI DefWindowProcA(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (!window_from_handle(hwnd)) return 0;
  switch (message) {
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_SYSCOMMAND:
      if ((wparam & 0xFFF0) == SC_CLOSE) SendMessageA(hwnd, WM_CLOSE, 0, 0);
      return 0;
    case WM_SYSKEYDOWN:
      if (wparam == VK_F4 && (lparam & (1 << 29))) PostMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
      return 0;
    case WM_ERASEBKGND: {
      Window* w = window_from_handle(hwnd);
      HDC hdc = reinterpret_cast<HDC>(wparam);
      Dc* dc = dc_from_handle(hdc);
      if (!dc || !w->cls.background) return 0;
      FillRect(hdc, &dc->clip, w->cls.background);
      return 1;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(hwnd, &ps);
      EndPaint(hwnd, &ps);
      return 0;
    }
  }
  return 0;
}
