// The tests' extensions (rainbow_testing.h) over the layer's windows and the
// testing backend (testing_backend.h).
#include "internal.h"
#include "keys.h"
#include "rainbow_testing.h"
#include "testing_backend.h"

using namespace plat;

BOOL PlatformInjectKey(HWND hwnd, const char* key_name, BOOL down, BOOL alt) {
  Window* w = window_from_handle(hwnd);
  backend::Event e;
  if (!w || !key_name || !key_by_name(key_name, &e.a, &e.b)) return FALSE;
  e.kind = backend::Event::kKey;
  e.window = w->native;
  e.down = down != FALSE;
  e.alt = alt != FALSE;
  testing::inject(e);
  return TRUE;
}

BOOL PlatformInjectWindowEvent(HWND hwnd, PlatformWindowEvent event, int a, int b) {
  Window* w = window_from_handle(hwnd);
  if (!w) return FALSE;
  static const backend::Event::Kind kinds[] = {
      backend::Event::kClose,     backend::Event::kMinimized, backend::Event::kRestored,
      backend::Event::kExposed,   backend::Event::kResized,   backend::Event::kFocusGained,
      backend::Event::kFocusLost, backend::Event::kMaximized, backend::Event::kHidden,
      backend::Event::kShown};
  if (event < 0 || static_cast<size_t>(event) >= sizeof kinds / sizeof kinds[0]) return FALSE;
  backend::Event e;
  e.kind = kinds[event];
  e.window = w->native;
  e.a = a;
  e.b = b;
  testing::inject(e);
  return TRUE;
}

BOOL PlatformWindowUsesRenderer(HWND hwnd) {
  Window* w = window_from_handle(hwnd);
  return w && testing::uses_renderer(w->native);
}

unsigned long long PlatformNativeWindow(HWND hwnd) {
  Window* w = window_from_handle(hwnd);
  return w ? testing::native_window(w->native) : 0;
}

void PlatformSetMessageBoxSink(PlatformMessageBoxSink sink, void* context) {
  testing::set_message_box_sink(sink, context);
}
