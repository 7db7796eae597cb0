#include "support.h"

#include <rainbow_testing.h>
#include <string.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

namespace rt {

void register_class(const char* name, WNDPROC proc, UINT style, int stock_brush) {
  static std::vector<std::string> registered;
  for (const std::string& r : registered)
    if (r == name) return;
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.style = style;
  wc.lpfnWndProc = proc;
  wc.hbrBackground = stock_brush < 0 ? nullptr : static_cast<HBRUSH>(GetStockObject(stock_brush));
  wc.lpszClassName = name;
  if (RegisterClassExA(&wc)) registered.push_back(name);
}

bool on_page() {
  return strcmp(PlatformBackendName(), "web") == 0;
}

bool screen_shows(HWND hwnd, int width, int height, COLORREF colour) {
  std::vector<COLORREF> px(static_cast<size_t>(width) * static_cast<size_t>(height));
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < end) {
    drain();
    if (PlatformReadScreen(hwnd, px.data(), width, height) &&
        std::all_of(px.begin(), px.end(), [&](COLORREF c) { return c == colour; }))
      return true;
  }
  return false;
}

HWND create_window(const char* class_name, int width, int height) {
  PlatformNextWindowSize(width > 0 ? width : 640, height > 0 ? height : 480);
  return CreateWindowExA(0, class_name, "test", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                         width > 0 ? width : CW_USEDEFAULT, height > 0 ? height : CW_USEDEFAULT,
                         nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

std::vector<MSG> drain(int limit) {
  PlatformPump();
  std::vector<MSG> seen;
  MSG msg;
  while (static_cast<int>(seen.size()) < limit && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    seen.push_back(msg);
    if (msg.message == WM_QUIT) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return seen;
}

std::vector<COLORREF> read_client(HWND hwnd, int width, int height) {
  std::vector<COLORREF> px(static_cast<size_t>(width) * static_cast<size_t>(height));
  if (!PlatformReadClient(hwnd, px.data(), width, height)) px.clear();
  return px;
}

void fill_client(HWND hwnd, int stock_brush) {
  RECT all;
  GetClientRect(hwnd, &all);
  HDC dc = GetDC(hwnd);
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(stock_brush)));
  ReleaseDC(hwnd, dc);
}

std::vector<Lit> lit_pixels(const std::vector<COLORREF>& px, int width) {
  std::vector<Lit> lit;
  for (size_t i = 0; i < px.size(); ++i)
    if (px[i] != 0)
      lit.push_back({static_cast<int>(i % static_cast<size_t>(width)),
                     static_cast<int>(i / static_cast<size_t>(width)), px[i]});
  return lit;
}

uint64_t fnv1a(const std::vector<COLORREF>& px) {
  uint64_t h = 0xcbf29ce484222325ull;
  for (COLORREF c : px)
    for (int byte = 0; byte < 4; ++byte) {
      h ^= (c >> (8 * byte)) & 0xFF;
      h *= 0x100000001b3ull;
    }
  return h;
}

namespace {

const uint32_t kMul = 214013u, kAdd = 2531011u;

uint32_t draw(uint32_t s) {
  return (s >> 16) & 0x7FFF;
}

}  // namespace

bool state_before(int first, int second, unsigned* state) {
  // The multiplier is odd, so it has an inverse modulo 2^32 (Newton's step
  // doubles the correct low bits each time).
  uint32_t inverse = kMul;
  for (int i = 0; i < 5; ++i) inverse *= 2u - kMul * inverse;
  // The state after the first draw has the draw in bits 16-30; bit 31 and
  // the low 16 bits are free.
  for (uint32_t free_bits = 0; free_bits < (1u << 17); ++free_bits) {
    const uint32_t s1 =
        (static_cast<uint32_t>(first) << 16) | (free_bits & 0xFFFFu) | ((free_bits >> 16) << 31);
    if (second >= 0 && draw(s1 * kMul + kAdd) != static_cast<uint32_t>(second)) continue;
    *state = (s1 - kAdd) * inverse;
    return true;
  }
  return false;
}

}  // namespace rt
