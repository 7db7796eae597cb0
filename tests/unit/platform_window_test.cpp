// The window and message semantics the programs rely on, checked against the
// order real Win32 shows: creation, WM_SIZE, invalidation, WM_PAINT and
// erasing, keys, closing and WM_QUIT.  The same tests run over every backend
// (null, SDL, and a browser's page in tests/web_conformance), with keys,
// sizes and states made by the window system itself where it has them; where
// a page answers otherwise (platform/include/windows.h, 25) the tables say so.
#include <gtest/gtest.h>
#include <rainbow_testing.h>

#include <string>
#include <vector>

#include "support.h"

namespace {

struct Seen {
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
  bool operator==(const Seen& o) const {
    return message == o.message && wparam == o.wparam && lparam == o.lparam;
  }
};

void PrintTo(const Seen& s, std::ostream* os) {
  *os << "{0x" << std::hex << s.message << ", 0x" << s.wparam << ", 0x" << s.lparam << "}";
}

// What the recording window procedure saw and how it behaves.
struct Recorder {
  std::vector<Seen> log;
  std::vector<PAINTSTRUCT> paints;
  std::vector<HDC> erase_dcs;
  int erase_result = -1;       // WM_ERASEBKGND: -1 passes it on, else returned as is
  bool validate = true;        // WM_PAINT: BeginPaint/EndPaint, or nothing at all
  bool keep_on_close = false;  // WM_CLOSE: taken without destroying
  bool eat_syskeys = false;    // WM_SYSKEYDOWN: taken, as the programs do
  bool fail_create = false;    // WM_CREATE returns -1
};
Recorder rec;

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  rec.log.push_back({message, wparam, lparam});
  switch (message) {
    case WM_CREATE:
      return rec.fail_create ? -1 : 0;
    case WM_PAINT:
      if (rec.validate) {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        rec.paints.push_back(ps);
        EndPaint(hwnd, &ps);
      }
      return 0;
    case WM_ERASEBKGND:
      rec.erase_dcs.push_back(reinterpret_cast<HDC>(wparam));
      if (rec.erase_result >= 0) return rec.erase_result;
      break;
    case WM_CLOSE:
      if (rec.keep_on_close) return 0;
      break;
    case WM_SYSKEYDOWN:
      if (rec.eat_syskeys) return 0;
      break;
  }
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

// Classes by style; the white brush shows that erasing uses the class brush.
const char* class_for(UINT style, int brush = WHITE_BRUSH) {
  static std::vector<std::string> names;
  names.push_back("rec" + std::to_string(style) + "_" + std::to_string(brush));
  rt::register_class(names.back().c_str(), RecordingProc, style, brush);
  return names.back().c_str();
}

std::vector<Seen> only(const std::vector<Seen>& log, std::initializer_list<UINT> messages) {
  std::vector<Seen> out;
  for (const Seen& s : log)
    for (UINT m : messages)
      if (s.message == m) out.push_back(s);
  return out;
}

class Platform : public testing::Test {
 protected:
  void SetUp() override {
    rt::drain();
    rec = Recorder();
  }
  void TearDown() override {
    for (HWND hwnd : made_)
      if (IsWindow(hwnd)) DestroyWindow(hwnd);
    rt::drain();
    rec = Recorder();
  }
  // A window of this test's, gone when the test ends: a page holds one at
  // a time.
  HWND make(const char* cls, int w = 0, int h = 0) {
    HWND hwnd = rt::create_window(cls, w, h);
    if (hwnd) made_.push_back(hwnd);
    return hwnd;
  }
  // A shown window whose first paint is done, with the log cleared.
  HWND shown(const char* cls, int w = 200, int h = 100) {
    HWND hwnd = make(cls, w, h);
    EXPECT_NE(hwnd, nullptr);
    ShowWindow(hwnd, SW_SHOWNORMAL);
    UpdateWindow(hwnd);
    rt::drain();
    rec.log.clear();
    rec.paints.clear();
    rec.erase_dcs.clear();
    return hwnd;
  }
  std::vector<HWND> made_;
};

// ---- Creation ----

TEST_F(Platform, CreateSendsWmCreateBeforeReturning) {
  HWND hwnd = make(class_for(CS_HREDRAW | CS_VREDRAW));
  ASSERT_NE(hwnd, nullptr);
  ASSERT_FALSE(rec.log.empty());
  EXPECT_EQ(rec.log[0].message, static_cast<UINT>(WM_CREATE));
  EXPECT_TRUE(only(rec.log, {WM_SIZE, WM_PAINT}).empty()) << "nothing more until shown";
  RECT r;
  ASSERT_TRUE(GetClientRect(hwnd, &r));
  EXPECT_EQ(r.right, 640);
  EXPECT_EQ(r.bottom, 480);
}

TEST_F(Platform, CreateFailsClearly) {
  const char* cls = class_for(0);
  struct Case {
    const char* what;
    const char* class_name;
    bool fail_create;
  };
  const Case cases[] = {
      {"unknown class", "no such class", false},
      {"null class", nullptr, false},
      {"atom class", MAKEINTRESOURCEA(0xC001), false},
      {"WM_CREATE returns -1", cls, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    rec = Recorder();
    rec.fail_create = c.fail_create;
    SetLastError(0);
    EXPECT_EQ(make(c.class_name), nullptr);
    EXPECT_NE(GetLastError(), 0u);
    if (c.fail_create) {
      EXPECT_FALSE(only(rec.log, {WM_DESTROY}).empty());
    }
  }
}

// ---- WM_SIZE ----

// What the program asks, and (kSystem...) what the window system does.
enum Action {
  kShow,
  kShowAgain,
  kSetSize,
  kSystemResize,
  kMinimize,
  kRestore,
  kSystemMinimize,
  kSystemRestore,
  kSystemMaximize  // as a window manager reports it: maximised, then the new size
};

// False when the window system never does that (a page is never minimised).
bool act(HWND hwnd, Action a, int w = 0, int h = 0) {
  bool done = true;
  switch (a) {
    case kShow:
    case kShowAgain:
      ShowWindow(hwnd, SW_SHOWDEFAULT);
      break;
    case kSetSize:
      SetWindowPos(hwnd, nullptr, 0, 0, w, h, SWP_NOMOVE | SWP_NOZORDER);
      break;
    case kSystemResize:
      done = PlatformSendWindowEvent(hwnd, PLATFORM_RESIZED, w, h);
      break;
    case kMinimize:
      ShowWindow(hwnd, SW_MINIMIZE);
      break;
    case kRestore:
      ShowWindow(hwnd, SW_RESTORE);
      break;
    case kSystemMinimize:
      done = PlatformSendWindowEvent(hwnd, PLATFORM_MINIMIZED, 0, 0);
      break;
    case kSystemRestore:
      done = PlatformSendWindowEvent(hwnd, PLATFORM_RESTORED, 0, 0);
      break;
    case kSystemMaximize:
      done = PlatformSendWindowEvent(hwnd, PLATFORM_MAXIMIZED, 0, 0) &&
             PlatformSendWindowEvent(hwnd, PLATFORM_RESIZED, w, h);
      break;
  }
  rt::drain();
  return done;
}

Seen restored(int w, int h) {
  return {WM_SIZE, SIZE_RESTORED, MAKELPARAM(w, h)};
}

// Each step's WM_SIZE messages and client size; the window system then
// shows the client whole at that size.  A page keeps its own size and state
// (windows.h, 25a): where it answers otherwise its column says how, and what
// its window system never does (minimise, maximise, restore) is no step of a
// page's.
TEST_F(Platform, ShowingAndEveryClientSizeChangeSendWmSize) {
  struct Answer {
    std::vector<Seen> sizes;
    int client_w, client_h;  // -1: as elsewhere
  };
  struct Step {
    Action action;
    int w, h;
    Answer answer, on_page;
  };
  const Answer same = {{}, -1, -1};
  const Seen minimized = {WM_SIZE, SIZE_MINIMIZED, 0};
  const std::vector<Step> steps = {
      {kShow, 0, 0, {{restored(640, 480)}, 640, 480}, same},
      {kShowAgain, 0, 0, {{}, 640, 480}, same},
      {kSetSize,
       500,
       400,
       {{restored(500, 400)}, 500, 400},
       {{restored(500, 400), restored(640, 480)}, 640, 480}},
      {kSetSize, 500, 400, {{}, 500, 400}, {{restored(500, 400), restored(640, 480)}, 640, 480}},
      {kSystemResize, 300, 200, {{restored(300, 200)}, 300, 200}, same},
      {kMinimize, 0, 0, {{minimized}, 0, 0}, {{minimized, restored(300, 200)}, 300, 200}},
      {kSystemRestore, 0, 0, {{restored(300, 200)}, 300, 200}, same},
      {kSystemMinimize, 0, 0, {{minimized}, 0, 0}, same},
      {kRestore, 0, 0, {{restored(300, 200)}, 300, 200}, {{}, 300, 200}},
      {kSystemMaximize,
       900,
       700,
       {{{WM_SIZE, SIZE_MAXIMIZED, MAKELPARAM(900, 700)}}, 900, 700},
       same},
      {kSystemRestore, 0, 0, {{}, 900, 700}, same},  // the size that follows says restored
      {kSystemResize, 300, 200, {{restored(300, 200)}, 300, 200}, {{}, 300, 200}},
      // Client areas stop at 16384 pixels a side.
      {kSetSize,
       1,
       65535,
       {{restored(1, 16384)}, 1, 16384},
       {{restored(1, 16384), restored(300, 200)}, 300, 200}},
  };
  HWND hwnd = make(class_for(CS_HREDRAW | CS_VREDRAW));
  ASSERT_NE(hwnd, nullptr);
  for (size_t i = 0; i < steps.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "step " << i);
    const Answer& want =
        rt::on_page() && steps[i].on_page.client_w >= 0 ? steps[i].on_page : steps[i].answer;
    rec.log.clear();
    if (!act(hwnd, steps[i].action, steps[i].w, steps[i].h)) {
      EXPECT_TRUE(rt::on_page()) << "the window system made no such event";
      continue;
    }
    EXPECT_EQ(only(rec.log, {WM_SIZE}), want.sizes);
    RECT r;
    ASSERT_TRUE(GetClientRect(hwnd, &r));
    EXPECT_EQ(r.right, want.client_w);
    EXPECT_EQ(r.bottom, want.client_h);
    if (want.client_w > 0) {
      EXPECT_TRUE(rt::screen_shows(hwnd, want.client_w, want.client_h, RGB(255, 255, 255)));
    }
  }
}

TEST_F(Platform, SizeChangesInvalidateAsTheClassAsks) {
  struct Case {
    const char* what;
    UINT style;
    Action action;
    int w, h;
    bool paints;
    RECT rc;
  };
  const UINT both = CS_HREDRAW | CS_VREDRAW;
  const Case cases[] = {
      {"both, wider", both, kSetSize, 300, 100, true, {0, 0, 300, 100}},
      {"both, taller", both, kSetSize, 200, 150, true, {0, 0, 200, 150}},
      {"both, smaller", both, kSetSize, 150, 80, true, {0, 0, 150, 80}},
      {"both, by the window system", both, kSystemResize, 120, 90, true, {0, 0, 120, 90}},
      {"none, wider: the new strip", 0, kSetSize, 300, 100, true, {200, 0, 300, 100}},
      {"none, taller: the new strip", 0, kSetSize, 200, 150, true, {0, 100, 200, 150}},
      {"none, smaller", 0, kSetSize, 150, 80, false, {}},
      {"vertical only, wider", CS_VREDRAW, kSetSize, 300, 100, true, {200, 0, 300, 100}},
      {"vertical only, taller", CS_VREDRAW, kSetSize, 200, 150, true, {0, 0, 200, 150}},
      {"horizontal only, narrower", CS_HREDRAW, kSetSize, 150, 100, true, {0, 0, 150, 100}},
      {"restored after minimising", 0, kRestore, 0, 0, true, {0, 0, 200, 100}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // A page keeps its size, and is never minimised: its new sizes come
    // from its layout, with the same invalidation.
    if (rt::on_page() && c.action == kRestore) continue;
    HWND hwnd = shown(class_for(c.style));
    if (c.action == kRestore) act(hwnd, kMinimize);
    rec.paints.clear();
    act(hwnd, rt::on_page() && c.action == kSetSize ? kSystemResize : c.action, c.w, c.h);
    if (!c.paints) {
      EXPECT_TRUE(rec.paints.empty());
    } else {
      ASSERT_EQ(rec.paints.size(), 1u);
      const RECT& r = rec.paints[0].rcPaint;
      EXPECT_EQ(r.left, c.rc.left);
      EXPECT_EQ(r.top, c.rc.top);
      EXPECT_EQ(r.right, c.rc.right);
      EXPECT_EQ(r.bottom, c.rc.bottom);
    }
    DestroyWindow(hwnd);
  }
}

TEST_F(Platform, ExposureInvalidatesTheWholeClient) {
  HWND hwnd = shown(class_for(CS_HREDRAW | CS_VREDRAW));
  PlatformInjectWindowEvent(hwnd, PLATFORM_EXPOSED, 0, 0);
  rt::drain();
  ASSERT_EQ(rec.paints.size(), 1u);
  EXPECT_EQ(rec.paints[0].rcPaint.right, 200);
  EXPECT_EQ(rec.paints[0].rcPaint.bottom, 100);
  EXPECT_EQ(rec.erase_dcs.size(), 1u);
}

// ---- WM_PAINT ----

std::vector<UINT> peek_all(int limit = 10) {
  std::vector<UINT> out;
  MSG msg;
  while (static_cast<int>(out.size()) < limit && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    out.push_back(msg.message);
    if (msg.message != WM_QUIT) DispatchMessageA(&msg);
  }
  return out;
}

TEST_F(Platform, PaintComesOnlyWhenNothingElseIsQueued) {
  HWND hwnd = shown(class_for(CS_HREDRAW | CS_VREDRAW));
  EXPECT_TRUE(peek_all().empty()) << "no update region, no WM_PAINT";

  InvalidateRect(hwnd, nullptr, TRUE);
  PostMessageA(hwnd, WM_USER + 1, 0, 0);
  EXPECT_EQ(peek_all(), (std::vector<UINT>{WM_USER + 1, WM_PAINT}));

  InvalidateRect(hwnd, nullptr, TRUE);
  PostQuitMessage(5);
  PostMessageA(hwnd, WM_USER + 2, 0, 0);
  EXPECT_EQ(peek_all(), (std::vector<UINT>{WM_USER + 2, WM_QUIT, WM_PAINT}));
  EXPECT_TRUE(peek_all().empty()) << "BeginPaint and EndPaint validated";
}

TEST_F(Platform, PaintWaitsForAVisibleUnminimisedWindow) {
  HWND hidden = make(class_for(CS_HREDRAW | CS_VREDRAW));
  InvalidateRect(hidden, nullptr, TRUE);
  EXPECT_TRUE(peek_all().empty());
  UpdateWindow(hidden);
  EXPECT_TRUE(rec.paints.empty());
  DestroyWindow(hidden);
  if (rt::on_page()) GTEST_SKIP() << "a page is never minimised (windows.h, 25a)";

  HWND minimised = shown(class_for(CS_HREDRAW | CS_VREDRAW));
  act(minimised, kMinimize);
  InvalidateRect(minimised, nullptr, TRUE);
  EXPECT_TRUE(peek_all().empty());
  act(minimised, kRestore);
  EXPECT_EQ(rec.paints.size(), 1u);
}

// Mirrors the erase cases of the observed Win32 paint trace.
TEST_F(Platform, BeginPaintErasesWhenDue) {
  struct Case {
    const char* what;
    int brush;  // class brush; -1 none
    RECT first;
    BOOL first_erase;
    RECT second;  // empty: not used
    BOOL second_erase;
    int erase_result;
    bool erase_sent;
    BOOL fErase;
    RECT rc;
    bool erased;  // the painted rectangle now has the class colour
  };
  const RECT all = {0, 0, 200, 100}, part = {10, 20, 50, 60}, none = {0, 0, 0, 0};
  const Case cases[] = {
      {"A1 full, default", WHITE_BRUSH, all, TRUE, none, FALSE, -1, true, FALSE, all, true},
      {"A2 part, default", WHITE_BRUSH, part, TRUE, none, FALSE, -1, true, FALSE, part, true},
      {"A3 part, no erase", WHITE_BRUSH, part, FALSE, none, FALSE, -1, false, FALSE, part, false},
      // The update region is kept as its bounding rectangle, erased whole.
      {"A4 two rects",
       WHITE_BRUSH,
       part,
       TRUE,
       {100, 5, 120, 15},
       FALSE,
       -1,
       true,
       FALSE,
       {10, 5, 120, 60},
       true},
      {"B1 full, returns 0", WHITE_BRUSH, all, TRUE, none, FALSE, 0, true, TRUE, all, false},
      {"B3 full, no erase", WHITE_BRUSH, all, FALSE, none, FALSE, 0, false, FALSE, all, false},
      {"C1 returns 1", WHITE_BRUSH, all, TRUE, none, FALSE, 1, true, FALSE, all, false},
      {"D1 no class brush", -1, all, TRUE, none, FALSE, -1, true, TRUE, all, false},
      {"black class brush", BLACK_BRUSH, all, TRUE, none, FALSE, -1, true, FALSE, all, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HWND hwnd = shown(class_for(0, c.brush));
    rt::fill_client(hwnd, GRAY_BRUSH);
    rec.erase_result = c.erase_result;
    InvalidateRect(hwnd, &c.first, c.first_erase);
    if (c.second.right > 0) InvalidateRect(hwnd, &c.second, c.second_erase);
    UpdateWindow(hwnd);

    ASSERT_EQ(rec.paints.size(), 1u);
    const PAINTSTRUCT& ps = rec.paints[0];
    EXPECT_EQ(ps.fErase, c.fErase);
    EXPECT_EQ(ps.rcPaint.left, c.rc.left);
    EXPECT_EQ(ps.rcPaint.top, c.rc.top);
    EXPECT_EQ(ps.rcPaint.right, c.rc.right);
    EXPECT_EQ(ps.rcPaint.bottom, c.rc.bottom);
    ASSERT_EQ(rec.erase_dcs.size(), c.erase_sent ? 1u : 0u);
    if (c.erase_sent) {
      EXPECT_EQ(rec.erase_dcs[0], ps.hdc) << "the paint DC is the one to erase";
    }

    const std::vector<COLORREF> px = rt::read_client(hwnd, 200, 100);
    const COLORREF gray = RGB(128, 128, 128);
    const COLORREF brush = c.brush == BLACK_BRUSH ? RGB(0, 0, 0) : RGB(255, 255, 255);
    for (int y = 0; y < 100; ++y)
      for (int x = 0; x < 200; ++x) {
        const bool inside = x >= c.rc.left && x < c.rc.right && y >= c.rc.top && y < c.rc.bottom;
        ASSERT_EQ(px[static_cast<size_t>(y * 200 + x)], inside && c.erased ? brush : gray)
            << x << "," << y;
      }
    EXPECT_TRUE(peek_all().empty()) << "painted and validated";
    DestroyWindow(hwnd);
  }
}

// ---- Keys ----

// Keys as the window system makes them (a page's KeyboardEvent by its
// physical key, SDL's key event), through the backend's key table and
// TranslateMessage: the message, virtual key, lParam bits and character.
TEST_F(Platform, KeysArriveWithWin32CodesAndBits) {
  struct Case {
    const char* key;
    BOOL down, alt;
    UINT message;
    WPARAM vk;
    DWORD lparam;
    DWORD mask;  // bits compared
    WPARAM ch;   // its WM_CHAR; 0 none
  };
  const DWORD all = 0xFFFFFFFF, no_scan = 0xFF00FFFF;
  const Case cases[] = {
      {"Escape", TRUE, FALSE, WM_KEYDOWN, VK_ESCAPE, 0x00010001, all, 0x1B},
      {"Space", TRUE, FALSE, WM_KEYDOWN, VK_SPACE, 0x00390001, all, ' '},
      {"Return", TRUE, FALSE, WM_KEYDOWN, VK_RETURN, 0x001C0001, all, '\r'},
      {"A", TRUE, FALSE, WM_KEYDOWN, 'A', 0x00000001, no_scan, 'A'},
      {"Z", TRUE, FALSE, WM_KEYDOWN, 'Z', 0x00000001, no_scan, 'Z'},
      {"A", TRUE, TRUE, WM_SYSKEYDOWN, 'A', 0x20000001, no_scan, 0},
      {"0", TRUE, FALSE, WM_KEYDOWN, '0', 0x00000001, no_scan, '0'},
      {"7", TRUE, FALSE, WM_KEYDOWN, '7', 0x00000001, no_scan, '7'},
      {"Left", TRUE, FALSE, WM_KEYDOWN, VK_LEFT, 0x004B0001, all, 0},
      {"Right", TRUE, FALSE, WM_KEYDOWN, VK_RIGHT, 0x004D0001, all, 0},
      {"Up", TRUE, FALSE, WM_KEYDOWN, VK_UP, 0x00480001, all, 0},
      {"Down", TRUE, FALSE, WM_KEYDOWN, VK_DOWN, 0x00500001, all, 0},
      {"F1", TRUE, FALSE, WM_KEYDOWN, VK_F1, 0x003B0001, all, 0},
      {"F4", TRUE, FALSE, WM_KEYDOWN, VK_F4, 0x003E0001, all, 0},
      {"F4", TRUE, TRUE, WM_SYSKEYDOWN, VK_F4, 0x203E0001, all, 0},
      {"F10", TRUE, FALSE, WM_SYSKEYDOWN, VK_F10, 0x00440001, all, 0},
      {"F10", FALSE, FALSE, WM_SYSKEYUP, VK_F10, 0xC0440001, all, 0},
      {"F12", TRUE, FALSE, WM_KEYDOWN, VK_F12, 0x00580001, all, 0},
      {"Left Alt", TRUE, FALSE, WM_SYSKEYDOWN, VK_MENU, 0x20380001, all, 0},
      {"Left Alt", FALSE, FALSE, WM_SYSKEYUP, VK_MENU, 0xC0380001, all, 0},
      {"Right Shift", TRUE, FALSE, WM_KEYDOWN, VK_SHIFT, 0x00360001, all, 0},
      {"PageUp", TRUE, FALSE, WM_KEYDOWN, VK_PRIOR, 0x00490001, all, 0},
      {"Space", FALSE, FALSE, WM_KEYUP, VK_SPACE, 0xC0390001, all, 0},
  };
  HWND hwnd = shown(class_for(CS_HREDRAW | CS_VREDRAW));
  rec.keep_on_close = true;  // Alt+F4 is among the keys
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.key << (c.down ? " down" : " up") << (c.alt ? " with Alt" : ""));
    rec.log.clear();
    ASSERT_TRUE(PlatformSendKey(hwnd, c.key, c.down, c.alt));
    rt::drain();
    const std::vector<Seen> keys =
        only(rec.log, {WM_KEYDOWN, WM_KEYUP, WM_SYSKEYDOWN, WM_SYSKEYUP});
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].message, c.message);
    EXPECT_EQ(keys[0].wparam, c.vk);
    EXPECT_EQ(static_cast<DWORD>(keys[0].lparam) & c.mask, c.lparam);
    const std::vector<Seen> chars = only(rec.log, {WM_CHAR});
    EXPECT_EQ(chars.size(), c.ch ? 1u : 0u);
    if (c.ch && !chars.empty()) {
      EXPECT_EQ(chars[0].wparam, c.ch);
    }
  }
  for (const char* unknown : {"no such key", "a", "F13", "F0", "F1x", ""})
    EXPECT_FALSE(PlatformSendKey(hwnd, unknown, TRUE, FALSE)) << unknown;
}

