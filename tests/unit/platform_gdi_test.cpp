// Drawing on a window: device contexts clip to the client area (a paint DC
// to its rectangle), bad handles fail cleanly, and a worker thread may draw
// while the window thread resizes and presents.
#include <gtest/gtest.h>
#include <rainbow_platform.h>
#include <rainbow_testing.h>

#include <limits.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <vector>

#include "support.h"

namespace {

const char kClass[] = "gdi_test";
const COLORREF kColour = RGB(12, 34, 56);

LRESULT CALLBACK PlainProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

class Gdi : public testing::Test {
 protected:
  void SetUp() override {
    rt::register_class(kClass, PlainProc, CS_HREDRAW | CS_VREDRAW, BLACK_BRUSH);
    hwnd = rt::create_window(kClass, 64, 48);
    ASSERT_NE(hwnd, nullptr);
  }
  void TearDown() override {
    DestroyWindow(hwnd);
    rt::drain();
  }
  HWND hwnd = nullptr;
};

TEST_F(Gdi, WindowDcClipsToTheClientArea) {
  struct Case {
    int x, y;
    bool inside;
  };
  const Case cases[] = {
      {0, 0, true},    {63, 47, true},      {63, 0, true},       {0, 47, true},
      {-1, 0, false},  {0, -1, false},      {64, 0, false},      {0, 48, false},
      {64, 48, false}, {INT_MIN, 0, false}, {0, INT_MAX, false}, {INT_MAX, INT_MIN, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "(" << c.x << ", " << c.y << ")");
    rt::fill_client(hwnd, BLACK_BRUSH);
    HDC dc = GetDC(hwnd);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(SetPixel(dc, c.x, c.y, kColour), c.inside ? kColour : CLR_INVALID);
    EXPECT_EQ(GetPixel(dc, c.x, c.y), c.inside ? kColour : CLR_INVALID);
    EXPECT_EQ(ReleaseDC(hwnd, dc), 1);
    const std::vector<rt::Lit> lit = rt::lit_pixels(rt::read_client(hwnd, 64, 48), 64);
    if (c.inside) {
      EXPECT_EQ(lit, (std::vector<rt::Lit>{{c.x, c.y, kColour}}));
    } else {
      EXPECT_TRUE(lit.empty());
    }
  }
}

// Each channel lands where GetPixel finds it again; a COLORREF's high byte
// (PALETTERGB's flag) names no channel and is dropped.
TEST_F(Gdi, SetPixelKeepsEachChannelAndDropsTheHighByte) {
  const COLORREF cases[][2] = {
      {RGB(1, 2, 3), RGB(1, 2, 3)}, {0x02123456, 0x00123456}, {0xFF000000, 0}};
  HDC dc = GetDC(hwnd);
  ASSERT_NE(dc, nullptr);
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c[0]);
    EXPECT_EQ(SetPixel(dc, 5, 7, c[0]), c[1]);
    EXPECT_EQ(GetPixel(dc, 5, 7), c[1]);
  }
  ReleaseDC(hwnd, dc);
}

TEST_F(Gdi, PaintDcClipsToTheInvalidRectangle) {
  ShowWindow(hwnd, SW_SHOW);
  rt::drain();
  const RECT part = {10, 20, 30, 40};
  InvalidateRect(hwnd, &part, FALSE);
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(SetPixel(dc, 10, 20, kColour), kColour);
  EXPECT_EQ(SetPixel(dc, 29, 39, kColour), kColour);
  EXPECT_EQ(SetPixel(dc, 30, 20, kColour), CLR_INVALID);
  EXPECT_EQ(SetPixel(dc, 9, 25, kColour), CLR_INVALID);
  const RECT all = {0, 0, 64, 48};
  EXPECT_EQ(FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH))), 1);
  EXPECT_TRUE(EndPaint(hwnd, &ps));
  // The next window DC takes the same slot and must not keep the paint clip.
  HDC window_dc = GetDC(hwnd);
  EXPECT_EQ(SetPixel(window_dc, 50, 5, kColour), kColour);
  EXPECT_EQ(SetPixel(window_dc, 50, 5, 0), 0u);
  ReleaseDC(hwnd, window_dc);
  int white = 0;
  for (const rt::Lit& p : rt::lit_pixels(rt::read_client(hwnd, 64, 48), 64)) {
    EXPECT_TRUE(p.x >= 10 && p.x < 30 && p.y >= 20 && p.y < 40) << p.x << "," << p.y;
    white += p.colour == RGB(255, 255, 255);
  }
  EXPECT_EQ(white, 20 * 20);
}

