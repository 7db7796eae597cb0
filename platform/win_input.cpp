// The window system's events as Win32 messages: keys are posted like Win32's
// input, window changes are sent as the system would send them.
#include <stdio.h>

#include "internal.h"

namespace plat {

namespace {

// Keys are posted as WM_SYSKEYDOWN / WM_SYSKEYUP while Alt is held, for Alt
// itself and for F10.  lParam carries the repeat count, scan code, context
// (Alt) bit, previous state and transition bits.
void post_key(Window* w, const backend::Event& e) {
  const WPARAM vk = static_cast<WPARAM>(e.a);
  const bool alt = e.alt || (vk == VK_MENU && e.down);
  const bool sys = alt || vk == VK_F10 || vk == VK_MENU;
  DWORD lp = 1u | (static_cast<DWORD>(e.b) & 0xFF) << 16;
  if (alt) lp |= 1u << 29;
  if (!e.down || e.repeat) lp |= 1u << 30;
  if (!e.down) lp |= 1u << 31;
  const UINT message = e.down ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP);
  post_message(w->handle, message, vk, static_cast<LPARAM>(lp));
}

}  // namespace

void handle_event(const backend::Event& e) {
  Window* w = window_from_native(e.window);
  if (!w) return;
  switch (e.kind) {
    case backend::Event::kKey:
      post_key(w, e);
      break;
    case backend::Event::kResized:
      if (!w->minimized && !window_resize(w, e.a, e.b))
        fprintf(stderr, "WM_SIZE: not enough memory for a %dx%d client area; it stays %dx%d\n", e.a,
                e.b, w->width, w->height);
      break;
    case backend::Event::kMinimized:
      window_minimize(w, true);
      break;
    case backend::Event::kMaximized:
      window_maximize(w);
      break;
    case backend::Event::kRestored:
      w->maximized = false;
      window_minimize(w, false);
      break;
    case backend::Event::kExposed:
      // Differs from Win32: the backend does not say which part was uncovered.
      window_invalidate(w, nullptr, true);
      w->surface.mark_all_dirty();  // the screen lost it; our copy did not
      break;
    case backend::Event::kFocusGained:
      SendMessageA(w->handle, WM_SETFOCUS, 0, 0);
      break;
    case backend::Event::kFocusLost:
      SendMessageA(w->handle, WM_KILLFOCUS, 0, 0);
      break;
    case backend::Event::kClose:  // the close box: the system menu's Close
      SendMessageA(w->handle, WM_SYSCOMMAND, SC_CLOSE, 0);
      break;
    case backend::Event::kHidden:
    case backend::Event::kShown:
      window_rest(w, e.kind == backend::Event::kHidden);
      break;
    case backend::Event::kNone:
      break;
  }
}

}  // namespace plat
