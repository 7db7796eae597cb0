// The window system behind the layer.  Everything the Win32 side needs from
// a window system goes through this narrow interface of our own, so the
// queue, painting, device contexts and GDI objects never see a window
// system's type, and one backend can take another's place (CMake's
// RAINBOW_BACKEND picks one; backend_null.cpp has no window system at all).
//
// A backend provides every function below, and nothing else:
// - open, once, answering whether there is a display;
// - top-level windows of a client size, for their whole life: show, hide,
//   minimise, maximise, restore, size, position, title and icon;
// - a framebuffer of 0x00RRGGBB pixels per window, and present() to show
//   parts of it;
// - its events in Win32's terms (Event): keys as virtual-key and scan codes
//   (the layer's one key table is keys.h), window changes, the close box;
// - wait_event() that sleeps until an event or a wake() from any thread;
// - a modal message box with one OK button.
// What only tests need (injected events, native ids) is not part of it and
// not in any backend programs link: tests link a testing backend that wraps
// the real one (testing/backend_testing.cpp).
//
// Yielding: a backend whose host needs control back (a browser's event
// loop; backend_web.cpp, through Asyncify) yields to it only inside these
// calls, so programs' loops run as written:
// - poll_event(), at most once a frame (16 ms), however often it is called:
//   PeekMessageA in an idle loop then gives the host its turn once a frame,
//   and while its window cannot be seen (after kHidden) a turn that lasts
//   until the next event;
// - wait_event(), for the whole wait: GetMessageA's wait is the host's time;
// - message_box(), until the box is dismissed.
// Nothing else yields, so host events arrive only in poll_event().  In a
// browser a wake() from another thread ends a wait only when it times out.
//
// All calls are for the thread that opened the backend, except wake().
#ifndef RAINBOW_PLATFORM_BACKEND_H
#define RAINBOW_PLATFORM_BACKEND_H

#include <stdint.h>

#include <string>

namespace plat {
namespace backend {

typedef uint32_t WindowId;  // 0 is no window

// Opens the window system.  False, with a one-line reason, when there is
// no display (the SDL backend tries only real displays: no silent fallback
// to an offscreen driver unless SDL_VIDEODRIVER asks for one).  Later calls
// return the first answer.
bool open(std::string* reason);

// Windows.  Sizes are client sizes.  A window created with CW_USEDEFAULT
// gets the backend's default size (a page's canvas has the page's); false
// leaves the layer's own default.
bool default_window_size(int* width, int* height);
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
    kExposed,  // part of the window must be shown again (not saying which)
    kResized,  // a, b: the new client size
    kFocusGained,
    kFocusLost,
    kKey,     // a: virtual key, b: scan code (keys.h)
    kHidden,  // nobody can see the window (a hidden page): the program may rest
    kShown,   // seen again after kHidden, its picture as it was
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

}  // namespace backend
}  // namespace plat

#endif  // RAINBOW_PLATFORM_BACKEND_H
