// Program shell shared by the idle-loop programs (and the class and window by
// the threaded one): window class "rainbow", the main window, the idle loop.
#ifndef RAINBOW_PLAIN_SHELL_H
#define RAINBOW_PLAIN_SHELL_H

#include <windows.h>

extern HINSTANCE g_hinst;
extern const char szAppName[];  // "rainbow"
extern const char szAppDesc[];  // "draw simulated rainbow"

enum { RAINBOW_ICON = 303 };

// Each program supplies its own window procedure.
LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Registers the class with WndProc and creates the (hidden) main window.
// Returns the window, or NULL after sending a debug line naming the failure.
HWND rainbow_create_main_window(HINSTANCE instance);

// Runs the idle-time loop until WM_QUIT and returns its code: messages first,
// one sample step whenever none is waiting.
int rainbow_idle_loop(HWND hwnd);

#endif  // RAINBOW_PLAIN_SHELL_H
