// The message box on X11, drawn by the program's own process.
#ifndef RAINBOW_PLATFORM_BACKEND_X11_BOX_H
#define RAINBOW_PLATFORM_BACKEND_X11_BOX_H

namespace plat {
namespace backend {

// A modal box with the caption, the text and one OK button, on a connection
// of its own to the X display named by $DISPLAY.  Returns once the box is
// dismissed (OK, Return, Space, Escape, or the window manager's close), or
// false at once when no box could be made, or when no window manager showed
// it within a few seconds: the caller then tells the user another way.
bool x11_message_box(const char* caption, const char* text);

}  // namespace backend
}  // namespace plat

#endif  // RAINBOW_PLATFORM_BACKEND_X11_BOX_H
