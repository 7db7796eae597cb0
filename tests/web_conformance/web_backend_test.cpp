// The platform's promises over the web backend, in the browser: keys from
// the page's real key events, and the size and state the page really has
// after SetWindowPos, ShowWindow and a resize of the page.  The page is
// conformance.html, run by run.py in headless Chromium.
#include <emscripten.h>
#include <stdio.h>
#include <gtest/gtest.h>
#include <rainbow_platform.h>
#include <windows.h>

#include <vector>

#include "support.h"

namespace {

struct Seen {
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
};
std::vector<Seen> g_seen;

LRESULT CALLBACK record(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_SIZE || message == WM_KEYDOWN || message == WM_CHAR)
    g_seen.push_back({message, wparam, lparam});
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

// Sends a key event to the page as the browser would, by its physical key.
void page_key(const char* code, bool down) {
  char js[160];
  snprintf(js, sizeof js,
           "window.dispatchEvent(new KeyboardEvent('%s', {code: '%s', bubbles: true}))",
           down ? "keydown" : "keyup", code);
  emscripten_run_script(js);
}

// The page's new client size, as its layout would give it.
void page_size(int width, int height) {
  char js[64];
  snprintf(js, sizeof js, "window.conformanceResize(%d, %d)", width, height);
  emscripten_run_script(js);
}

int page_width() {
  return emscripten_run_script_int("Module.clientSize()[0]");
}
int page_height() {
  return emscripten_run_script_int("Module.clientSize()[1]");
}

// Reads the page's messages until one matches or 5 s pass: the page hands
// its events over only at the program's turns (a verdict never rests on how
// long this waits, only on whether the message ever comes).
template <typename Match>
bool pump_until(Match match) {
  const double end = emscripten_get_now() + 5000;
  size_t seen = 0;
  while (emscripten_get_now() < end) {
    rt::drain();
    for (; seen < g_seen.size(); ++seen)
      if (match(g_seen[seen])) return true;
  }
  return false;
}

bool size_message(const Seen& s, WPARAM kind, int width, int height) {
  return s.message == WM_SIZE && s.wparam == kind && LOWORD(s.lparam) == width &&
         HIWORD(s.lparam) == height;
}

class WebBackend : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    rt::register_class("conformance", record, 0, BLACK_BRUSH);
    hwnd_ = rt::create_window("conformance");
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    UpdateWindow(hwnd_);
  }
  void SetUp() override {
    ASSERT_NE(hwnd_, nullptr);
    rt::drain();
    g_seen.clear();
  }
  static HWND hwnd_;
};
HWND WebBackend::hwnd_ = nullptr;

TEST_F(WebBackend, KeysComeFromThePhysicalKey) {
  struct Case {
    const char* code;
    WPARAM vk;
    WPARAM ch;  // 0: no WM_CHAR
  };
  const Case cases[] = {
      {"KeyA", 'A', 'A'},       {"KeyZ", 'Z', 'Z'},        {"Digit0", '0', '0'},
      {"Digit7", '7', '7'},     {"ArrowLeft", VK_LEFT, 0}, {"ArrowDown", VK_DOWN, 0},
      {"F1", VK_F1, 0},         {"F12", VK_F12, 0},        {"Escape", VK_ESCAPE, 0x1B},
      {"Space", VK_SPACE, ' '}, {"Enter", VK_RETURN, '\r'}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    g_seen.clear();
    page_key(c.code, true);
    EXPECT_TRUE(pump_until([&](const Seen& s) { return s.message == WM_KEYDOWN; }));
    page_key(c.code, false);
    rt::drain();
    std::vector<WPARAM> downs, chars;
    for (const Seen& s : g_seen) {
      if (s.message == WM_KEYDOWN) downs.push_back(s.wparam);
      if (s.message == WM_CHAR) chars.push_back(s.wparam);
    }
    EXPECT_EQ(downs, std::vector<WPARAM>{c.vk});
    EXPECT_EQ(chars, c.ch ? std::vector<WPARAM>{c.ch} : std::vector<WPARAM>{});
  }
}

TEST_F(WebBackend, SetWindowPosEndsAtThePagesSize) {
  const int w = page_width(), h = page_height();
  ASSERT_TRUE(SetWindowPos(hwnd_, nullptr, 0, 0, w + 37, h + 11, SWP_NOMOVE | SWP_NOZORDER));
  EXPECT_TRUE(pump_until([&](const Seen& s) { return size_message(s, SIZE_RESTORED, w, h); }));
  RECT r;
  GetClientRect(hwnd_, &r);
  EXPECT_EQ(r.right, w);
  EXPECT_EQ(r.bottom, h);
}

TEST_F(WebBackend, MinimisingIsAnsweredByTheShownPage) {
  const int w = page_width(), h = page_height();
  ShowWindow(hwnd_, SW_MINIMIZE);
  EXPECT_TRUE(pump_until([&](const Seen& s) { return size_message(s, SIZE_RESTORED, w, h); }));
  bool minimised = false;
  for (const Seen& s : g_seen) minimised |= s.message == WM_SIZE && s.wparam == SIZE_MINIMIZED;
  EXPECT_TRUE(minimised);  // first as asked, then as the page is
  ShowWindow(hwnd_, SW_RESTORE);
  rt::drain();
  RECT r;
  GetClientRect(hwnd_, &r);
  EXPECT_EQ(r.right, w);
  EXPECT_EQ(r.bottom, h);
}

TEST_F(WebBackend, ThePagesNewSizeIsTheClients) {
  const int w = page_width(), h = page_height();
  page_size(w / 2 + 1, h / 2 + 3);
  EXPECT_TRUE(pump_until(
      [&](const Seen& s) { return size_message(s, SIZE_RESTORED, w / 2 + 1, h / 2 + 3); }));
  rt::fill_client(hwnd_, WHITE_BRUSH);
  rt::drain();
  const std::vector<COLORREF> px = rt::read_client(hwnd_, w / 2 + 1, h / 2 + 3);
  ASSERT_EQ(px.size(), static_cast<size_t>((w / 2 + 1) * (h / 2 + 3)));
  EXPECT_EQ(px.back(), RGB(255, 255, 255));
  page_size(w, h);
  EXPECT_TRUE(pump_until([&](const Seen& s) { return size_message(s, SIZE_RESTORED, w, h); }));
}

}  // namespace
