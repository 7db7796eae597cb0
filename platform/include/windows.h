// The Win32 subset that rainbow's programs use, for hosts without Windows.
//
// Names, types, constant values and call semantics are Win32's (ANSI entry
// points only).  No SDL type appears here: everything that talks to the
// window system is in a backend (platform/backend_sdl.cpp, backend_web.cpp,
// backend_null.cpp; see platform/backend.h).  Supported, by the file that
// implements the calls:
//   platform/win_window.cpp   RegisterClassExA CreateWindowExA DestroyWindow IsWindow
//                             ShowWindow UpdateWindow InvalidateRect GetClientRect
//                             SetWindowPos MessageBoxA
//   platform/win_queue.cpp    PeekMessageA GetMessageA TranslateMessage DispatchMessageA
//                             SendMessageA PostMessageA PostQuitMessage
//   platform/win_defproc.cpp  DefWindowProcA
//   platform/win_picture.cpp  LoadIconA LoadCursorA
//   platform/win_gdi.cpp      GetDC ReleaseDC BeginPaint EndPaint SetPixel GetPixel FillRect
//                             GetStockObject DeleteObject
//   platform/win_bitmap.cpp   LoadImageA GetDIBits SetStretchBltMode StretchDIBits
//   platform/win_text.cpp     FormatMessageA LocalAlloc LocalFree wsprintfA
//   platform/win_file.cpp     CreateFileA GetFileSize ReadFile GlobalAlloc GlobalLock
//                             GlobalUnlock GlobalFree GlobalSize
//   platform/win_kernel.cpp   GetLastError SetLastError OutputDebugStringA CreateThread
//                             WaitForSingleObject CloseHandle GetModuleHandleA Sleep
//   platform/win_ole.cpp      CreateStreamOnHGlobal OleLoadPicture, IStream, IPicture
//                             (ole2.h, olectl.h)
//   platform/win_main.cpp     main(), which calls the program's WinMain
// The comment at the top of each of these files says which arguments its
// calls take.  Anything else is absent on purpose: a program that needs it
// fails to build.  A call or argument the layer leaves out fails with
// ERROR_NOT_SUPPORTED (50) and one line on stderr naming the call.
//
// Where the layer differs from Win32, as a program can observe it, by the
// file whose calls differ:
// platform/win_window.cpp
//  1. The size given to CreateWindowExA or SetWindowPos is the client size (the
//     frame belongs to the window manager), and where a window appears is the
//     window manager's choice unless a position is given.
//  2. CW_USEDEFAULT, or a width or height of 0 or less, gives a client of
//     640 x 480 (Win32 picks a size from the screen's).
//  3. A client area is at most 16384 x 16384 pixels; a larger size is cut.
//     Its pixels take memory as it grows: SetWindowPos to a size whose
//     pixels cannot be had fails with ERROR_NOT_ENOUGH_MEMORY and leaves the
//     window as it was; such a size from the window system (the user
//     dragging the frame) leaves the client as it was, with one line on
//     stderr.  A process makes at most 256 windows in its life: a destroyed
//     window's handle is never reused.
//  4. Of the creation, showing and activation messages only WM_CREATE (lParam
//     NULL, no CREATESTRUCT), WM_SIZE, WM_SETFOCUS and WM_KILLFOCUS are sent.
//  5. WM_SETFOCUS arrives when the window system gives the focus: after the
//     first paint, and twice under some window managers.
//  6. ShowWindow(SW_MAXIMIZE) asks the window manager: WM_SIZE with
//     SIZE_MAXIMIZED comes once it has maximised the window, after
//     ShowWindow returns, and never where no window manager runs.
//  7. The update region is kept as its bounding rectangle, and the background
//     is erased only inside BeginPaint.
//  8. An exposure invalidates the whole client area: the window system does
//     not say which part was uncovered.
//  9. MessageBoxA dispatches no messages while the box is up, so the
//     program's windows are not repainted until it is dismissed.  The box
//     goes when the program ends, however it ends: on X11 the program's own
//     process draws it; on Wayland it is zenity's information box, in a
//     child process killed with the program.  Where no box can be shown (no
//     display, an SDL video driver other than x11 or wayland, no zenity on
//     Wayland), or on X11 no window manager shows it within 5 seconds,
//     MessageBoxA writes "caption: text" to stderr instead and returns IDOK.
// platform/win_queue.cpp and platform/win_input.cpp
// 10. One message queue serves the process, read by the thread that created
//     the windows; PostQuitMessage from any thread ends that thread's loop.
//     The window and message filters of PeekMessageA and GetMessageA are not
//     supported (they must be NULL, 0, 0).
// 11. SendMessageA from another thread runs the window procedure on the
//     calling thread.
// 12. MSG.pt is always (0, 0): the cursor's position is not tracked.
// 13. Only the keys in the layer's key table (platform/win_keys.cpp: Escape,
//     Return, Backspace, Tab, Space, Alt, Ctrl, Shift, the arrows, Home, End,
//     Page Up/Down, Insert, Delete, Pause, F1-F12, letters, digits) produce
//     key messages, and WM_CHAR / WM_SYSCHAR come only for keys with a fixed
//     character (letters as capitals, digits, Escape, Return, Backspace, Tab,
//     Space).
// 14. F10 or a lone Alt does not enter the system menu's keyboard mode
//     (platform/win_defproc.cpp).
// platform/win_picture.cpp
// 15. Icons are PNG resources registered by the build, not .ico groups.
// platform/win_gdi.cpp
// 16. A device context belongs to a window: there is no screen DC and no
//     memory DC, and at most 64 are in use at once.
// platform/win_bitmap.cpp
// 17. Without LR_CREATEDIBSECTION LoadImageA still keeps a bitmap in its
//     file's format (Win32 converts it to the screen's), and GetDIBits
//     describes and reads it so.  StretchDIBits draws in every stretch mode
//     as in COLORONCOLOR: HALFTONE does not average.  A file LoadImageA
//     refuses always leaves its reason as the last error (ERROR_INVALID_DATA
//     for a damaged one), where Windows may leave the last error as it was.
// platform/win_text.cpp
// 18. FormatMessageA knows the system texts of the error codes the layer
//     sets and a few more; for any other code it fails with
//     ERROR_MR_MID_NOT_FOUND (317).
// platform/win_file.cpp
// 19. File names are the host's, so case matters.  A backslash separates
//     folders, as on Win32, so a host file whose name holds one cannot be
//     opened.
// 20. CreateFileA ignores the share mode: it never fails with
//     ERROR_SHARING_VIOLATION, and a file it opened stays open to others.
// platform/win_kernel.cpp
// 21. OutputDebugStringA writes to stderr, as a debugger would show it.
// platform/win_ole.cpp
// 22. OleLoadPicture reads JPEG and BMP streams only (no GIF, icon or
//     metafile).  Its picture answers get_Handle, get_Type, get_Width,
//     get_Height and IUnknown's methods, and E_NOTIMPL to the rest; a stream
//     from CreateStreamOnHGlobal answers Read, Seek, Stat and IUnknown's
//     methods, and E_NOTIMPL to the rest (Write and Clone among them).
//     OleLoadPicture sets the last error when it makes no picture, where
//     Win32 leaves whatever an earlier call set: ERROR_INVALID_DATA for a
//     stream that holds no picture it reads (another format, a damaged or
//     truncated file, no bytes), ERROR_FILE_TOO_LARGE and
//     ERROR_NOT_ENOUGH_MEMORY as in 23.
// platform/codecs/, platform/win_file.cpp and platform/win_bitmap.cpp
// 23. Pictures are at most 2^26 pixels (8192 x 8192): LoadImageA and
//     OleLoadPicture (E_FAIL) fail a larger one with ERROR_FILE_TOO_LARGE,
//     and OleLoadPicture (E_FAIL) a JPEG whose decoding needs over 256 MiB
//     of working memory (a large progressive one) with
//     ERROR_NOT_ENOUGH_MEMORY.  GlobalAlloc and LoadImageA refuse anything
//     over 257 MiB, the largest file such a picture needs, with
//     ERROR_NOT_ENOUGH_MEMORY before reading.
// platform/win_main.cpp and platform/backend_sdl.cpp
// 24. With no display a program ends at start-up with one line and exit code
//     1 (a GUI program could never be seen or closed); a window destroyed by
//     another program, or a display that goes away, ends it the same way.
// platform/backend_web.cpp
// 25. In a web browser (the `web` preset):
//     a. A program has one window, the page's canvas.  Its client size is the
//        page's (or ?size=WxH), not the one asked for: a WM_SIZE with the
//        page's size follows WM_CREATE.  The page keeps its size and state
//        whatever the program asks, and the program is told so: after
//        SetWindowPos to another size, WM_SIZE with the asked size is
//        followed, at the next message read, by WM_SIZE with the page's
//        size; after ShowWindow(SW_MINIMIZE), WM_SIZE with SIZE_MINIMIZED is
//        followed by WM_SIZE with SIZE_RESTORED (a page cannot be minimised
//        by the program).  SetWindowPos's position and
//        ShowWindow(SW_MAXIMIZE) change nothing, as where no window manager
//        runs (6).  A hidden tab is not a minimised window but one nobody
//        sees (h), and the page's Close button is the close box.
//     b. The program runs on the page's thread and gives the browser its turn
//        inside PeekMessageA and GetMessageA (at most once a frame) and while
//        a message box is up.  A loop that calls neither freezes the page, and
//        Sleep or WaitForSingleObject on that thread holds the page meanwhile.
//        A PostMessageA from a worker thread reaches a waiting GetMessageA at
//        its next turn, within 16 ms (250 ms while the page is hidden).
//     c. A program that starts threads (rainbow_threaded) is built with the
//        threaded runtime, so its page must be cross-origin isolated (the
//        site's service worker makes it so where the host does not); where
//        it cannot be, the page says so and starts nothing.  The others are
//        built without threads, where CreateThread cannot start one.
//     d. Keys come from the browser's KeyboardEvent.code, the physical key
//        (so the layer's table, 13, whatever the keyboard's layout); the
//        browser keeps its own shortcuts (Alt+F4, Ctrl+W, F5 and the like),
//        and no key reaches the program while a message box is up.
//     e. MessageBoxA is an HTML dialog on the page; OutputDebugStringA and
//        stderr go to the browser's console.
//     f. Icons are not decoded: LoadIconA gives a handle with no picture, and
//        the page shows the site's own icon.
//     g. Files live in the page's memory: the program's folder holds only the
//        picture the page put there, and nothing written is kept.
//     h. A page nobody can see (a tab behind another, a minimised browser) is
//        a window covered by another, not a minimised one: no message says
//        so, and on its return it is not repainted (the canvas kept its
//        pixels).  Meanwhile the program rests: PeekMessageA's turn for the
//        browser lasts until the page is shown again or another event
//        comes, and GetDC on any thread but the window's waits until the
//        page is shown, up to 100 ms a call (platform/win_gdi.cpp).
#ifndef RAINBOW_PLATFORM_WINDOWS_H
#define RAINBOW_PLATFORM_WINDOWS_H

