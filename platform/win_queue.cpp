// Messages: the queue, and where every posted message is made (post_message).
//
// Supported: PeekMessageA, GetMessageA, TranslateMessage, DispatchMessageA,
// SendMessageA, PostMessageA, PostQuitMessage.  Retrieval order is Win32's:
// posted messages (keys included), then WM_QUIT, then WM_PAINT for a visible
// window with an update region.  PostMessageA, PostQuitMessage and
// InvalidateRect may be called from any thread and wake a waiting
// GetMessageA.
#include <chrono>
#include <deque>

#include "internal.h"

namespace plat {

namespace {

const uint64_t kPumpIntervalMs = 1;  // how often an idle loop asks the window system
const int kWaitMs = 16;              // a waiting GetMessageA still presents at about 60 Hz
const int kPeeksPerClockCheck = 32;  // reading the clock on every peek would cost a sample

struct QueueState {
  std::mutex lock;  // guards posted, quit and quit_code
  std::deque<MSG> posted;
  bool quit = false;
  int quit_code = 0;
  std::atomic<int> waiting{0};  // posted messages plus a pending quit, read without the lock
  int peek_countdown = 0;       // window thread only
  uint64_t last_pump_ms = 0;
};
QueueState g_q;

// Takes the next message in Win32's order; false when there is none.
bool take(MSG* msg, bool remove) {
  if (g_q.waiting.load(std::memory_order_acquire) > 0) {
    std::lock_guard<std::mutex> hold(g_q.lock);
    if (!g_q.posted.empty()) {
      *msg = g_q.posted.front();
      if (remove) {
        g_q.posted.pop_front();
        g_q.waiting.fetch_sub(1);
      }
      return true;
    }
    if (g_q.quit) {
      *msg = {nullptr, WM_QUIT, static_cast<WPARAM>(g_q.quit_code), 0, static_cast<DWORD>(now_ms()),
              {0, 0}};
      if (remove) {
        g_q.quit = false;
        g_q.waiting.fetch_sub(1);
      }
      return true;
    }
  }
  if (g_windows_needing_paint.load(std::memory_order_acquire) > 0) {
    for (int i = 0; i < window_count(); ++i) {
      Window* w = window_at(i);
      if (w && window_needs_paint(w)) {
        *msg = {w->handle, WM_PAINT, 0, 0, static_cast<DWORD>(now_ms()), {0, 0}};
        return true;  // stays until BeginPaint validates, as in Win32
      }
    }
  }
  return false;
}

bool filters_supported(const char* call, HWND hwnd, UINT first, UINT last) {
  if (!hwnd && first == 0 && last == 0) return true;
  unsupported(call, "window and message filters are not supported");
  return false;
}

}  // namespace

void post_message(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, bool next) {
  const MSG m = {hwnd, message, wparam, lparam, static_cast<DWORD>(now_ms()), {0, 0}};
  {
    std::lock_guard<std::mutex> hold(g_q.lock);
    if (next)
      g_q.posted.push_front(m);
    else
      g_q.posted.push_back(m);
    g_q.waiting.fetch_add(1);
  }
  backend::wake();
}

uint64_t now_ms() {
  using namespace std::chrono;
  return static_cast<uint64_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// Asks the window system for news and shows what changed.  Window thread only.
void pump() {
  const uint64_t now = now_ms();
  g_q.last_pump_ms = now;
  if (!backend::open(nullptr)) return;
  backend::Event e;
  while (backend::poll_event(&e)) handle_event(e);
  for (int i = 0; i < window_count(); ++i)
    if (Window* w = window_at(i)) present_window(w, now);
}

}  // namespace plat

using namespace plat;

BOOL WINAPI PeekMessageA(LPMSG msg, HWND hwnd, UINT first, UINT last, UINT remove) {
  if (!msg || !filters_supported("PeekMessageA", hwnd, first, last)) return FALSE;
  if (--g_q.peek_countdown <= 0) {
    g_q.peek_countdown = kPeeksPerClockCheck;
    if (now_ms() - g_q.last_pump_ms >= kPumpIntervalMs) pump();
  }
  return take(msg, (remove & PM_REMOVE) != 0) ? TRUE : FALSE;
}

BOOL WINAPI GetMessageA(LPMSG msg, HWND hwnd, UINT first, UINT last) {
  if (!msg || !filters_supported("GetMessageA", hwnd, first, last)) return -1;
  for (;;) {
    pump();
    if (take(msg, true)) return msg->message == WM_QUIT ? FALSE : TRUE;
    // Sleep in the window system until an event or a wake, or until it is
    // time to show what a worker thread drew meanwhile.
    backend::wait_event(kWaitMs);
  }
}

// Nonzero for every key message, whether or not it makes a character, as
// Win32 answers.
BOOL WINAPI TranslateMessage(const MSG* msg) {
  if (!msg) return FALSE;
  const UINT m = msg->message;
  if (m == WM_KEYUP || m == WM_SYSKEYUP) return TRUE;
  if (m != WM_KEYDOWN && m != WM_SYSKEYDOWN) return FALSE;
  const WPARAM vk = msg->wParam;
  const bool fixed = vk == VK_ESCAPE || vk == VK_RETURN || vk == VK_BACK || vk == VK_TAB ||
                     vk == VK_SPACE || (vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z');
  // The character comes next, before any key-up already queued, as in Win32.
  if (fixed) post_message(msg->hwnd, m == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR, vk, msg->lParam, true);
  return TRUE;
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
  if (!msg || !msg->hwnd) return 0;
  Window* w = window_from_handle(msg->hwnd);
  if (!w) return 0;
  return w->cls.proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT WINAPI SendMessageA(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  Window* w = window_from_handle(hwnd);
  if (!w) return 0;
  return w->cls.proc(hwnd, message, wparam, lparam);
}

BOOL WINAPI PostMessageA(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (hwnd && !window_from_handle(hwnd)) return FALSE;
  post_message(hwnd, message, wparam, lparam);
  return TRUE;
}

void WINAPI PostQuitMessage(int exit_code) {
  {
    std::lock_guard<std::mutex> hold(g_q.lock);
    if (!g_q.quit) g_q.waiting.fetch_add(1);
    g_q.quit = true;
    g_q.quit_code = exit_code;
  }
  backend::wake();
}