TEST_F(Gdi, MinimisedWindowDrawsNothing) {
  ShowWindow(hwnd, SW_SHOW);
  ShowWindow(hwnd, SW_MINIMIZE);
  HDC dc = GetDC(hwnd);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(SetPixel(dc, 0, 0, kColour), CLR_INVALID);
  ReleaseDC(hwnd, dc);
  ShowWindow(hwnd, SW_RESTORE);
  dc = GetDC(hwnd);
  EXPECT_EQ(SetPixel(dc, 0, 0, kColour), kColour);
  ReleaseDC(hwnd, dc);
}

TEST_F(Gdi, BadDeviceContextsFailClearly) {
  int local = 0;
  HDC held = GetDC(hwnd);
  const HDC bad[] = {nullptr, reinterpret_cast<HDC>(1), reinterpret_cast<HDC>(&local),
                     // inside the pool of DCs, but not one of them
                     reinterpret_cast<HDC>(reinterpret_cast<char*>(held) + 1)};
  const RECT r = {0, 0, 1, 1};
  for (HDC dc : bad) {
    SCOPED_TRACE(testing::Message() << "dc " << dc);
    SetLastError(0);
    EXPECT_EQ(SetPixel(dc, 0, 0, kColour), CLR_INVALID);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(GetPixel(dc, 0, 0), CLR_INVALID);
    EXPECT_EQ(FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH))), 0);
    EXPECT_EQ(ReleaseDC(hwnd, dc), 0);
  }
  ReleaseDC(hwnd, held);
  HDC dc = GetDC(hwnd);
  EXPECT_EQ(ReleaseDC(hwnd, dc), 1);
  EXPECT_EQ(ReleaseDC(hwnd, dc), 0) << "released twice";
  EXPECT_EQ(SetPixel(dc, 0, 0, kColour), CLR_INVALID) << "used after release";
  HDC fresh = GetDC(hwnd);  // the same slot again, under a new handle
  ASSERT_NE(fresh, dc);
  EXPECT_EQ(SetPixel(dc, 0, 0, kColour), CLR_INVALID) << "a stale handle to a reused slot";
  EXPECT_EQ(ReleaseDC(hwnd, dc), 0);
  EXPECT_EQ(SetPixel(fresh, 0, 0, kColour), kColour) << "the new handle still works";
  EXPECT_EQ(ReleaseDC(hwnd, fresh), 1);
  PAINTSTRUCT ps = {};
  ps.hdc = dc;
  EXPECT_TRUE(EndPaint(hwnd, &ps));
  EXPECT_FALSE(EndPaint(hwnd, nullptr));
  EXPECT_EQ(GetDC(nullptr), nullptr) << "no screen DC";

  dc = GetDC(hwnd);
  const HBRUSH bad_brushes[] = {nullptr, reinterpret_cast<HBRUSH>(&local),
                                reinterpret_cast<HBRUSH>(hwnd)};  // a handle of another kind
  for (HBRUSH b : bad_brushes) EXPECT_EQ(FillRect(dc, &r, b), 0) << b;
  EXPECT_EQ(GetStockObject(99), nullptr);
  ReleaseDC(hwnd, dc);
}

