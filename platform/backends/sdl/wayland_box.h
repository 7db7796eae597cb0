// The message box on Wayland, shown by zenity in a child of the program.
#ifndef RAINBOW_PLATFORM_BACKEND_WAYLAND_BOX_H
#define RAINBOW_PLATFORM_BACKEND_WAYLAND_BOX_H

namespace plat {
namespace backend {

// Runs `zenity --info` with the caption and the text, shown as they are (no
// markup), and returns once it ends: true when it was dismissed (OK, Escape
// or the close box), false at once when zenity is not on $PATH or cannot
// start, or when it failed: the caller then tells the user another way.
// The zenity process is killed when the calling thread ends, so it goes with
// the program however that ends.
bool wayland_message_box(const char* caption, const char* text);

}  // namespace backend
}  // namespace plat

#endif  // RAINBOW_PLATFORM_BACKEND_WAYLAND_BOX_H
