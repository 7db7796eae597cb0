// The tests' extensions (rainbow_testing.h) over the layer's windows and the
// testing backend (testing_backend.h).
#include <vector>

#include "internal.h"
#include "keys.h"
#include "rainbow_testing.h"
#include "testing_backend.h"

using namespace plat;

namespace {

// PlatformWindowEvent's in backend.h's terms.
const backend::Event::Kind kKinds[] = {backend::Event::kClose,     backend::Event::kMinimized,
                                       backend::Event::kRestored,  backend::Event::kExposed,
                                       backend::Event::kResized,   backend::Event::kFocusGained,
                                       backend::Event::kFocusLost, backend::Event::kMaximized,
                                       backend::Event::kHidden,    backend::Event::kShown};

}  // namespace

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
  if (event < 0 || static_cast<size_t>(event) >= sizeof kKinds / sizeof kKinds[0]) return FALSE;
  backend::Event e;
  e.kind = kKinds[event];
  e.window = w->native;
  e.a = a;
  e.b = b;
  testing::inject(e);
  return TRUE;
}

BOOL PlatformSendKey(HWND hwnd, const char* key_name, BOOL down, BOOL alt) {
  Window* w = window_from_handle(hwnd);
  int vk = 0, scan = 0;
  if (!w || !key_name || !key_by_name(key_name, &vk, &scan)) return FALSE;
  switch (testing::send_key(w->native, key_name, down != FALSE, alt != FALSE)) {
    case testing::Sent::kSent:
      return TRUE;
    case testing::Sent::kInjectInstead:
      return PlatformInjectKey(hwnd, key_name, down, alt);
    case testing::Sent::kNever:
      break;
  }
  return FALSE;
}

BOOL PlatformSendWindowEvent(HWND hwnd, PlatformWindowEvent event, int a, int b) {
  Window* w = window_from_handle(hwnd);
  if (!w || event < 0 || static_cast<size_t>(event) >= sizeof kKinds / sizeof kKinds[0])
    return FALSE;
  switch (testing::send_window_event(w->native, kKinds[event], a, b)) {
    case testing::Sent::kSent:
      return TRUE;
    case testing::Sent::kInjectInstead:
      return PlatformInjectWindowEvent(hwnd, event, a, b);
    case testing::Sent::kNever:
      break;
  }
  return FALSE;
}

const char* PlatformBackendName(void) {
  return testing::backend_name();
}

void PlatformNextWindowSize(int width, int height) {
  testing::next_window_size(width, height);
}

BOOL PlatformReadScreen(HWND hwnd, COLORREF* pixels, int width, int height) {
  Window* w = window_from_handle(hwnd);
  if (!w || !pixels || width <= 0 || height <= 0) return FALSE;
  std::vector<uint32_t> rgb(static_cast<size_t>(width) * static_cast<size_t>(height));
  if (!testing::read_screen(w->native, rgb.data(), width, height)) return FALSE;
  for (size_t i = 0; i < rgb.size(); ++i) pixels[i] = PlatformColorrefFromRgb(rgb[i]);
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
