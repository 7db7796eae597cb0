// The native questions of the web backend, built with it: its window system
// is the page.  Keys are the browser's KeyboardEvents by their physical key
// (KeyboardEvent.code), a resize is a new layout of the page (conformance.html's
// Module.testLayout), and the picture is the canvas's.
#include <emscripten.h>
#include <stdio.h>
#include <string.h>

#include "testing_backend.h"

// EM_ASM's JavaScript names its arguments $0, $1 and so on.
#pragma clang diagnostic ignored "-Wdollar-in-identifier-extension"

namespace plat {
namespace testing {

bool uses_renderer(uint32_t) {
  return false;
}

uint64_t native_window(uint32_t) {
  return 0;
}

namespace {

// KeyboardEvent.code of a key the layer's table names.
bool browser_code(const char* name, char* code, size_t size) {
  static const char* const renamed[][2] = {
      {"Return", "Enter"},         {"Left", "ArrowLeft"},        {"Right", "ArrowRight"},
      {"Up", "ArrowUp"},           {"Down", "ArrowDown"},        {"Left Alt", "AltLeft"},
      {"Right Alt", "AltRight"},   {"Left Ctrl", "ControlLeft"}, {"Right Ctrl", "ControlRight"},
      {"Left Shift", "ShiftLeft"}, {"Right Shift", "ShiftRight"}};
  for (const auto& r : renamed)
    if (strcmp(name, r[0]) == 0) return snprintf(code, size, "%s", r[1]) > 0;
  if (name[0] && !name[1])
    return snprintf(code, size, "%s%c", name[0] >= 'A' ? "Key" : "Digit", name[0]) > 0;
  return snprintf(code, size, "%s", name) < static_cast<int>(size);
}

}  // namespace

Sent send_key(uint32_t, const char* name, bool down, bool alt) {
  char code[32];
  if (!browser_code(name, code, sizeof code)) return Sent::kNever;
  EM_ASM(
      {
        window.dispatchEvent(new KeyboardEvent(
            $0 ? 'keydown' : 'keyup', {code : UTF8ToString($1), altKey : !!$2, bubbles : true}));
      },
      down, code, alt);
  return Sent::kSent;
}

// A page is laid out anew; it is never minimised, maximised or restored by
// its window system (platform/include/windows.h, 25a).
Sent send_window_event(uint32_t, int kind, int a, int b) {
  if (kind != backend::Event::kResized) return Sent::kNever;
  EM_ASM({ Module.testLayout($0, $1, true); }, a, b);
  return Sent::kSent;
}

const char* backend_name() {
  return "web";
}

void next_window_size(int width, int height) {
  EM_ASM({ Module.testLayout($0, $1, false); }, width, height);
}

bool read_screen(uint32_t, uint32_t* pixels, int width, int height) {
  return EM_ASM_INT(
      {
        var canvas = Module.canvas;
        if (canvas.width != $1 || canvas.height != $2) return 0;
        var rgba = canvas.getContext('2d').getImageData(0, 0, $1, $2).data;
        for (var i = 0; i < $1 * $2; ++i)
          HEAPU32[($0 >> 2) + i] = rgba[4 * i] << 16 | rgba[4 * i + 1] << 8 | rgba[4 * i + 2];
        return 1;
      },
      pixels, width, height);
}

}  // namespace testing
}  // namespace plat