#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// ---- Base types (Win32 sizes: LONG and DWORD are 32 bits on every host) ----
typedef int BOOL;
typedef unsigned char BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef unsigned int UINT;
typedef int INT;
typedef char CHAR;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef intptr_t INT_PTR;
typedef uintptr_t UINT_PTR;
typedef uintptr_t ULONG_PTR;
typedef uintptr_t DWORD_PTR;
typedef WORD ATOM;
typedef DWORD COLORREF;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef DWORD* LPDWORD;
typedef void* HANDLE;
typedef HANDLE HGLOBAL;
typedef HANDLE HLOCAL;
typedef short SHORT;
typedef unsigned short USHORT;
typedef uint32_t ULONG;
typedef LONG HRESULT;
typedef int64_t LONGLONG;
typedef uint64_t ULONGLONG;
typedef intptr_t LONG_PTR;
typedef void VOID;
typedef wchar_t WCHAR;
typedef HANDLE HGDIOBJ;

#define DECLARE_HANDLE(name) \
  struct name##__;           \
  typedef struct name##__* name
DECLARE_HANDLE(HWND);
DECLARE_HANDLE(HDC);
DECLARE_HANDLE(HINSTANCE);
DECLARE_HANDLE(HICON);
DECLARE_HANDLE(HBRUSH);
DECLARE_HANDLE(HMENU);
DECLARE_HANDLE(HBITMAP);
DECLARE_HANDLE(HPALETTE);
typedef HICON HCURSOR;
typedef HINSTANCE HMODULE;

