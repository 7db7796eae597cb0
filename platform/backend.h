// The window system behind the layer: the one module that talks to SDL (and,
// through it, to X11 or Wayland).  Everything the Win32 side needs from a
// window system goes through this narrow interface of our own, so the queue,
// painting, device contexts and GDI objects never see an SDL type, and
// another backend could take this one's place.
//
// All calls are for the thread that opened the backend, except wake().
#ifndef RAINBOW_PLATFORM_BACKEND_H
#define RAINBOW_PLATFORM_BACKEND_H

#include <stdint.h>

#include <string>

namespace plat {
namespace backend {

typedef uint32_t WindowId;  // 0 is no window

// Opens the window system.  With SDL_VIDEODRIVER unset only a real display
// is tried (X11, then Wayland): no silent fallback to an offscreen driver.
// False, with a one-line reason, when there is no display.  Later calls
// return the first answer.
bool open(std::string* reason);

// Windows.  Sizes are client sizes.
WindowId create_window(const char* title, int width, int height, bool resizable,
                       std::string* reason);
void destroy_window(WindowId id);
void show_window(WindowId id);
void hide_window(WindowId id);
void minimize_window(WindowId id);
void maximize_window(WindowId id);
void restore_window(WindowId id);
void set_window_size(WindowId id, int width, int height);
void set_window_position(WindowId id, int x, int y);
void set_window_icon(WindowId id, const uint32_t* argb, int width, int height);

// Presenting.  The framebuffer is the window's picture on screen, 0x00RRGGBB
// pixels of its current size; `generation` changes whenever it was made anew
// (after a resize), when its old contents are gone.
struct Framebuffer {
  uint32_t* pixels = nullptr;
  int pitch = 0;  // pixels from one row to the next
  int width = 0, height = 0;
  uint32_t generation = 0;
};
bool framebuffer(WindowId id, Framebuffer* fb);
struct Rect {
  int x, y, w, h;
};
// Shows the given parts of the framebuffer.
void present(WindowId id, const Rect* rects, int count);

// Events of the window system, already in Win32's terms.  A window
// destroyed by another program, or a display that goes away, ends the
// program here with a one-line reason and exit code 1: nothing could be
// drawn or closed any more.
struct Event {
  enum Kind {
    kNone,
    kClose,  // the close box
    kMinimized,
    kMaximized,
    kRestored,
    kExposed,  // part of the window must be shown again (SDL says not which)
    kResized,  // a, b: the new client size
    kFocusGained,
    kFocusLost,
    kKey,  // a: virtual key, b: scan code
  };
  Kind kind = kNone;
  WindowId window = 0;
  int a = 0, b = 0;
  bool down = false, repeat = false, alt = false;  // kKey
};
bool poll_event(Event* e);
// Waits up to `ms` for an event or a wake().
void wait_event(int ms);
// Ends a wait_event on the backend's thread; any thread may call it.
void wake();

// A modal message box with one OK button; returns once it is dismissed.
// False when it could not be shown.
bool message_box(const char* caption, const char* text);

// For tests and tools: whether the window's framebuffer goes through a GPU
// renderer (it never should), and the native window's id (an X window).
bool uses_renderer(WindowId id);
uint64_t native_id(WindowId id);

// For tests: feeds events through the same translation as real ones.  A key
// by its name ("Escape", "F4", "A", "Left Alt").
bool inject_key(WindowId id, const char* name, bool down, bool alt);
bool inject(const Event& e);

}  // namespace backend
}  // namespace plat

#endif  // RAINBOW_PLATFORM_BACKEND_H