// ---- Closing ----

TEST_F(Platform, CloseClosesThroughTheDefaultProcedure) {
  struct Case {
    const char* what;
    bool close_box;  // else a posted WM_CLOSE
    bool keep_on_close;
    bool destroyed;
  };
  const Case cases[] = {{"close box", true, false, true},
                        {"close box, WM_CLOSE taken", true, true, false},
                        {"posted WM_CLOSE", false, false, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HWND hwnd = shown(class_for(CS_HREDRAW | CS_VREDRAW));
    rec.keep_on_close = c.keep_on_close;
    if (c.close_box)
      PlatformInjectWindowEvent(hwnd, PLATFORM_CLOSE_BOX, 0, 0);
    else
      PostMessageA(hwnd, WM_CLOSE, 0, 0);
    rt::drain();
    std::vector<Seen> expected = {{WM_CLOSE, 0, 0}};
    if (c.close_box) expected.insert(expected.begin(), {WM_SYSCOMMAND, SC_CLOSE, 0});
    if (c.destroyed) {
      expected.push_back({WM_DESTROY, 0, 0});
      expected.push_back({WM_NCDESTROY, 0, 0});
    }
    EXPECT_EQ(only(rec.log, {WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY, WM_NCDESTROY}), expected);
    EXPECT_EQ(IsWindow(hwnd), c.destroyed ? FALSE : TRUE);
    if (!c.destroyed) DestroyWindow(hwnd);
    InvalidateRect(hwnd, nullptr, TRUE);
    EXPECT_TRUE(peek_all().empty()) << "a destroyed window is never painted";
  }
}

TEST_F(Platform, AltF4ClosesOnlyThroughTheDefaultProcedure) {
  struct Case {
    const char* what;
    const char* key;
    BOOL alt;
    bool eat_syskeys;
    bool destroyed;
  };
  const Case cases[] = {
      {"Alt+F4 passed on", "F4", TRUE, false, true},
      {"Alt+F4 taken by the window", "F4", TRUE, true, false},
      {"F4 alone", "F4", FALSE, false, false},
      {"Alt+F5", "F5", TRUE, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HWND hwnd = shown(class_for(CS_HREDRAW | CS_VREDRAW));
    rec.eat_syskeys = c.eat_syskeys;
    PlatformInjectKey(hwnd, c.key, TRUE, c.alt);
    rt::drain();
    EXPECT_EQ(IsWindow(hwnd), c.destroyed ? FALSE : TRUE);
    EXPECT_EQ(only(rec.log, {WM_SYSCOMMAND}).size(), c.destroyed ? 1u : 0u);
    if (!c.destroyed) DestroyWindow(hwnd);
  }
}

// ---- WM_QUIT ----

TEST_F(Platform, QuitComesNextWithItsCode) {
  struct Case {
    bool get;
    int code;
  };
  const Case cases[] = {{false, 0}, {false, 7}, {false, -1}, {true, 0}, {true, 7}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.get ? "GetMessageA " : "PeekMessageA ") << c.code);
    PostQuitMessage(c.code);
    MSG msg = {};
    const BOOL got =
        c.get ? GetMessageA(&msg, nullptr, 0, 0) : PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
    EXPECT_EQ(got, c.get ? FALSE : TRUE);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_EQ(static_cast<int>(msg.wParam), c.code);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "WM_QUIT comes once";
  }
  MSG msg;
  PostQuitMessage(3);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "still there after PM_NOREMOVE";
  EXPECT_EQ(msg.wParam, 3u);
}