#define WINAPI
#define WINAPIV
#define CALLBACK
#define APIENTRY
#define TRUE 1
#define FALSE 0
#define CONST const

typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef DWORD(WINAPI* LPTHREAD_START_ROUTINE)(LPVOID);

#define LOWORD(l) ((WORD)(((DWORD_PTR)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((DWORD_PTR)(l)) >> 16) & 0xffff))
#define MAKELONG(a, b) \
  ((LONG)(((WORD)(((DWORD_PTR)(a)) & 0xffff)) | ((DWORD)((WORD)(((DWORD_PTR)(b)) & 0xffff))) << 16))
#define MAKELPARAM(l, h) ((LPARAM)(DWORD)MAKELONG(l, h))
#define MAKEINTRESOURCEA(i) ((LPSTR)((ULONG_PTR)((WORD)(i))))
#define MAKEINTRESOURCE MAKEINTRESOURCEA
#define IS_INTRESOURCE(r) ((((ULONG_PTR)(r)) >> 16) == 0)
#define RGB(r, g, b) \
  ((COLORREF)(((BYTE)(r) | ((WORD)((BYTE)(g)) << 8)) | (((DWORD)(BYTE)(b)) << 16)))
#define GetRValue(rgb) ((BYTE)(rgb))
#define GetGValue(rgb) ((BYTE)(((WORD)(rgb)) >> 8))
#define GetBValue(rgb) ((BYTE)((rgb) >> 16))
#define CLR_INVALID 0xFFFFFFFF

