// Client pixels (surface.h) and presenting them: the one place where a
// window's picture is shown on screen (present_window).
#include "surface.h"

#include <string.h>
#include <sys/mman.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "backend.h"
#include "internal.h"

namespace plat {

namespace {

const size_t kRowBytes = Surface::kMaxSide * sizeof(uint32_t);  // 64 KiB: whole pages
// About 60 Hz, but never more than a twentieth of the window thread's time:
// a large window whose picture changes everywhere is shown less often
// rather than starve the sampling (without a GPU the X server's copy counts).
const uint64_t kPresentIntervalMs = 16;
const uint64_t kLongestIntervalMs = 100;
const uint64_t kIntervalPerPresentTime = 20;

void* reserve_bytes(size_t n) {
  void* p =
      mmap(nullptr, n, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  return p == MAP_FAILED ? nullptr : p;
}

// Hands whole rows [first, last) back to the system; they read as 0 again.
void drop_rows(uint32_t* px, int first, int last) {
  if (last <= first) return;
  madvise(reinterpret_cast<char*>(px) + static_cast<size_t>(first) * kRowBytes,
          static_cast<size_t>(last - first) * kRowBytes, MADV_DONTNEED);
}

}  // namespace

void present_changes(Window* w);

bool Surface::reserve() {
  px_ = static_cast<uint32_t*>(reserve_bytes(kRowBytes * kMaxSide));
  tiles_ = static_cast<std::atomic<uint8_t>*>(
      reserve_bytes(static_cast<size_t>(kTiles) * kTiles * sizeof(std::atomic<uint8_t>)));
  return px_ && tiles_;
}

void Surface::resize(int width, int height) {
  width = std::min(std::max(width, 0), kMaxSide);
  height = std::min(std::max(height, 0), kMaxSide);
  const int old_w = this->width(), old_h = this->height();
  width_.store(width, std::memory_order_relaxed);
  height_.store(height, std::memory_order_relaxed);
  set_drawable(drawable_);
  // Clear what the client no longer covers: the columns right of it in the
  // rows it keeps, and the rows below it.
  if (width < old_w) fill(width, 0, old_w, std::min(height, old_h), 0);
  drop_rows(px_, height, old_h);
}

void Surface::set_drawable(bool drawable) {
  drawable_ = drawable;
  draw_width_.store(drawable ? width() : 0, std::memory_order_relaxed);
  draw_height_.store(drawable ? height() : 0, std::memory_order_relaxed);
}

void Surface::discard() {
  set_drawable(false);
  drop_rows(px_, 0, height());
}

void Surface::fill(int left, int top, int right, int bottom, uint32_t rgb) {
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x) set(x, y, rgb);
}

void Surface::mark_all_dirty() {
  const int cols = (width() + kTile - 1) / kTile, rows = (height() + kTile - 1) / kTile;
  for (int ty = 0; ty < rows; ++ty)
    for (int tx = 0; tx < cols; ++tx)
      tiles_[static_cast<size_t>(ty) * kTiles + static_cast<size_t>(tx)].store(
          1, std::memory_order_relaxed);
}

void Surface::copy_out(int x, int y, int w, int h, uint32_t* to, int pitch) const {
  for (int row = 0; row < h; ++row) {
    const uint32_t* from = px_ + index(x, y + row);
    uint32_t* dest = to + static_cast<size_t>(y + row) * static_cast<size_t>(pitch) + x;
    for (int i = 0; i < w; ++i) dest[i] = __atomic_load_n(from + i, __ATOMIC_RELAXED);
  }
}

std::atomic<uint64_t> g_present_ns{0};

void present_window(Window* w, uint64_t now) {
  if (!w->visible || w->minimized || !w->native) return;
  if (now - w->last_present_ms < w->present_interval_ms) return;
  const auto start = std::chrono::steady_clock::now();
  present_changes(w);
  const uint64_t ns = static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start)
          .count());
  g_present_ns.fetch_add(ns, std::memory_order_relaxed);
  w->last_present_ms = now;
  w->present_interval_ms = std::min(
      std::max(kIntervalPerPresentTime * ns / 1000000, kPresentIntervalMs), kLongestIntervalMs);
}

// Copies the tiles that changed since the last frame to the screen.
void present_changes(Window* w) {
  backend::Framebuffer fb;
  if (!backend::framebuffer(w->native, &fb)) return;
  if (fb.generation != w->framebuffer_generation) {  // a new framebuffer holds nothing yet
    w->framebuffer_generation = fb.generation;
    w->surface.mark_all_dirty();
  }
  static std::vector<backend::Rect> rects;  // window thread only
  rects.clear();
  w->surface.take_dirty([&](int x, int y, int cw, int ch) {
    cw = std::min(cw, fb.width - x);
    ch = std::min(ch, fb.height - y);
    if (cw <= 0 || ch <= 0) return;
    w->surface.copy_out(x, y, cw, ch, fb.pixels, fb.pitch);
    rects.push_back({x, y, cw, ch});
  });
  if (!rects.empty()) backend::present(w->native, rects.data(), static_cast<int>(rects.size()));
}

}  // namespace plat
