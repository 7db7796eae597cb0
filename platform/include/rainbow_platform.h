// Extensions of the Win32 subset for tools and tests on hosts without
// Windows.  Not Win32: programs do not use these.  No SDL type appears here.
#ifndef RAINBOW_PLATFORM_EXTENSIONS_H
#define RAINBOW_PLATFORM_EXTENSIONS_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// Client pixels are 0x00RRGGBB; GDI colours are COLORREF (0x00BBGGRR).
// (One byte swap: the high byte, unused, falls off the end.)
static inline DWORD PlatformRgbFromColorref(COLORREF c) {
  return __builtin_bswap32(c) >> 8;
}
static inline COLORREF PlatformColorrefFromRgb(DWORD v) {
  return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

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

// Reads the window system's queue now, as the next due PeekMessageA would.
void PlatformPump(void);

// Opens the window system as a program's start-up does; FALSE with a
// one-line reason when there is no display.
BOOL PlatformOpenDisplay(char* reason, size_t size);

// Time spent showing windows' pixels on screen so far, in nanoseconds.
unsigned long long PlatformPresentNanoseconds(void);

// Live bitmaps and brushes made by the program (stock objects not counted).
int PlatformCountGdiObjects(void);

// Registers a picture resource (PNG bytes) for LoadIconA; the bytes must
// stay valid.  Programs get theirs from the build.
void PlatformAddIconResource(int id, const unsigned char* png, size_t size);

#ifdef __cplusplus
}
#endif

#endif  // RAINBOW_PLATFORM_EXTENSIONS_H
