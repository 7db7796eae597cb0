// Window procedure of the plain program: the bows on the class's black
// background, which every repaint erases.
#include "rainbow.h"
#include "shell.h"

LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  PAINTSTRUCT ps;
  switch (message) {
    case WM_CREATE:
      cxClient = 0;
      cyClient = 0;
      return 0;
    case WM_SIZE:
      rainbow_update_layout(lParam);
      return 0;
    case WM_PAINT:
      BeginPaint(hwnd, &ps);
      display_current_operation(hwnd);
      EndPaint(hwnd, &ps);
      return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:  // taken whole, so Alt+F4 does not close the window
      if (wParam == VK_ESCAPE) PostQuitMessage(0);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}
