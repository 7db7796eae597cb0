// Helpers shared by the unit tests: windows of a test class, the message
// queue, the client pixels, and a measure of a picture of the bows.
#ifndef RAINBOW_TESTS_UNIT_SUPPORT_H
#define RAINBOW_TESTS_UNIT_SUPPORT_H

#include <windows.h>

#include <stdint.h>

#include <vector>

namespace rt {

// Registers `name` once per process (later calls keep the first procedure);
// a negative `stock_brush` gives the class no background brush.
void register_class(const char* name, WNDPROC proc, UINT style, int stock_brush);

// A hidden top-level window whose client area is width x height (0: the
// layer's default, 640 x 480; a page is laid out at that size first).
HWND create_window(const char* class_name, int width = 0, int height = 0);

// Whether the window system is a browser's page, which keeps its own size
// and state whatever the program asks (platform/include/windows.h, 25).
bool on_page();

// Whether the window system comes to show `colour` over exactly width x
// height.  It shows changes at its own pace, so this pumps until it does or
// 5 s pass: a verdict rests only on whether the picture ever comes.
bool screen_shows(HWND hwnd, int width, int height, COLORREF colour);

// Reads the window system, then removes and dispatches every message waiting
// (WM_QUIT included, never dispatched), at most `limit` of them.  Returns them.
std::vector<MSG> drain(int limit = 100);

// The client pixels, rows top to bottom; empty when the size does not match.
std::vector<COLORREF> read_client(HWND hwnd, int width, int height);

// Fills the whole client area through a window DC with a stock brush.
void fill_client(HWND hwnd, int stock_brush);

// Non-black pixels as (x, y, colour).
struct Lit {
  int x, y;
  COLORREF colour;
  bool operator==(const Lit& o) const { return x == o.x && y == o.y && colour == o.colour; }
};
std::vector<Lit> lit_pixels(const std::vector<COLORREF>& px, int width);

// FNV-1a, 64 bits, over each pixel's four bytes, least significant first.
uint64_t fnv1a(const std::vector<COLORREF>& px);

// Finds a generator state whose next draws are `first` and then `second`
// (any second draw when `second` is negative); false when none exists.
bool state_before(int first, int second, unsigned* state);

}  // namespace rt

#endif  // RAINBOW_TESTS_UNIT_SUPPORT_H
