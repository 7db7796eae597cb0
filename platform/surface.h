// A window's client pixels: where every pixel a program draws lands.
//
// One fixed reservation per window, for the window's whole life, large
// enough for kMaxSide x kMaxSide pixels (virtual memory; only the client
// area takes real memory).  Rows are packed at the client's width, so the
// picture is as compact as a plain array.  Because the reservation never
// moves, a device context needs neither a lock nor a reference to draw: any
// thread may store a pixel while the window thread resizes, presents,
// minimises or destroys.  A store racing a resize may use the old width or
// the new and land on a neighbouring pixel (one stray pixel, as a sample
// straddling a size change may set), but always inside the reservation.
// Pixels are 0x00RRGGBB, stored and loaded as relaxed atomics.
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

  // Reserves the memory; false when it cannot be had.
  bool reserve();
  // The client's size (window thread).  What lies outside it is cleared, so
  // a later enlargement starts from black.
  void resize(int width, int height);
  // Whether device contexts may draw (not while the window is minimised or
  // after it is destroyed).
  void set_drawable(bool drawable);
  // Gives the pixels' memory back; the reservation stays, so a device
  // context still held draws nothing visible and touches nothing foreign.
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
    __atomic_store_n(px_ + index(x, y), rgb, __ATOMIC_RELAXED);
    tile(x, y).store(1, std::memory_order_release);  // after the pixel
  }
  uint32_t get(int x, int y) const { return __atomic_load_n(px_ + index(x, y), __ATOMIC_RELAXED); }
  // The client's rows, packed at its width (for tools that draw themselves).
  uint32_t* pixels() { return px_; }
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
  // Any width the loads may see keeps the index inside the reservation.
  size_t index(int x, int y) const {
    return static_cast<size_t>(y) * static_cast<size_t>(stride_.load(std::memory_order_relaxed)) +
           static_cast<size_t>(x);
  }
  void move_rows(int old_w, int new_w, int rows);
  std::atomic<uint8_t>& tile(int x, int y) {
    // (x, y) is never negative: unsigned division is a shift.
    return tiles_[static_cast<unsigned>(y) / kTile * kTiles + static_cast<unsigned>(x) / kTile];
  }

  uint32_t* px_ = nullptr;
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