// ---- Records ----
typedef struct tagRECT {
  LONG left, top, right, bottom;
} RECT, *LPRECT;
typedef const RECT* LPCRECT;
typedef struct tagPOINT {
  LONG x, y;
} POINT;

typedef struct tagMSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
} MSG, *LPMSG;

typedef struct tagWNDCLASSEXA {
  UINT cbSize;
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCSTR lpszMenuName;
  LPCSTR lpszClassName;
  HICON hIconSm;
} WNDCLASSEXA, WNDCLASSEX;

typedef struct tagPAINTSTRUCT {
  HDC hdc;
  BOOL fErase;
  RECT rcPaint;
  BOOL fRestore;
  BOOL fIncUpdate;
  BYTE rgbReserved[32];
} PAINTSTRUCT, *LPPAINTSTRUCT;

typedef struct _SECURITY_ATTRIBUTES {
  DWORD nLength;
  LPVOID lpSecurityDescriptor;
  BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

// ---- Bitmaps ----
typedef struct tagRGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
} RGBQUAD;

typedef struct tagBITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
} BITMAPINFOHEADER, *LPBITMAPINFOHEADER, *PBITMAPINFOHEADER;

typedef struct tagBITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
} BITMAPINFO, *LPBITMAPINFO, *PBITMAPINFO;

#define BI_RGB 0L
#define BI_RLE8 1L
#define BI_RLE4 2L
#define BI_BITFIELDS 3L
#define BI_JPEG 4L
#define BI_PNG 5L

#define DIB_RGB_COLORS 0
#define DIB_PAL_COLORS 1

// ---- Messages ----
#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_MOVE 0x0003
#define WM_SIZE 0x0005
#define WM_ACTIVATE 0x0006
#define WM_SETFOCUS 0x0007
#define WM_KILLFOCUS 0x0008
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_ERASEBKGND 0x0014
#define WM_SHOWWINDOW 0x0018
#define WM_NCDESTROY 0x0082
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_SYSKEYDOWN 0x0104
#define WM_SYSKEYUP 0x0105
#define WM_SYSCHAR 0x0106
#define WM_SYSCOMMAND 0x0112
#define WM_USER 0x0400

#define SC_CLOSE 0xF060
#define SC_KEYMENU 0xF100

#define SIZE_RESTORED 0
#define SIZE_MINIMIZED 1
#define SIZE_MAXIMIZED 2

#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001

// ---- Virtual keys ----
#define VK_BACK 0x08
#define VK_TAB 0x09
#define VK_RETURN 0x0D
#define VK_SHIFT 0x10
#define VK_CONTROL 0x11
#define VK_MENU 0x12
#define VK_PAUSE 0x13
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20
#define VK_PRIOR 0x21
#define VK_NEXT 0x22
#define VK_END 0x23
#define VK_HOME 0x24
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28
#define VK_INSERT 0x2D
#define VK_DELETE 0x2E
#define VK_F1 0x70
#define VK_F4 0x73
#define VK_F10 0x79
#define VK_F12 0x7B

// ---- Window classes, styles, showing ----
#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002
#define WS_OVERLAPPED 0x00000000L
#define WS_CAPTION 0x00C00000L
#define WS_SYSMENU 0x00080000L
#define WS_THICKFRAME 0x00040000L
#define WS_MINIMIZEBOX 0x00020000L
#define WS_MAXIMIZEBOX 0x00010000L
#define WS_OVERLAPPEDWINDOW \
  (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)
#define CW_USEDEFAULT ((int)0x80000000)

#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_NORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOWMAXIMIZED 3
#define SW_MAXIMIZE 3
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_RESTORE 9
#define SW_SHOWDEFAULT 10

