// The backdrop window procedure with a picture loader of the test's own: what
// asks for the stretch, the picture stretched under the bows, the lines sent
// when the picture is missing or its pixels cannot be fetched, and Escape.
#include <gtest/gtest.h>
#include <rainbow_testing.h>

#include "backdrop.h"
#include "backdrop_check.h"
#include "rainbow.h"
#include "shell.h"

namespace {
std::string g_picture;   // what backdrop_load loads
bool g_deleted = false;  // hand over the bitmap already deleted
}  // namespace

const char* backdrop_file = "test picture";
HBITMAP backdrop_load(void) {
  auto bm = static_cast<HBITMAP>(LoadImageA(nullptr, g_picture.c_str(), IMAGE_BITMAP, 0, 0,
                                            LR_LOADFROMFILE | LR_CREATEDIBSECTION));
  if (g_deleted) DeleteObject(bm);
  return bm;
}

namespace {

class Backdrop : public testing::Test {
 protected:
  void open(const std::string& picture, bool deleted = false) {
    g_picture = picture;
    g_deleted = deleted;
    hwnd = rainbow_create_main_window(GetModuleHandleA(nullptr));
    ASSERT_NE(hwnd, nullptr);
    ShowWindow(hwnd, SW_SHOWDEFAULT);
    UpdateWindow(hwnd);
    rt::drain();
  }
  void close() {
    DestroyWindow(hwnd);
    rt::drain();
  }
  void repaint() {
    InvalidateRect(hwnd, nullptr, TRUE);
    UpdateWindow(hwnd);
  }
  void TearDown() override {
    if (IsWindow(hwnd)) close();
  }
  HWND hwnd = nullptr;
};

TEST_F(Backdrop, SizeAndRegainedFocusAskForTheStretch) {
  open(bt::data("bmp/pal16.bmp"));
  const struct {
    PlatformWindowEvent event;
    int flag;
  } cases[] = {
      {PLATFORM_RESIZED, 1}, {PLATFORM_FOCUS_GAINED, 1}, {PLATFORM_FOCUS_LOST, 0},
      {PLATFORM_EXPOSED, 0}, {PLATFORM_MINIMIZED, 1},    {PLATFORM_RESTORED, 1},
  };
  for (const auto& c : cases) {
    force_redraw = 0;
    ASSERT_TRUE(PlatformInjectWindowEvent(hwnd, c.event, 300, 200));
    PlatformPump();
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) && msg.message != WM_PAINT)
      DispatchMessageA(&msg);  // up to the paint, which would clear the flag
    EXPECT_EQ(force_redraw, c.flag) << "event " << c.event;
    rt::drain();
  }
}

// Stretched over the whole client by COLORONCOLOR's rule at every size; the
// bows stay over it until a resize or regained focus asks for the stretch.
TEST_F(Backdrop, PaintStretchesThePictureWhenAsked) {
  const struct { int w, h; } sizes[] = {{10, 5}, {13, 7}, {333, 217}, {640, 480}, {500, 300}};
  for (const char* name : {"pal256", "rgb565_v5", "rgb24_topdown", "pal16_rle4"}) {
    SCOPED_TRACE(name);
    open(bt::data(std::string("bmp/") + name + ".bmp"));
    const bt::Ppm picture = bt::read_ppm(bt::data(std::string("bmp/") + name + ".ppm"));
    for (const auto& s : sizes) {
      SCOPED_TRACE(testing::Message() << s.w << " x " << s.h);
      SetWindowPos(hwnd, nullptr, 0, 0, s.w, s.h, SWP_NOMOVE | SWP_NOZORDER);
      EXPECT_EQ(force_redraw, 1);
      UpdateWindow(hwnd);
      EXPECT_EQ(force_redraw, 0);
      EXPECT_LE(bt::differing(hwnd, picture, s.w, s.h), 2) << "one step's pixels at most";
    }
    for (int i = 0; i < 30000; ++i) display_current_operation(hwnd);
    const int bows = bt::differing(hwnd, picture, 500, 300);
    EXPECT_GT(bows, 100);
    repaint();
    EXPECT_GE(bt::differing(hwnd, picture, 500, 300), bows) << "no erasing, no stretch";
    PlatformInjectWindowEvent(hwnd, PLATFORM_FOCUS_GAINED, 0, 0);
    rt::drain();
    repaint();
    EXPECT_LE(bt::differing(hwnd, picture, 500, 300), 2) << "the bows wiped";
    close();
  }
}

TEST_F(Backdrop, FailuresSendTheirLines) {
  const std::string no_file = "The system cannot find the file specified.\r\n";
  const std::string bad_handle = "GetDIBits: The handle is invalid.\r\n";
  const struct {
    std::string picture;
    bool deleted;
    std::vector<std::string> lines;
  } cases[] = {
      {bt::data("no such picture.bmp"), false, {"LoadImage: " + no_file}},
      {bt::data("bmp"), false, {"LoadImage: Access is denied.\r\n"}},
      {bt::data("bmp/pal16.bmp"), true, {bad_handle, bad_handle}},  // the query and the fetch
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.picture);
    bt::DebugLines debug;
    open(c.picture, c.deleted);
    EXPECT_EQ(debug.lines, c.lines);
    EXPECT_EQ(pBits == nullptr, !c.deleted) << "malloc'ed for the failed fetch";
    EXPECT_EQ(force_redraw, 0) << "painted";
    EXPECT_LE(rt::lit_pixels(rt::read_client(hwnd, 640, 480), 640).size(), 2u) << "bows on black";
    close();
  }
}

TEST_F(Backdrop, EscapeTwiceReleasesThePixelsOnce) {
  open(bt::data("bmp/pal16.bmp"));
  ASSERT_NE(pBits, nullptr);
  for (int i = 0; i < 2; ++i) {
    PlatformInjectKey(hwnd, "Escape", TRUE, FALSE);
    PlatformInjectKey(hwnd, "Escape", FALSE, FALSE);
  }
  int quits = 0;
  for (const MSG& m : rt::drain()) {
    if (m.message != WM_QUIT) continue;
    ++quits;
    EXPECT_EQ(m.wParam, 0u);
  }
  EXPECT_GE(quits, 1);
  EXPECT_EQ(pBits, nullptr);
  close();  // WM_DESTROY finds nothing left to free
}

}  // namespace
