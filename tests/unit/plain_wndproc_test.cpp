// The plain program's shell and window procedure: its answer to each message,
// painting, the idle loop, and what resizing, minimising and keys do to the
// picture.
#include <gtest/gtest.h>
#include <rainbow_testing.h>

#include <thread>
#include <vector>

#include "rainbow.h"
#include "shell.h"
#include "support.h"

namespace {

bool quit_posted(const std::vector<MSG>& seen, int* code) {
  for (const MSG& m : seen)
    if (m.message == WM_QUIT) {
      *code = static_cast<int>(m.wParam);
      return true;
    }
  return false;
}

class Plain : public testing::Test {
 protected:
  void SetUp() override {
    rt::drain();
    hwnd = rainbow_create_main_window(GetModuleHandleA(nullptr));
    ASSERT_NE(hwnd, nullptr);
  }
  void TearDown() override {
    if (IsWindow(hwnd)) DestroyWindow(hwnd);
    rt::drain();
  }
  void show() {
    ShowWindow(hwnd, SW_SHOWDEFAULT);
    UpdateWindow(hwnd);
    rt::drain();
  }
  size_t lit() { return rt::lit_pixels(rt::read_client(hwnd, w, h), w).size(); }
  HWND hwnd = nullptr;
  int w = 640, h = 480;
};

TEST_F(Plain, CreationZeroesTheSizeOnly) {
  DestroyWindow(hwnd);
  rt::drain();
  rainbow_update_layout(MAKELPARAM(300, 200));
  hwnd = rainbow_create_main_window(GetModuleHandleA(nullptr));
  ASSERT_NE(hwnd, nullptr);
  EXPECT_EQ(cxClient, 0);
  EXPECT_EQ(cyClient, 0);
  EXPECT_EQ(xbase, 150) << "the derived values keep what they held";
  EXPECT_EQ(ydiff, 125);
  RECT r;
  GetClientRect(hwnd, &r);
  EXPECT_EQ(r.right, 640);
  EXPECT_EQ(r.bottom, 480);
}

TEST_F(Plain, WindowProcedureAnswersEachMessage) {
  struct Case {
    const char* what;
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
    bool quits;
    bool destroys;
    int cx, xdiff;  // layout after; cx -1: not checked
  };
  const LPARAM alt = 1 << 29;
  const Case cases[] = {
      {"create", WM_CREATE, 0, 0, false, false, 0, 295},
      {"size", WM_SIZE, SIZE_RESTORED, MAKELPARAM(101, 9), false, false, 101, 25},
      {"minimised", WM_SIZE, SIZE_MINIMIZED, 0, false, false, 0, -25},
      {"Escape", WM_KEYDOWN, VK_ESCAPE, 0x00010001, true, false, -1, 0},
      {"Alt+Escape", WM_SYSKEYDOWN, VK_ESCAPE, alt | 0x00010001, true, false, -1, 0},
      {"A", WM_KEYDOWN, 'A', 1, false, false, -1, 0},
      {"F4", WM_KEYDOWN, VK_F4, 0x003E0001, false, false, -1, 0},
      {"Alt+F4", WM_SYSKEYDOWN, VK_F4, alt | 0x003E0001, false, false, -1, 0},
      {"F10", WM_SYSKEYDOWN, VK_F10, 0x00440001, false, false, -1, 0},
      {"Escape released", WM_KEYUP, VK_ESCAPE, static_cast<LPARAM>(0xC0010001), false, false, -1,
       0},
      {"destroy", WM_DESTROY, 0, 0, true, false, -1, 0},
      {"close", WM_CLOSE, 0, 0, true, true, -1, 0},
      {"system menu Close", WM_SYSCOMMAND, SC_CLOSE, 0, true, true, -1, 0},
      {"anything else", WM_USER, 1, 2, false, false, -1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HWND win = rainbow_create_main_window(GetModuleHandleA(nullptr));
    ASSERT_NE(win, nullptr);
    rainbow_update_layout(MAKELPARAM(640, 480));
    EXPECT_EQ(SendMessageA(win, c.message, c.wparam, c.lparam), 0);
    int code = -1;
    const std::vector<MSG> seen = rt::drain();
    EXPECT_EQ(quit_posted(seen, &code), c.quits);
    EXPECT_EQ(code, c.quits ? 0 : -1);
    for (const MSG& m : seen) EXPECT_NE(m.message, static_cast<UINT>(WM_SYSCOMMAND));
    EXPECT_EQ(IsWindow(win), c.destroys ? FALSE : TRUE);
    if (c.cx >= 0) {
      EXPECT_EQ(cxClient, c.cx);
      EXPECT_EQ(xdiff, c.xdiff);
    }
    if (IsWindow(win)) DestroyWindow(win);
    rt::drain();
  }
}

TEST_F(Plain, PaintErasesRunsOneStepAndValidates) {
  show();
  rt::fill_client(hwnd, WHITE_BRUSH);
  unsigned state;
  ASSERT_TRUE(rt::state_before(6334, 26500, &state));  // a sample inside the drop
  rainbow_srand(state);
  std::vector<int> sequence;
  for (int i = 0; i < 6; ++i) sequence.push_back(rainbow_rand());
  rainbow_srand(state);

  InvalidateRect(hwnd, nullptr, TRUE);
  const std::vector<MSG> seen = rt::drain();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].message, static_cast<UINT>(WM_PAINT));
  EXPECT_EQ(rainbow_rand(), sequence[5]) << "one step of five draws";
  EXPECT_LE(lit(), 2u) << "erased to black, then at most two pixels";
  EXPECT_TRUE(rt::drain().empty()) << "validated";
}

