// The threaded program: a worker thread runs the sample steps while the
// window thread only handles messages.  Shared with WinMain, the tests and
// the benchmark.
#ifndef RAINBOW_THREADED_THREADED_H
#define RAINBOW_THREADED_THREADED_H

#include <windows.h>

#include <atomic>

// The main window, stored by WinMain once CreateWindowExA has returned (the
// worker is already running then) with a release store; the worker loads it
// with acquire and draws only once it is non-null.
extern std::atomic<HWND> hwnd;

// The worker's run flag: 1 while the window exists, lowered by WM_DESTROY.
extern std::atomic<int> keep_running;

// The worker's handle, kept from WM_CREATE to WM_DESTROY (null when it could
// not be started); window thread only.
extern HANDLE hThread1;

// Passes in which the worker found an area and ran a sample step.  Written
// by the worker alone; read by the benchmark and the tests to know how many
// samples a picture holds.
extern std::atomic<unsigned long> samples_done;

// The worker routine: sample steps until keep_running falls; returns 0.
DWORD WINAPI StartThread(LPVOID param);

#endif  // RAINBOW_THREADED_THREADED_H
