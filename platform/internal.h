// State shared by the layer's modules.  Not for programs: they see only
// <windows.h> and <rainbow_platform.h>.  No SDL type appears here: the window
// system is reached through backend.h alone.
#ifndef RAINBOW_PLATFORM_INTERNAL_H
#define RAINBOW_PLATFORM_INTERNAL_H

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "backend.h"
#include "handles.h"
#include "surface.h"

namespace plat {

struct Dib;

struct WindowClass {
  std::string name;
  UINT style = 0;
  WNDPROC proc = nullptr;
  HBRUSH background = nullptr;
  HICON icon = nullptr;
};

// A window.  Slots are never reused, so a stale HWND stays invalid; the
// window thread owns every field but those marked otherwise.
struct Window {
  HWND handle = nullptr;
  std::thread::id owner;               // the thread that created it
  std::atomic<bool> destroyed{false};  // read by any thread's device contexts
  std::atomic<bool> resting{false};    // unseen, so other threads' GetDC waits (win_gdi.cpp)
  WindowClass cls;
  backend::WindowId native = 0;
  int width = 0, height = 0;  // client size, kept while minimised
  bool visible = false, minimized = false, maximized = false, size_sent = false;
  Surface surface;  // any thread draws here through a device context
  // The update region; any thread may add to it (InvalidateRect).
  std::mutex update_lock;
  bool has_update = false, erase = false;
  RECT update = {0, 0, 0, 0};
  uint64_t last_present_ms = 0;
  uint64_t present_interval_ms = 16;
  uint32_t framebuffer_generation = 0;
};

// A device context.  It belongs to the thread that took it, as in Win32; the
// flags are atomic because any thread may test a handle it was given.
struct Dc {
  std::atomic<uint32_t> generation{0};
  std::atomic<bool> in_use{false};
  std::atomic<bool> owned{false};  // a thread's own slot, taken without a lock
  Window* window = nullptr;
  bool paint = false;        // from BeginPaint
  RECT clip = {0, 0, 0, 0};  // paint DCs: the update rectangle; window DCs: unbounded
  int stretch_mode = 1;      // BLACKONWHITE
};

// win_window.cpp
Window* window_from_handle(
    HWND hwnd);  // the live window, or null (sets ERROR_INVALID_WINDOW_HANDLE)
Window* window_from_native(backend::WindowId id);
int window_count();
Window* window_at(int i);  // null when destroyed
// Sends WM_SIZE and invalidates as the class asks; false (ERROR_NOT_ENOUGH_MEMORY), the
// window unchanged, when the larger client's pixels cannot be had.
bool window_resize(Window* w, int cx, int cy);
void window_minimize(Window* w, bool minimized);
void window_maximize(Window* w);
void window_invalidate(Window* w, const RECT* r, bool erase);  // any thread
bool window_take_update(Window* w, RECT* area, bool* erase);   // validates; false when none
bool window_needs_paint(Window* w);
extern std::atomic<int> g_windows_needing_paint;

// win_queue.cpp: where a message is made and queued.
void post_message(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, bool next = false);
void pump();  // reads the window system and presents (window thread)
uint64_t now_ms();

// win_input.cpp: the window system's events as Win32 messages.
void handle_event(const backend::Event& e);

// surface.cpp
void present_window(Window* w, uint64_t now);  // at most once a frame
extern std::atomic<uint64_t> g_present_ns;     // time spent presenting, for the benchmarks

// win_gdi.cpp
Dc* dc_acquire(Window* w, const RECT* clip);  // null when the pool is exhausted
void dc_release(Dc* dc);
Dc* dc_from_handle(HDC hdc);  // sets ERROR_INVALID_HANDLE when not a DC in use
HDC dc_handle(const Dc* dc);
bool brush_color(HBRUSH brush, COLORREF* color, bool* hollow);  // false: not a brush
HBITMAP bitmap_add(std::shared_ptr<Dib> dib);                   // null: table full
std::shared_ptr<const Dib> bitmap_from_handle(HBITMAP bitmap);  // null: not a bitmap
// A window nobody can see rests (kHidden): GetDC on a thread other than its
// own waits until it is seen again (kShown), up to kRestMs at a time.
void window_rest(Window* w, bool resting);

// win_file.cpp: the whole of a regular file of at most `limit` bytes; false
// with the Win32 error set.
bool read_whole_file(const char* name, size_t limit, std::vector<uint8_t>* bytes);

// win_picture.cpp
void window_set_icon(Window* w, HICON icon);

// win_kernel.cpp: threads and files share one table of kernel handles.
struct KernelObject {
  virtual ~KernelObject() = default;
};
HANDLE kernel_add(std::shared_ptr<KernelObject> object);  // null: table full
std::shared_ptr<KernelObject> kernel_object(HANDLE h);    // null: not a live handle
void fail(DWORD error);                                   // SetLastError, nothing printed
// The one way the layer complains: one line on stderr, "CALL: WHY", and the
// calling thread's last error set to `code`.  Failures Win32 itself reports
// (a bad handle, a missing file) only set Win32's code with fail(); what the
// layer adds is reported here, each with one code:
//   ERROR_NOT_SUPPORTED      a call or argument the layer leaves out
//   ERROR_NOT_ENOUGH_MEMORY  a limit of the layer's own is reached (256
//                            windows a process, 64 device contexts at once),
//                            or the window system could not make a window
//   ERROR_NOT_READY          there is no display to show a window on
//   ERROR_INVALID_DATA       a picture resource the build embedded is broken
void report(const char* call, DWORD code, const char* why);

// win_host.cpp: what the kernel asks of the host, alone in its file so that
// tests link their own in its place (testing/kernel_faults.cpp).
void debug_output(const char* text);  // OutputDebugStringA's line, to stderr
// Runs `body` on a new detached thread: 0, or the Win32 error.
DWORD start_thread(std::function<void()> body);
inline void unsupported(const char* call, const char* why) {
  report(call, ERROR_NOT_SUPPORTED, why);
}

}  // namespace plat

#endif  // RAINBOW_PLATFORM_INTERNAL_H