// Another thread invalidates, posts and quits while this one waits in
// GetMessageA: every message arrives, the paint comes, and (under TSan) no
// access races.
DWORD WINAPI PokeFromAnotherThread(LPVOID param) {
  HWND hwnd = static_cast<HWND>(param);
  for (int i = 0; i < 200; ++i) {
    const RECT r = {i % 50, i % 30, i % 50 + 10, i % 30 + 10};
    InvalidateRect(hwnd, &r, FALSE);
    PostMessageA(hwnd, WM_USER + 3, static_cast<WPARAM>(i), 0);
  }
  PostQuitMessage(9);
  return 0;
}

TEST_F(Platform, OtherThreadsMayInvalidatePostAndQuit) {
  if (rt::on_page()) GTEST_SKIP() << "this page's build has no threads (windows.h, 25c)";
  HWND hwnd = shown(class_for(CS_HREDRAW | CS_VREDRAW));
  HANDLE t = CreateThread(nullptr, 0, PokeFromAnotherThread, hwnd, 0, nullptr);
  ASSERT_NE(t, nullptr);
  MSG msg;
  int posted = 0;
  while (GetMessageA(&msg, nullptr, 0, 0)) {
    posted += msg.message == WM_USER + 3;
    DispatchMessageA(&msg);
  }
  EXPECT_EQ(msg.wParam, 9u);
  EXPECT_EQ(posted, 200);
  EXPECT_EQ(WaitForSingleObject(t, 5000), WAIT_OBJECT_0);
  CloseHandle(t);
  rt::drain();
  EXPECT_FALSE(rec.paints.empty());
  DestroyWindow(hwnd);
}

