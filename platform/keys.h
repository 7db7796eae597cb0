// The keyboard keys the layer knows, in one table: their names, Win32
// virtual-key codes and scan codes.  A backend maps its own key names onto
// these (SDL's are the same) and reports virtual-key and scan codes only.
#ifndef RAINBOW_PLATFORM_KEYS_H
#define RAINBOW_PLATFORM_KEYS_H

namespace plat {

// The virtual-key and scan code of a key by its name: "Escape", "Return",
// "Backspace", "Tab", "Space", "Left Alt", "Right Ctrl", "Right Shift",
// "Left", "Up", "Home", "PageUp", "Insert", "Delete", "Pause", "F1" to
// "F12", "A" to "Z", "0" to "9".  False when the layer has no such key.
bool key_by_name(const char* name, int* vk, int* scan);

}  // namespace plat

#endif  // RAINBOW_PLATFORM_KEYS_H