// As in Win32: the window's DCs die with it.
TEST_F(Gdi, DcOutlivingItsWindowDrawsNothing) {
  HDC dc = GetDC(hwnd);
  ASSERT_NE(dc, nullptr);
  DestroyWindow(hwnd);
  EXPECT_EQ(SetPixel(dc, 1, 1, kColour), CLR_INVALID);
  EXPECT_EQ(GetPixel(dc, 1, 1), CLR_INVALID);
  EXPECT_EQ(ReleaseDC(hwnd, dc), 0);
  EXPECT_EQ(ReleaseDC(hwnd, dc), 0) << "and it is gone";
  SetLastError(0);
  EXPECT_EQ(GetDC(hwnd), nullptr) << "a window just drawn into, then destroyed";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(Gdi, DcHeldAcrossAResizeDrawsWithTheNewClip) {
  HDC dc = GetDC(hwnd);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(SetPixel(dc, 70, 10, kColour), CLR_INVALID);
  SetWindowPos(hwnd, nullptr, 0, 0, 100, 20, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(SetPixel(dc, 70, 10, kColour), kColour);
  EXPECT_EQ(SetPixel(dc, 10, 30, kColour), CLR_INVALID);
  EXPECT_EQ(ReleaseDC(hwnd, dc), 1);
  EXPECT_EQ(rt::lit_pixels(rt::read_client(hwnd, 100, 20), 100),
            (std::vector<rt::Lit>{{70, 10, kColour}}));
}

// What a smaller client gave up reads black when the client grows again,
// before anything repaints it, whatever the sizes' pixel counts are.
TEST_F(Gdi, GrownClientStartsBlackWhereItWasGivenUp) {
  struct Case {
    int small_w, small_h;
  };
  const Case cases[] = {{1, 1}, {100, 1}, {37, 3}, {99, 99}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.small_w << "x" << c.small_h);
    SetWindowPos(hwnd, nullptr, 0, 0, 100, 100, SWP_NOMOVE | SWP_NOZORDER);
    rt::fill_client(hwnd, WHITE_BRUSH);
    SetWindowPos(hwnd, nullptr, 0, 0, c.small_w, c.small_h, SWP_NOMOVE | SWP_NOZORDER);
    SetWindowPos(hwnd, nullptr, 0, 0, 100, 100, SWP_NOMOVE | SWP_NOZORDER);
    for (const rt::Lit& p : rt::lit_pixels(rt::read_client(hwnd, 100, 100), 100))
      ASSERT_TRUE(p.x < c.small_w && p.y < c.small_h) << "stale pixel at " << p.x << "," << p.y;
    rt::drain();
  }
}

// A window's bits survive a resize where both sizes cover them, whether the
// client's memory is reused, re-packed at a new width or moved to a larger
// block; what neither covered reads black.
TEST_F(Gdi, PixelsSurviveResizesWhereBothSizesCoverThem) {
  const int sizes[][2] = {{64, 48}, {200, 30}, {30, 200}, {700, 500}, {10, 10}, {1500, 900}};
  auto colour = [](int x, int y) { return RGB(x & 0xFF, y & 0xFF, 1 + (x >> 8) + (y >> 8) * 8); };
  int w = 64, h = 48, kept_w = 64, kept_h = 48;  // kept: drawn and never given up
  HDC dc = GetDC(hwnd);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) SetPixel(dc, x, y, colour(x, y));
  ReleaseDC(hwnd, dc);
  for (const auto& size : sizes) {
    SCOPED_TRACE(testing::Message() << w << "x" << h << " to " << size[0] << "x" << size[1]);
    ASSERT_TRUE(SetWindowPos(hwnd, nullptr, 0, 0, size[0], size[1], SWP_NOMOVE | SWP_NOZORDER));
    w = size[0];
    h = size[1];
    kept_w = std::min(kept_w, w);
    kept_h = std::min(kept_h, h);
    const std::vector<COLORREF> px = rt::read_client(hwnd, w, h);
    ASSERT_EQ(px.size(), static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        ASSERT_EQ(px[static_cast<size_t>(y) * w + x],
                  x < kept_w && y < kept_h ? colour(x, y) : RGB(0, 0, 0))
            << "at " << x << "," << y;
  }
}

TEST_F(Gdi, ExhaustedDcPoolFailsUntilOneIsReleased) {
  std::vector<HDC> held;
  for (HDC dc; (dc = GetDC(hwnd)) != nullptr && held.size() < 1000;) held.push_back(dc);
  EXPECT_GE(held.size(), 8u) << "enough for the window thread and a worker";
  EXPECT_LT(held.size(), 1000u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  ReleaseDC(hwnd, held.back());
  held.pop_back();
  HDC again = GetDC(hwnd);
  EXPECT_NE(again, nullptr);
  held.push_back(again);
  for (HDC dc : held) EXPECT_EQ(ReleaseDC(hwnd, dc), 1);
}

// A worker draws while the window thread resizes, minimises, presents and
// reads the pixels; what it draws lands inside whatever the client is.
struct Worker {
  HWND hwnd;
  std::atomic<bool> run{true};
  std::atomic<long> drawn{0};
  std::atomic<long> dcs{0};  // GetDC calls that returned
};

DWORD WINAPI DrawLoop(LPVOID param) {
  auto* w = static_cast<Worker*>(param);
  unsigned s = 7;
  while (w->run.load()) {
    HDC dc = GetDC(w->hwnd);
    w->dcs.fetch_add(1);
    if (!dc) continue;
    for (int i = 0; i < 16; ++i) {
      s = s * 1103515245u + 12345u;
      const int x = static_cast<int>((s >> 8) % 400) - 50,
                y = static_cast<int>((s >> 20) % 300) - 50;
      if (SetPixel(dc, x, y, kColour) != CLR_INVALID) w->drawn.fetch_add(1);
    }
    ReleaseDC(w->hwnd, dc);
  }
  return 0;
}

TEST_F(Gdi, WorkerDrawsSafelyWhileTheWindowThreadResizes) {
  if (rt::on_page()) GTEST_SKIP() << "this page's build has no threads (windows.h, 25c)";
  ShowWindow(hwnd, SW_SHOW);
  Worker w;
  w.hwnd = hwnd;
  HANDLE t = CreateThread(nullptr, 0, DrawLoop, &w, 0, nullptr);
  ASSERT_NE(t, nullptr);
  const int sizes[][2] = {{300, 200}, {20, 10}, {64, 48}, {250, 250}, {1, 1}};
  for (int round = 0; round < 40; ++round) {
    const int* s = sizes[round % 5];
    SetWindowPos(hwnd, nullptr, 0, 0, s[0], s[1], SWP_NOMOVE | SWP_NOZORDER);
    if (round % 7 == 3) ShowWindow(hwnd, SW_MINIMIZE);
    if (round % 7 == 4) ShowWindow(hwnd, SW_RESTORE);
    rt::drain();
    std::vector<COLORREF> px = rt::read_client(hwnd, s[0], s[1]);
    EXPECT_EQ(px.size(), static_cast<size_t>(s[0] * s[1]));
    for (COLORREF c : px) ASSERT_TRUE(c == 0 || c == kColour);
    Sleep(1);
  }
  // However the worker was scheduled, it draws before it is stopped.
  for (int i = 0; i < 10000 && w.drawn.load() == 0; ++i) Sleep(1);
  w.run = false;
  EXPECT_EQ(WaitForSingleObject(t, 10000), WAIT_OBJECT_0);
  CloseHandle(t);
  EXPECT_GT(w.drawn.load(), 0);
}

// The worker keeps one DC for its whole life while the window thread
// resizes, minimises and finally destroys the window under it.
struct Holder {
  HWND hwnd;
  std::atomic<bool> destroyed{false};
  std::atomic<long> after_destroy{0};  // pixels drawn once the window was gone
  std::atomic<int> released{-1};
};

DWORD WINAPI HoldLoop(LPVOID param) {
  auto* h = static_cast<Holder*>(param);
  HDC dc = GetDC(h->hwnd);
  for (;;) {  // until a pass that began after the window was destroyed
    const bool gone = h->destroyed.load();
    for (int i = 0; i < 1000; ++i)
      if (SetPixel(dc, i % 300, i % 200, kColour) != CLR_INVALID && gone) h->after_destroy++;
    if (gone) break;
    Sleep(0);
  }
  h->released = ReleaseDC(h->hwnd, dc);
  return 0;
}

TEST_F(Gdi, DcHeldAcrossResizeAndDestroyStaysSafe) {
  if (rt::on_page()) GTEST_SKIP() << "this page's build has no threads (windows.h, 25c)";
  ShowWindow(hwnd, SW_SHOW);
  Holder h;
  h.hwnd = hwnd;
  HANDLE t = CreateThread(nullptr, 0, HoldLoop, &h, 0, nullptr);
  ASSERT_NE(t, nullptr);
  for (int round = 0; round < 20; ++round) {
    SetWindowPos(hwnd, nullptr, 0, 0, 40 + 13 * round, 300 - 11 * round, SWP_NOMOVE | SWP_NOZORDER);
    if (round % 5 == 2) ShowWindow(hwnd, SW_MINIMIZE);
    if (round % 5 == 3) ShowWindow(hwnd, SW_RESTORE);
    rt::drain();
  }
  DestroyWindow(hwnd);
  h.destroyed = true;
  EXPECT_EQ(WaitForSingleObject(t, 10000), WAIT_OBJECT_0);
  CloseHandle(t);
  EXPECT_EQ(h.after_destroy.load(), 0);
  EXPECT_EQ(h.released.load(), 0);
}

}  // namespace

// While nobody can see the window (a hidden page) a worker's GetDC waits for
// it to be seen again, a bounded while each call (100 ms): the worker still
// draws, slowly, can be stopped and joined as the threaded program's
// WM_DESTROY does, and draws on at full speed once the window is seen.
TEST_F(Gdi, WorkerRestsWhileTheWindowIsUnseen) {
  if (rt::on_page()) GTEST_SKIP() << "this page's build has no threads (windows.h, 25c)";
  ShowWindow(hwnd, SW_SHOW);
  ASSERT_TRUE(PlatformInjectWindowEvent(hwnd, PLATFORM_HIDDEN, 0, 0));
  rt::drain();
  for (bool stop_while_hidden : {true, false}) {
    Worker w;
    w.hwnd = hwnd;
    const auto start = std::chrono::steady_clock::now();
    HANDLE t = CreateThread(nullptr, 0, DrawLoop, &w, 0, nullptr);
    ASSERT_NE(t, nullptr);
    while (w.dcs.load() < 3) Sleep(1);  // each ends within its rest's bound
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    EXPECT_LE(w.dcs.load(), static_cast<long>(ms.count()) / 100 + 1);
    EXPECT_GT(w.drawn.load(), 0);
    if (!stop_while_hidden) {
      ASSERT_TRUE(PlatformInjectWindowEvent(hwnd, PLATFORM_SHOWN, 0, 0));
      rt::drain();
      const long seen = w.dcs.load();
      for (int i = 0; i < 10000 && w.dcs.load() < seen + 1000; ++i) Sleep(1);
      EXPECT_GE(w.dcs.load(), seen + 1000) << "still resting once seen";
    }
    w.run = false;
    EXPECT_EQ(WaitForSingleObject(t, 10000), WAIT_OBJECT_0);
    CloseHandle(t);
  }
}
