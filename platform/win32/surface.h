// A window's client pixels: where every pixel a program draws lands.
//
// The pixels live in a block of memory that holds at least the client area
// (rows packed at the client's width, so the picture is as compact as a
// plain array).  A block is never given back to the allocator while the
// program runs: when the client outgrows it, a larger one (twice the size
// at least) takes its place and the old one only returns its pages to the
// system.  So a device context needs neither a lock nor a reference to
// draw: any thread may store a pixel while the window thread resizes,
// presents, minimises or destroys.  Each store checks its index against the
// block's size, so a store racing a resize, which may use the old width or
// the new, lands on a neighbouring pixel, in the old block, or nowhere (one
// stray or lost pixel, as a sample straddling a size change may set), but
// always inside memory of this surface.  Pixels are 0x00RRGGBB, stored and
// loaded as relaxed atomics.
//
// Each 32 x 32 tile has a dirty flag, set after its pixels change (release)
// and taken by the presenter (acquire), so presenting copies only what
// changed since the last frame.
#ifndef RAINBOW_PLATFORM_SURFACE_H
#define RAINBOW_PLATFORM_SURFACE_H

#include <stddef.h>
#include <stdint.h>

#include <atomic>

namespace plat {

class Surface {
 public:
  static constexpr int kMaxSide = 16384;  // larger client areas are cut to this
  static constexpr int kTile = 32;
  static constexpr int kTiles = kMaxSide / kTile;

  Surface() = default;
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  // Gets the memory for a width x height client; false when it cannot be
  // had.
  bool reserve(int width, int height);
  // The client's size (window thread).  What lies outside it is cleared, so
  // a later enlargement starts from black.  False, with nothing changed,
  // when a larger client's memory cannot be had.
  bool resize(int width, int height);
  // Whether device contexts may draw (not while the window is minimised or
  // after it is destroyed).
  void set_drawable(bool drawable);
  // Gives the pixels' pages back to the system; the blocks stay, so a
  // device context still held draws nothing visible and touches nothing
  // foreign.
  void discard();

  int width() const { return width_.load(std::memory_order_relaxed); }
  int height() const { return height_.load(std::memory_order_relaxed); }
  // The drawable area: the client size, or 0 x 0 while not drawable.
  int draw_width() const { return draw_width_.load(std::memory_order_relaxed); }
  int draw_height() const { return draw_height_.load(std::memory_order_relaxed); }

  // (x, y) must lie inside kMaxSide x kMaxSide.  The store does not look
  // at the pixel first: waiting for it would cost the sampler more than the
  // presenter saves.
  void set(int x, int y, uint32_t rgb) {
    const size_t i = index(x, y);
    // The size first: a block published with it is at least this large.
    if (i >= capacity_.load(std::memory_order_acquire)) return;
    __atomic_store_n(px_.load(std::memory_order_acquire) + i, rgb, __ATOMIC_RELAXED);
    tile(x, y).store(1, std::memory_order_release);  // after the pixel
  }
  uint32_t get(int x, int y) const {
    const size_t i = index(x, y);
    if (i >= capacity_.load(std::memory_order_acquire)) return 0;
    return __atomic_load_n(px_.load(std::memory_order_acquire) + i, __ATOMIC_RELAXED);
  }
  // The client's rows, packed at its width (for tools that draw themselves).
  uint32_t* pixels() { return px_.load(std::memory_order_acquire); }
  // Fills the rectangle [left, right) x [top, bottom), already clipped.
  void fill(int left, int top, int right, int bottom, uint32_t rgb);

  // Presenting (window thread): marks every tile changed, or takes the
  // changed tiles of the client area as rectangles, and copies a rectangle
  // out to `to`, whose rows are `pitch` pixels apart.
  void mark_all_dirty();
  void copy_out(int x, int y, int w, int h, uint32_t* to, int pitch) const;
  template <typename Visit>
  void take_dirty(Visit visit);

 private:
  size_t index(int x, int y) const {
    return static_cast<size_t>(y) * static_cast<size_t>(stride_.load(std::memory_order_relaxed)) +
           static_cast<size_t>(x);
  }
  bool grow(size_t pixels, int old_w, int new_w, int rows);
  void move_rows(const uint32_t* src, uint32_t* dst, int old_w, int new_w, int rows);
  std::atomic<uint8_t>& tile(int x, int y) {
    // (x, y) is never negative: unsigned division is a shift.
    return tiles_[static_cast<unsigned>(y) / kTile * kTiles + static_cast<unsigned>(x) / kTile];
  }

  // The current block and how many pixels it holds.  Blocks only grow:
  // px_ is published before capacity_, so a store that reads a capacity
  // reads a block at least that large.
  std::atomic<uint32_t*> px_{nullptr};
  std::atomic<size_t> capacity_{0};
  struct Block {
    uint32_t* px;
    size_t pixels;
  };
  Block retired_[40] = {};  // earlier blocks, which racing stores may still reach
  int retired_count_ = 0;
  std::atomic<uint8_t>* tiles_ = nullptr;
  std::atomic<int> width_{0}, height_{0};
  std::atomic<int> stride_{0};  // pixels from one row to the next: the width
  std::atomic<int> draw_width_{0}, draw_height_{0};
  bool drawable_ = true;
};

// Calls visit(x, y, w, h) for each run of changed tiles along a tile row,
// cut to the client area, clearing their flags (acquire: the pixels copied
// afterwards are at least as new as the flags).
template <typename Visit>
void Surface::take_dirty(Visit visit) {
  const int w = width(), h = height();
  const int cols = (w + kTile - 1) / kTile, rows = (h + kTile - 1) / kTile;
  for (int ty = 0; ty < rows; ++ty) {
    std::atomic<uint8_t>* row = tiles_ + static_cast<size_t>(ty) * kTiles;
    int start = -1;
    for (int tx = 0; tx <= cols; ++tx) {
      const bool dirty = tx < cols && row[tx].load(std::memory_order_relaxed) != 0 &&
                         row[tx].exchange(0, std::memory_order_acquire) != 0;
      if (dirty && start < 0) start = tx;
      if (!dirty && start >= 0) {
        const int x = start * kTile, y = ty * kTile;
        const int right = tx * kTile < w ? tx * kTile : w;
        const int bottom = y + kTile < h ? y + kTile : h;
        visit(x, y, right - x, bottom - y);
        start = -1;
      }
    }
  }
}

}  // namespace plat

#endif  // RAINBOW_PLATFORM_SURFACE_H
