// The layer on a real X display: a window keeps one X window for its whole
// life and is shown without a GPU renderer, and what a held device context
// draws reaches the screen, before and after a resize.
#include <gtest/gtest.h>
#include <rainbow_testing.h>
#include <stdlib.h>

#include "support.h"

// After gtest: Xlib's None macro would break its headers.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

void run_loop_for(DWORD ms) {
  for (DWORD waited = 0; waited < ms; waited += 5) {
    rt::drain();
    Sleep(5);
  }
}

// The colour the X server shows at (x, y) of the window, as 0xRRGGBB.
unsigned long on_screen(Display* d, unsigned long long window, int x, int y) {
  XImage* image = XGetImage(d, static_cast<Window>(window), x, y, 1, 1, AllPlanes, ZPixmap);
  if (!image) return ~0ul;
  const unsigned long pixel = XGetPixel(image, 0, 0);
  XDestroyImage(image);
  return pixel & 0xFFFFFF;
}

TEST(Display, OneNativeWindowForLifeAndWhatIsDrawnReachesTheScreen) {
  if (!getenv("DISPLAY")) GTEST_SKIP() << "needs an X display";
  Display* d = XOpenDisplay(nullptr);
  ASSERT_NE(d, nullptr);
  ASSERT_EQ(DefaultDepth(d, DefaultScreen(d)), 24) << "the colours below are 24-bit ones";
  rt::register_class("display_test", Proc, CS_HREDRAW | CS_VREDRAW, BLACK_BRUSH);
  HWND hwnd = rt::create_window("display_test", 320, 200);
  ASSERT_NE(hwnd, nullptr);
  const unsigned long long before = PlatformNativeWindow(hwnd);
  EXPECT_NE(before, 0u);
  ShowWindow(hwnd, SW_SHOW);
  UpdateWindow(hwnd);
  run_loop_for(200);
  HDC dc = GetDC(hwnd);  // held across the resize
  const struct {
    int width, height;
    COLORREF colour;
    unsigned long shown;
  } steps[] = {{320, 200, RGB(255, 0, 0), 0xFF0000}, {400, 300, RGB(0, 0, 255), 0x0000FF}};
  for (const auto& s : steps) {
    SCOPED_TRACE(testing::Message() << s.width << " x " << s.height);
    SetWindowPos(hwnd, nullptr, 0, 0, s.width, s.height, SWP_NOMOVE | SWP_NOZORDER);
    run_loop_for(200);  // the resize's repaint erased the client to black
    for (int x = 0; x < 100; ++x) SetPixel(dc, x, 10, s.colour);
    run_loop_for(200);  // several frames presented
    EXPECT_EQ(on_screen(d, before, 50, 10), s.shown);
    EXPECT_EQ(on_screen(d, before, 50, 11), 0x000000ul) << "the class brush, black";
    EXPECT_EQ(on_screen(d, before, s.width - 1, 10), 0x000000ul);
  }
  ReleaseDC(hwnd, dc);
  EXPECT_EQ(PlatformNativeWindow(hwnd), before) << "the X window was replaced";
  EXPECT_FALSE(PlatformWindowUsesRenderer(hwnd)) << "presenting went through a GPU renderer";
  DestroyWindow(hwnd);
  XCloseDisplay(d);
}

}  // namespace
