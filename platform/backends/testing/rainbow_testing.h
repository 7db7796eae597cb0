// What tests reach beyond the Win32 subset and its extensions
// (rainbow_platform.h): events fed in as if the window system had sent them,
// questions about the native window, and faults.  Only test programs link
// it, through a testing backend (rainbow_backend_testing_<name>, which wraps
// the real one) and the kernel's test build (kernel_faults.cpp): a program
// built for users carries none of it.
#ifndef RAINBOW_PLATFORM_TESTING_H
#define RAINBOW_PLATFORM_TESTING_H

#include <rainbow_platform.h>

#ifdef __cplusplus
extern "C" {
#endif

// Feeds the window system's own events through the same translation as real
// ones, ahead of them: a key by its name in the layer's key table ("Escape",
// "F4", "A", "Left Alt") going down or up with Alt held or not, and window
// events.  Any thread may call these.
BOOL PlatformInjectKey(HWND hwnd, const char* key_name, BOOL down, BOOL alt);
enum PlatformWindowEvent {
  PLATFORM_CLOSE_BOX,
  PLATFORM_MINIMIZED,
  PLATFORM_RESTORED,
  PLATFORM_EXPOSED,
  PLATFORM_RESIZED,  // a, b: the new client size
  PLATFORM_FOCUS_GAINED,
  PLATFORM_FOCUS_LOST,
  PLATFORM_MAXIMIZED,
  PLATFORM_HIDDEN,  // the page behind another, or the window covered
  PLATFORM_SHOWN,
};
BOOL PlatformInjectWindowEvent(HWND hwnd, enum PlatformWindowEvent event, int a, int b);

// The window system's own events, made as it makes them, so that they pass
// through the backend's translation too: a key by the names above (a
// browser's KeyboardEvent by its physical key, an SDL key event), and the
// window resized, minimised, maximised or restored by the window system (a
// page's new layout; a window manager's).  The null backend has no window
// system: its events are the injected ones.  FALSE where the window system
// never makes such an event (a page is never minimised) or has no such key.
BOOL PlatformSendKey(HWND hwnd, const char* key_name, BOOL down, BOOL alt);
BOOL PlatformSendWindowEvent(HWND hwnd, enum PlatformWindowEvent event, int a, int b);

// The backend behind the testing one: "null", "sdl" or "web".
const char* PlatformBackendName(void);

// Where the window system decides a new window's size (a page's layout),
// the size it gives the next one; elsewhere nothing.
void PlatformNextWindowSize(int width, int height);

// The window's picture as the window system holds it (the backend's
// framebuffer; a page's canvas), as PlatformReadClient reads the client:
// FALSE unless it is exactly width x height.
BOOL PlatformReadScreen(HWND hwnd, COLORREF* pixels, int width, int height);

// Whether the window's picture goes through a GPU renderer (it never
// should), and its native window (an X window id; 0 when there is none).
BOOL PlatformWindowUsesRenderer(HWND hwnd);
unsigned long long PlatformNativeWindow(HWND hwnd);

// Receives every MessageBoxA (caption and text) instead of the screen
// while set, and answers IDOK; NULL restores the screen.
typedef void (*PlatformMessageBoxSink)(const char* caption, const char* text, void* context);
void PlatformSetMessageBoxSink(PlatformMessageBoxSink sink, void* context);

// Receives every OutputDebugStringA line (instead of stderr) while set; NULL
// restores stderr.
typedef void (*PlatformDebugSink)(const char* line, void* context);
void PlatformSetDebugSink(PlatformDebugSink sink, void* context);

// Makes the next CreateThread fail with `error` (0 cancels).
void PlatformFailNextCreateThread(DWORD error);

#ifdef __cplusplus
}
#endif

#endif  // RAINBOW_PLATFORM_TESTING_H