#define SWP_NOSIZE 0x0001
#define SWP_NOMOVE 0x0002
#define SWP_NOZORDER 0x0004

#define IDC_ARROW MAKEINTRESOURCEA(32512)
#define IDI_APPLICATION MAKEINTRESOURCEA(32512)

// ---- GDI ----
#define BLACKONWHITE 1
#define WHITEONBLACK 2
#define COLORONCOLOR 3
#define HALFTONE 4
#define SRCCOPY ((DWORD)0x00CC0020)
#define GDI_ERROR ((LONG)0xFFFFFFFF)  // LONG is 32 bits, as on Windows
#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5

// ---- Kernel ----
#define INFINITE 0xFFFFFFFF
#define WAIT_OBJECT_0 0x00000000L
#define WAIT_TIMEOUT 0x00000102L
#define WAIT_FAILED ((DWORD)0xFFFFFFFF)

#define ERROR_SUCCESS 0L
#define NO_ERROR 0L
#define ERROR_INVALID_FUNCTION 1L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_TOO_MANY_OPEN_FILES 4L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_INVALID_DATA 13L
#define ERROR_OUTOFMEMORY 14L
#define ERROR_NOT_READY 21L
#define ERROR_READ_FAULT 30L
#define ERROR_SHARING_VIOLATION 32L
#define ERROR_HANDLE_EOF 38L
#define ERROR_NOT_SUPPORTED 50L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_INVALID_NAME 123L
#define ERROR_DISCARDED 157L
#define ERROR_NOT_LOCKED 158L
#define ERROR_FILENAME_EXCED_RANGE 206L
#define ERROR_FILE_TOO_LARGE 223L
#define ERROR_MR_MID_NOT_FOUND 317L
#define ERROR_NOACCESS 998L
#define ERROR_FILE_INVALID 1006L
#define ERROR_INVALID_WINDOW_HANDLE 1400L
#define ERROR_CANNOT_FIND_WND_CLASS 1407L
#define ERROR_CLASS_ALREADY_EXISTS 1410L
#define ERROR_RESOURCE_DATA_NOT_FOUND 1812L
#define ERROR_RESOURCE_TYPE_NOT_FOUND 1813L
#define ERROR_RESOURCE_NAME_NOT_FOUND 1814L

// ---- Text, files and memory ----
#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x00000100
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000
#define LANG_NEUTRAL 0x00
#define SUBLANG_DEFAULT 0x01
#define MAKELANGID(p, s) ((((WORD)(s)) << 10) | (WORD)(p))
#define LMEM_FIXED 0x0000
#define LMEM_ZEROINIT 0x0040

#define GENERIC_READ 0x80000000L
#define FILE_SHARE_READ 0x00000001
#define OPEN_EXISTING 3
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)
#define INVALID_FILE_SIZE ((DWORD)0xFFFFFFFF)

#define GMEM_FIXED 0x0000
#define GMEM_MOVEABLE 0x0002
#define GMEM_ZEROINIT 0x0040
#define GMEM_SHARE 0x2000
#define GMEM_DDESHARE 0x2000
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)

typedef struct _OVERLAPPED OVERLAPPED, *LPOVERLAPPED;

// Win64 keeps GDI and USER handles to 32 significant bits, so they may be
// stored in 32-bit fields and sign-extended back.
#define HandleToULong(h) ((ULONG)(ULONG_PTR)(h))
#define HandleToLong(h) ((LONG)(LONG_PTR)(h))
#define LongToHandle(h) ((HANDLE)(LONG_PTR)(h))
#define ULongToHandle(h) ((HANDLE)(ULONG_PTR)(h))

// ---- Message boxes ----
#define MB_OK 0x00000000L
#define IDOK 1

// ---- Loading pictures ----
#define IMAGE_BITMAP 0
#define IMAGE_ICON 1
#define IMAGE_CURSOR 2
#define LR_DEFAULTCOLOR 0x00000000
#define LR_LOADFROMFILE 0x00000010
#define LR_CREATEDIBSECTION 0x00002000

// ---- Windows (platform/win_window.cpp) ----
ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* wc);
HWND WINAPI CreateWindowExA(DWORD ex_style, LPCSTR class_name, LPCSTR title, DWORD style, int x,
                            int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param);