TEST_F(Plain, IdleLoopIgnoresKeysOtherThanEscape) {
  show();
  rainbow_srand(1);
  for (int i = 0; i < 20000; ++i) display_current_operation(hwnd);
  const std::vector<COLORREF> before = rt::read_client(hwnd, w, h);

  // Queued in the window system, read by the loop's own peeks.
  PlatformInjectKey(hwnd, "A", TRUE, FALSE);
  PlatformInjectKey(hwnd, "A", FALSE, FALSE);
  PlatformInjectKey(hwnd, "F4", TRUE, TRUE);
  PlatformInjectKey(hwnd, "F10", TRUE, FALSE);
  PlatformInjectKey(hwnd, "Space", TRUE, FALSE);
  PlatformInjectKey(hwnd, "Escape", TRUE, FALSE);
  EXPECT_EQ(rainbow_idle_loop(hwnd), 0);

  EXPECT_TRUE(IsWindow(hwnd)) << "Alt+F4 does not close the plain window";
  const std::vector<COLORREF> after = rt::read_client(hwnd, w, h);
  size_t kept = 0;
  for (size_t i = 0; i < after.size(); ++i) kept += before[i] != 0 && after[i] != 0;
  EXPECT_EQ(kept, rt::lit_pixels(before, w).size()) << "no key erased the picture";
}

TEST_F(Plain, IdleLoopDrawsWhileNoMessageWaits) {
  show();
  ASSERT_EQ(lit(), 0u);
  // Escape comes from another thread a little later, as a user's would.
  std::thread user([this] {
    Sleep(100);
    PlatformInjectKey(hwnd, "Escape", TRUE, FALSE);
  });
  EXPECT_EQ(rainbow_idle_loop(hwnd), 0);
  user.join();
  EXPECT_GT(lit(), 0u);
}

TEST_F(Plain, IdleLoopReturnsTheQuitCode) {
  show();
  PostMessageA(hwnd, WM_KEYDOWN, 'A', 1);
  PostQuitMessage(3);
  EXPECT_EQ(rainbow_idle_loop(hwnd), 3);
}

TEST_F(Plain, ResizeClearsAndMinimisingStopsTheSteps) {
  show();
  rainbow_srand(1);
  for (int i = 0; i < 50000; ++i) display_current_operation(hwnd);
  ASSERT_GT(lit(), 1000u);

  SetWindowPos(hwnd, nullptr, 0, 0, 400, 300, SWP_NOMOVE | SWP_NOZORDER);
  rt::drain();
  w = 400;
  h = 300;
  EXPECT_EQ(xbase, 200);
  EXPECT_EQ(xdiff, 175);
  EXPECT_EQ(ybase, 262);
  EXPECT_EQ(ydiff, 187);
  EXPECT_LE(lit(), 2u) << "the repaint cleared the picture";
  for (int i = 0; i < 50000; ++i) display_current_operation(hwnd);
  const size_t drawn = lit();
  EXPECT_GT(drawn, 1000u);

  ShowWindow(hwnd, SW_MINIMIZE);
  rt::drain();
  EXPECT_EQ(cxClient, 0);
  EXPECT_EQ(xdiff, -25);
  rainbow_srand(1);
  for (int i = 0; i < 1000; ++i) display_current_operation(hwnd);
  EXPECT_EQ(rainbow_rand(), 41) << "no step drew a number";
  EXPECT_EQ(lit(), drawn);

  ShowWindow(hwnd, SW_RESTORE);
  rt::drain();
  EXPECT_EQ(cxClient, 400);
  EXPECT_EQ(xdiff, 175);
  EXPECT_LE(lit(), 2u) << "restoring repaints the window whole";
}

TEST_F(Plain, CloseBoxEndsTheProgram) {
  show();
  PlatformInjectWindowEvent(hwnd, PLATFORM_CLOSE_BOX, 0, 0);
  int code = -1;
  EXPECT_TRUE(quit_posted(rt::drain(), &code));
  EXPECT_EQ(code, 0);
  EXPECT_FALSE(IsWindow(hwnd));
}

}  // namespace
