// The layer on a real X display: a window keeps one X window for its whole
// life and is shown without a GPU renderer, and a held device context draws
// what reaches the screen.
#include <gtest/gtest.h>
#include <rainbow_platform.h>
#include <stdlib.h>

#include "support.h"

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

TEST(Display, OneNativeWindowForLifeAndNoRenderer) {
  if (!getenv("DISPLAY")) GTEST_SKIP() << "needs an X display";
  rt::register_class("display_test", Proc, CS_HREDRAW | CS_VREDRAW, BLACK_BRUSH);
  HWND hwnd = rt::create_window("display_test", 320, 200);
  ASSERT_NE(hwnd, nullptr);
  const unsigned long long before = PlatformNativeWindow(hwnd);
  EXPECT_NE(before, 0u);
  ShowWindow(hwnd, SW_SHOW);
  UpdateWindow(hwnd);
  HDC dc = GetDC(hwnd);
  for (int x = 0; x < 100; ++x) SetPixel(dc, x, 10, RGB(255, 0, 0));
  ReleaseDC(hwnd, dc);
  run_loop_for(200);  // several frames presented
  SetWindowPos(hwnd, nullptr, 0, 0, 400, 300, SWP_NOMOVE | SWP_NOZORDER);
  run_loop_for(200);
  EXPECT_EQ(PlatformNativeWindow(hwnd), before) << "the X window was replaced";
  EXPECT_FALSE(PlatformWindowUsesRenderer(hwnd)) << "presenting went through a GPU renderer";
  DestroyWindow(hwnd);
}

}  // namespace