BOOL WINAPI DestroyWindow(HWND hwnd);
BOOL WINAPI IsWindow(HWND hwnd);
BOOL WINAPI ShowWindow(HWND hwnd, int cmd);
BOOL WINAPI UpdateWindow(HWND hwnd);
BOOL WINAPI InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);
BOOL WINAPI GetClientRect(HWND hwnd, LPRECT rect);
BOOL WINAPI SetWindowPos(HWND hwnd, HWND insert_after, int x, int y, int cx, int cy, UINT flags);
int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// ---- Messages (platform/win_queue.cpp) ----
BOOL WINAPI PeekMessageA(LPMSG msg, HWND hwnd, UINT first, UINT last, UINT remove);
BOOL WINAPI GetMessageA(LPMSG msg, HWND hwnd, UINT first, UINT last);
BOOL WINAPI TranslateMessage(const MSG* msg);
LRESULT WINAPI DispatchMessageA(const MSG* msg);
LRESULT WINAPI SendMessageA(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
BOOL WINAPI PostMessageA(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
void WINAPI PostQuitMessage(int exit_code);

// ---- The default window procedure (platform/win_defproc.cpp) ----
LRESULT WINAPI DefWindowProcA(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

// ---- Icons and cursors (platform/win_picture.cpp) ----
HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name);
HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name);

// ---- Drawing (platform/win_gdi.cpp) ----
HDC WINAPI GetDC(HWND hwnd);
int WINAPI ReleaseDC(HWND hwnd, HDC hdc);
HDC WINAPI BeginPaint(HWND hwnd, LPPAINTSTRUCT ps);
BOOL WINAPI EndPaint(HWND hwnd, const PAINTSTRUCT* ps);
COLORREF WINAPI SetPixel(HDC hdc, int x, int y, COLORREF color);
COLORREF WINAPI GetPixel(HDC hdc, int x, int y);
int WINAPI FillRect(HDC hdc, const RECT* rect, HBRUSH brush);
HGDIOBJ WINAPI GetStockObject(int object);
BOOL WINAPI DeleteObject(HGDIOBJ object);

// ---- Bitmaps (platform/win_bitmap.cpp) ----
HANDLE WINAPI LoadImageA(HINSTANCE instance, LPCSTR name, UINT type, int cx, int cy, UINT flags);
int WINAPI GetDIBits(HDC hdc, HBITMAP bitmap, UINT start, UINT lines, LPVOID bits,
                     LPBITMAPINFO info, UINT usage);
int WINAPI SetStretchBltMode(HDC hdc, int mode);
int WINAPI StretchDIBits(HDC hdc, int x_dest, int y_dest, int dest_width, int dest_height,
                         int x_src, int y_src, int src_width, int src_height, const VOID* bits,
                         const BITMAPINFO* info, UINT usage, DWORD rop);

// ---- Text and local memory (platform/win_text.cpp) ----
DWORD WINAPI FormatMessageA(DWORD flags, LPCVOID source, DWORD message, DWORD language,
                            LPSTR buffer, DWORD size, va_list* arguments);
HLOCAL WINAPI LocalAlloc(UINT flags, size_t bytes);
HLOCAL WINAPI LocalFree(HLOCAL block);
int WINAPIV wsprintfA(LPSTR out, LPCSTR format, ...);

// ---- Files and global memory (platform/win_file.cpp) ----
HANDLE WINAPI CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                          DWORD disposition, DWORD flags, HANDLE template_file);
DWORD WINAPI GetFileSize(HANDLE file, LPDWORD size_high);
BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD bytes, LPDWORD bytes_read,
                     LPOVERLAPPED overlapped);
HGLOBAL WINAPI GlobalAlloc(UINT flags, size_t bytes);
LPVOID WINAPI GlobalLock(HGLOBAL block);
BOOL WINAPI GlobalUnlock(HGLOBAL block);
HGLOBAL WINAPI GlobalFree(HGLOBAL block);
size_t WINAPI GlobalSize(HGLOBAL block);

// ---- Kernel (platform/win_kernel.cpp) ----
DWORD WINAPI GetLastError(void);
void WINAPI SetLastError(DWORD code);
void WINAPI OutputDebugStringA(LPCSTR text);
HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES security, size_t stack_size,
                           LPTHREAD_START_ROUTINE start, LPVOID param, DWORD flags,
                           LPDWORD thread_id);
DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds);
BOOL WINAPI CloseHandle(HANDLE handle);
HMODULE WINAPI GetModuleHandleA(LPCSTR name);
void WINAPI Sleep(DWORD milliseconds);

// The program's entry point, called by main() (platform/win_main.cpp).
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show);

#ifdef __cplusplus
}
#endif

#endif  // RAINBOW_PLATFORM_WINDOWS_H
