// Extensions of the Win32 subset for tools and tests on hosts without
// Windows.  Not Win32: programs do not use these.  No SDL type appears here.
#ifndef RAINBOW_PLATFORM_EXTENSIONS_H
#define RAINBOW_PLATFORM_EXTENSIONS_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// Copies the window's client pixels (COLORREF, rows top to bottom) into
// `pixels`, which holds width * height values.  FALSE unless the client area
// is exactly width x height.
BOOL PlatformReadClient(HWND hwnd, COLORREF* pixels, int width, int height);

// Copies `count` client rows from row `first` down into `pixels`, which
// holds count * width values, so a large client can be read a strip at a
// time.  FALSE unless the client is exactly `width` wide and holds the rows.
BOOL PlatformReadClientRows(HWND hwnd, int first, int count, COLORREF* pixels, int width);

// The client's pixels themselves: 0x00RRGGBB, rows packed at the client's
// width, each loaded and stored as a relaxed 32-bit atomic, so that a tool
// can draw from several threads.  Valid until the window is resized or
// destroyed; what is stored here is not presented.  The top byte is the
// caller's to use while it draws (the reads above ignore it).  NULL
// unless the client is exactly width x height.
DWORD* PlatformClientPixels(HWND hwnd, int width, int height);

// Receives every OutputDebugStringA line (instead of stderr) while set; NULL
// restores stderr.
typedef void (*PlatformDebugSink)(const char* line, void* context);
void PlatformSetDebugSink(PlatformDebugSink sink, void* context);

// Receives every MessageBoxA (caption and text) instead of the screen
// while set, and answers IDOK; NULL restores the screen.
typedef void (*PlatformMessageBoxSink)(const char* caption, const char* text, void* context);
void PlatformSetMessageBoxSink(PlatformMessageBoxSink sink, void* context);

// Feeds the window system's own events through the same translation as real
// ones: a key by its name in the layer's key table ("Escape", "F4", "A",
// "Left Alt") going down or up with Alt held or not, and window events.
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
  PLATFORM_HIDDEN,
  PLATFORM_SHOWN,
};
BOOL PlatformInjectWindowEvent(HWND hwnd, enum PlatformWindowEvent event, int a, int b);

// Reads the window system's queue now, as the next due PeekMessageA would.
void PlatformPump(void);

// Opens the window system as a program's start-up does; FALSE with a
// one-line reason when there is no display.
BOOL PlatformOpenDisplay(char* reason, size_t size);

// Whether the window's picture goes through a GPU renderer (it never
// should), and its native window (an X window id; 0 when there is none).
BOOL PlatformWindowUsesRenderer(HWND hwnd);
unsigned long long PlatformNativeWindow(HWND hwnd);

// Time spent showing windows' pixels on screen so far, in nanoseconds.
unsigned long long PlatformPresentNanoseconds(void);

// Live bitmaps and brushes made by the program (stock objects not counted).
int PlatformCountGdiObjects(void);

// Makes the next CreateThread fail with `error` (0 cancels).
void PlatformFailNextCreateThread(DWORD error);

// Registers a picture resource (PNG bytes) for LoadIconA; the bytes must
// stay valid.  Programs get theirs from the build.
void PlatformAddIconResource(int id, const unsigned char* png, size_t size);

#ifdef __cplusplus
}
#endif

#endif  // RAINBOW_PLATFORM_EXTENSIONS_H
