// The one key table (keys.h).  Letters and digits are their own virtual
// keys and carry no scan code; the rest carry the PC keyboard's set-1 codes.
#include "keys.h"

#include <stdlib.h>
#include <string.h>
#include <windows.h>

namespace plat {

namespace {

struct Key {
  const char* name;
  int vk, scan;
};
const Key kKeys[] = {
    {"Escape", VK_ESCAPE, 0x01},
    {"Return", VK_RETURN, 0x1C},
    {"Backspace", VK_BACK, 0x0E},
    {"Tab", VK_TAB, 0x0F},
    {"Space", VK_SPACE, 0x39},
    {"Left Alt", VK_MENU, 0x38},
    {"Right Alt", VK_MENU, 0x38},
    {"Left Ctrl", VK_CONTROL, 0x1D},
    {"Right Ctrl", VK_CONTROL, 0x1D},
    {"Left Shift", VK_SHIFT, 0x2A},
    {"Right Shift", VK_SHIFT, 0x36},
    {"Left", VK_LEFT, 0x4B},
    {"Right", VK_RIGHT, 0x4D},
    {"Up", VK_UP, 0x48},
    {"Down", VK_DOWN, 0x50},
    {"Home", VK_HOME, 0x47},
    {"End", VK_END, 0x4F},
    {"PageUp", VK_PRIOR, 0x49},
    {"PageDown", VK_NEXT, 0x51},
    {"Insert", VK_INSERT, 0x52},
    {"Delete", VK_DELETE, 0x53},
    {"Pause", VK_PAUSE, 0x45},
};

int function_key_scan(int n) {  // F1..F10 are contiguous, F11 and F12 came later
  return n >= 11 ? 0x57 + n - 11 : 0x3B + n - 1;
}

}  // namespace

bool key_by_name(const char* name, int* vk, int* scan) {
  if (!name) return false;
  for (const Key& k : kKeys)
    if (strcmp(name, k.name) == 0) {
      *vk = k.vk;
      *scan = k.scan;
      return true;
    }
  const char c = name[0];
  if (c != 0 && name[1] == 0 && ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) {
    *vk = c;
    *scan = 0;
    return true;
  }
  if (c == 'F' && name[1] >= '1' && name[1] <= '9' && strlen(name) <= 3) {
    char* end = nullptr;
    const long f = strtol(name + 1, &end, 10);
    if (*end == 0 && f >= 1 && f <= 12) {
      *vk = VK_F1 + static_cast<int>(f) - 1;
      *scan = function_key_scan(static_cast<int>(f));
      return true;
    }
  }
  return false;
}

}  // namespace plat
