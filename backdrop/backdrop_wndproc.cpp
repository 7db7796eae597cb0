// Window procedure of the backdrop programs: the picture is loaded once at
// creation, stretched over the whole client area after every resize or
// regained focus, and the bows accumulate on top; the background is never
// erased.
#include <stdlib.h>

#include "backdrop.h"
#include "diagnostics.h"
#include "rainbow.h"

t_BACKDROPINFO bmi;
void* pBits = NULL;
int force_redraw = 0;

namespace {

void send_line(const char* format) {
  wsprintfA(tempstr, format, get_system_message());
  OutputDebugStringA(tempstr);
}

// Loads the picture and copies its pixels, in its own format, into pBits.
void on_create(HWND hwnd) {
  cxClient = 0;
  cyClient = 0;
  HDC hdc = GetDC(hwnd);
  HBITMAP hbm = backdrop_load();
  if (hbm == NULL) {
    send_line("LoadImage: %s\n");
    ReleaseDC(hwnd, hdc);
    return;
  }
  bmi.bmiHeader.biSize = 44;  // the header and one colour entry
  bmi.bmiHeader.biBitCount = 0;
  if (!GetDIBits(hdc, hbm, 0, bmi.bmiHeader.biHeight, NULL, reinterpret_cast<BITMAPINFO*>(&bmi),
                 DIB_RGB_COLORS))
    send_line("GetDIBits: %s\n");
  pBits = malloc(bmi.bmiHeader.biSizeImage);
  if (pBits == NULL) {
    wsprintfA(tempstr, "out of memory [%s] [%u]\n", backdrop_file, bmi.bmiHeader.biSizeImage);
    OutputDebugStringA(tempstr);
  } else if (!GetDIBits(hdc, hbm, 0, bmi.bmiHeader.biHeight, pBits,
                        reinterpret_cast<BITMAPINFO*>(&bmi), DIB_RGB_COLORS)) {
    send_line("GetDIBits: %s\n");
  }
  ReleaseDC(hwnd, hdc);
}

void on_paint(HWND hwnd) {
  PAINTSTRUCT ps;
  HDC hdc = BeginPaint(hwnd, &ps);
  if (force_redraw) {
    if (pBits != NULL) {
      SetStretchBltMode(hdc, COLORONCOLOR);  // drops eliminated lines
      const int lines = StretchDIBits(hdc, 0, 0, cxClient, cyClient, 0, 0, bmi.bmiHeader.biWidth,
                                      bmi.bmiHeader.biHeight, pBits,
                                      reinterpret_cast<BITMAPINFO*>(&bmi), DIB_RGB_COLORS, SRCCOPY);
      if (lines == -1) send_line("BitBlt/StretchDIBits: %s\n");  // GDI_ERROR; 0 is no failure
    }
    force_redraw = 0;
  }
  display_current_operation(hwnd);
  EndPaint(hwnd, &ps);
}

// Released once: a second Escape before the quit message finds it gone.
void release_pixels() {
  free(pBits);
  pBits = NULL;
}

}  // namespace

LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      on_create(hwnd);
      return 0;
    case WM_ERASEBKGND:  // the picture, not the class brush, is the background
      return 0;
    case WM_SIZE:
      rainbow_update_layout(lParam);
      force_redraw = 1;
      return 0;
    case WM_SETFOCUS:
      force_redraw = 1;
      return 0;
    case WM_PAINT:
      on_paint(hwnd);
      return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:  // taken whole, so Alt+F4 does not close the window
      if (wParam == VK_ESCAPE) {
        release_pixels();
        PostQuitMessage(0);
      }
      return 0;
    case WM_DESTROY:
      release_pixels();
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}
