// The least any path of three calls a sample can cost (bench_core.cpp).
#ifndef RAINBOW_BENCH_EMPTY_CALLS_H
#define RAINBOW_BENCH_EMPTY_CALLS_H

#include <stddef.h>
#include <stdint.h>

#include <windows.h>

namespace empty_calls {

extern uint32_t* pixels;
extern int width, height;

HDC get_dc(HWND hwnd);
COLORREF set_pixel(HDC hdc, int x, int y, COLORREF color);
int release_dc(HWND hwnd, HDC hdc);

}  // namespace empty_calls

#endif  // RAINBOW_BENCH_EMPTY_CALLS_H
