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

[[maybe_unused]] const size_t kPage = 4096;  // used where pages can be given back
const size_t kMaxPixels = static_cast<size_t>(Surface::kMaxSide) * Surface::kMaxSide;
// About 60 Hz, but never more than a twentieth of the window thread's time:
// a large window whose picture changes everywhere is shown less often
// rather than starve the sampling (without a GPU the X server's copy counts).
const uint64_t kPresentIntervalMs = 16;
const uint64_t kLongestIntervalMs = 100;
const uint64_t kIntervalPerPresentTime = 20;

// The one place the surface takes memory from the system: `n` zeroed bytes,
// page-aligned, or null when they cannot be had.  It is never unmapped
// while the program runs (a racing store may still reach it); its pages go
// back through give_back().
void* take_memory(size_t n) {
  void* p = mmap(nullptr, n, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) return nullptr;
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  // Large pages where the system offers them: a big client then needs a
  // handful of TLB entries instead of thousands.
  if (n >= (2u << 20)) madvise(p, n, MADV_HUGEPAGE);
#endif
  return p;
}

// Clears pixels [first, last).  Where the system can take whole pages back
// and hand them out again as zeros, it does; elsewhere they are cleared in
// place.
void give_back(uint32_t* px, size_t first, size_t last) {
  if (last <= first) return;
  size_t from = last, to = last;
#if defined(__linux__)
  const size_t per_page = kPage / sizeof(uint32_t);
  from = std::min(last, (first + per_page - 1) / per_page * per_page);
  to = std::max(from, last / per_page * per_page);
  if (to > from) madvise(px + from, (to - from) * sizeof(uint32_t), MADV_DONTNEED);
#endif
  for (size_t i = first; i < from; ++i) __atomic_store_n(px + i, 0u, __ATOMIC_RELAXED);
  for (size_t i = to; i < last; ++i) __atomic_store_n(px + i, 0u, __ATOMIC_RELAXED);
}

size_t pixels_of(int width, int height) {
  return static_cast<size_t>(std::max(width, 1)) * static_cast<size_t>(height);
}

}  // namespace

bool Surface::reserve(int width, int height) {
  width = std::min(std::max(width, 0), kMaxSide);
  height = std::min(std::max(height, 0), kMaxSide);
  if (!tiles_)
    tiles_ = static_cast<std::atomic<uint8_t>*>(
        take_memory(static_cast<size_t>(kTiles) * kTiles * sizeof(std::atomic<uint8_t>)));
  return tiles_ && grow(pixels_of(width, height), 0, 0, 0);
}

// Puts a block of at least `pixels` in the current one's place, with the
// current one's first `rows` rows moved from old_w to new_w pixels apart.
bool Surface::grow(size_t pixels, int old_w, int new_w, int rows) {
  const size_t had = capacity_.load(std::memory_order_relaxed);
  const size_t n = std::max<size_t>(std::min(std::max(pixels, 2 * had), kMaxPixels), pixels);
  if (retired_count_ == static_cast<int>(sizeof retired_ / sizeof retired_[0])) return false;
  auto* px = static_cast<uint32_t*>(take_memory(std::max<size_t>(n, 1) * sizeof(uint32_t)));
  if (!px) return false;
  uint32_t* old = px_.load(std::memory_order_relaxed);
  if (old) {
    move_rows(old, px, old_w, new_w, rows);
    retired_[retired_count_++] = {old, had};
  }
  px_.store(px, std::memory_order_release);
  capacity_.store(n, std::memory_order_release);
  if (old) give_back(old, 0, had);
  return true;
}

bool Surface::resize(int width, int height) {
  width = std::min(std::max(width, 0), kMaxSide);
  height = std::min(std::max(height, 0), kMaxSide);
  const int old_w = this->width(), old_h = this->height();
  const int rows = std::min(height, old_h);
  // Drawing stops at the smaller area while the rows move to the new width.
  draw_width_.store(drawable_ ? std::min(width, old_w) : 0, std::memory_order_relaxed);
  draw_height_.store(drawable_ ? rows : 0, std::memory_order_relaxed);
  if (pixels_of(width, height) > capacity_.load(std::memory_order_relaxed)) {
    if (!grow(pixels_of(width, height), old_w, width, rows)) {
      set_drawable(drawable_);  // as it was
      return false;
    }
  } else {
    uint32_t* px = px_.load(std::memory_order_relaxed);
    if (width != old_w) move_rows(px, px, old_w, width, rows);
    // Past the kept rows, what the client gave up and what the rows left
    // behind when they moved read black, now and when it grows again.
    give_back(px, pixels_of(width, rows),
              std::max(pixels_of(old_w, old_h), pixels_of(width, height)));
  }
  stride_.store(std::max(width, 1), std::memory_order_relaxed);
  width_.store(width, std::memory_order_relaxed);
  height_.store(height, std::memory_order_relaxed);
  set_drawable(drawable_);
  return true;
}

// Re-packs the kept rows from old_w to new_w pixels apart, from block `src`
// into block `dst` (the same block, or a fresh one that reads zero), keeping
// what fits (as a window's bits survive a resize until repainted).  In place
// the columns a wider row gains are cleared, and wider rows move last row
// first, narrower ones first row first, so no row is overwritten before it
// has moved.
void Surface::move_rows(const uint32_t* src, uint32_t* dst, int old_w, int new_w, int rows) {
  const int keep = std::min(old_w, new_w);
  const int clear_to = src == dst ? new_w : keep;
  auto move = [&](int y) {
    const uint32_t* from = src + static_cast<size_t>(y) * static_cast<size_t>(std::max(old_w, 1));
    uint32_t* to = dst + static_cast<size_t>(y) * static_cast<size_t>(std::max(new_w, 1));
    for (int x = 0; x < keep; ++x)
      __atomic_store_n(to + x, __atomic_load_n(from + x, __ATOMIC_RELAXED), __ATOMIC_RELAXED);
    for (int x = keep; x < clear_to; ++x) __atomic_store_n(to + x, 0u, __ATOMIC_RELAXED);
  };
  if (new_w > old_w)
    for (int y = rows - 1; y >= 0; --y) move(y);
  else
    for (int y = 0; y < rows; ++y) move(y);
}

void Surface::set_drawable(bool drawable) {
  drawable_ = drawable;
  draw_width_.store(drawable ? width() : 0, std::memory_order_relaxed);
  draw_height_.store(drawable ? height() : 0, std::memory_order_relaxed);
}

void Surface::discard() {
  set_drawable(false);
  give_back(px_.load(std::memory_order_relaxed), 0, pixels_of(width(), height()));
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
    const uint32_t* from = px_.load(std::memory_order_relaxed) + index(x, y + row);
    uint32_t* dest = to + static_cast<size_t>(y + row) * static_cast<size_t>(pitch) + x;
    for (int i = 0; i < w; ++i) dest[i] = __atomic_load_n(from + i, __ATOMIC_RELAXED);
  }
}

std::atomic<uint64_t> g_present_ns{0};

namespace {

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

}  // namespace

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

}  // namespace plat