// ---- Handles that are not windows ----

TEST_F(Platform, CallsOnHandlesThatAreNotWindowsFailClearly) {
  HWND gone = make(class_for(CS_HREDRAW | CS_VREDRAW));
  ASSERT_NE(gone, nullptr);
  DestroyWindow(gone);
  HWND live = make(class_for(CS_HREDRAW | CS_VREDRAW));
  char local[64] = {};
  const HWND bad[] = {
      gone, reinterpret_cast<HWND>(1), reinterpret_cast<HWND>(local),
      reinterpret_cast<HWND>(reinterpret_cast<char*>(live) + 1),  // inside the table, not a slot
  };
  for (HWND h : bad) {
    SCOPED_TRACE(testing::Message() << "handle " << h);
    RECT r;
    PAINTSTRUCT ps;
    MSG msg = {h, WM_USER, 0, 0, 0, {0, 0}};
    EXPECT_FALSE(IsWindow(h));
    SetLastError(0);
    EXPECT_FALSE(ShowWindow(h, SW_SHOW));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_FALSE(UpdateWindow(h));
    EXPECT_FALSE(InvalidateRect(h, nullptr, TRUE));
    EXPECT_FALSE(GetClientRect(h, &r));
    EXPECT_FALSE(SetWindowPos(h, nullptr, 0, 0, 10, 10, SWP_NOMOVE));
    EXPECT_FALSE(DestroyWindow(h));
    EXPECT_FALSE(PostMessageA(h, WM_USER, 0, 0));
    EXPECT_EQ(SendMessageA(h, WM_USER, 0, 0), 0);
    EXPECT_EQ(DispatchMessageA(&msg), 0);
    EXPECT_EQ(DefWindowProcA(h, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(GetDC(h), nullptr);
    EXPECT_EQ(BeginPaint(h, &ps), nullptr);
    EXPECT_FALSE(PlatformInjectKey(h, "A", TRUE, FALSE));
    EXPECT_FALSE(PlatformInjectWindowEvent(h, PLATFORM_CLOSE_BOX, 0, 0));
    COLORREF px[1];
    EXPECT_FALSE(PlatformReadClient(h, px, 1, 1));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  }
  EXPECT_TRUE(IsWindow(live));
}

}  // namespace
