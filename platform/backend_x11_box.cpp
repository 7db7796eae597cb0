// The message box on X11, drawn with Xlib by the calling process on a
// connection of its own.  SDL's box runs in a forked child that also keeps a
// copy of the program's connection: a program killed while its box was up
// left the box and its own unmapped window on the screen, and the child ran
// on.  This box is the program's, so it goes with the program however that
// ends.
//
// A window manager that is just starting may drop the request to map the
// box, which then never appears: the box asks again every second and gives
// up after five, so that no program waits for a box nobody can see.
#include "backend_x11_box.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <errno.h>  // program_invocation_short_name
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "box_text.h"

namespace plat {
namespace backend {

namespace {

const int kMargin = 16;
const int kButtonWidth = 80, kButtonHeight = 26;
const int kMinWidth = 200;
const int kRemapMs = 1000;   // how often the window manager is asked again
const int kGiveUpMs = 5000;  // how long a box may take to appear

struct Box {
  Display* display = nullptr;
  Window window = 0;
  GC gc = nullptr;
  XFontStruct* font = nullptr;
  Atom protocols = 0, delete_window = 0;
  std::vector<std::string> lines;
  int width = 0, height = 0;
  XRectangle button = {};
  unsigned long ink = 0, paper = 0, strip = 0;
  KeySym key = NoSymbol;  // the key that went down while the box had it
  bool pressed = false;   // the pointer went down on the button
  bool shown = false;     // exposed at least once
};

// Errors on the box's connection (another program destroying the box) end
// only the box; any other goes to the handler that was there before.
std::mutex g_one_box;  // one box at a time owns the handler below
Display* g_box_display = nullptr;
XErrorHandler g_outer_handler = nullptr;

int on_x_error(Display* display, XErrorEvent* e) {
  if (display == g_box_display) return 0;
  return g_outer_handler ? g_outer_handler(display, e) : 0;
}

unsigned long colour(Display* d, int grey, unsigned long fallback) {
  XColor c = {};
  c.red = c.green = c.blue = static_cast<unsigned short>(grey * 257);
  return XAllocColor(d, DefaultColormap(d, DefaultScreen(d)), &c) ? c.pixel : fallback;
}

// ANSI text is drawn with a Latin-1 font: a proportional one if the server
// has it, else its own "fixed".
XFontStruct* load_font(Display* d) {
  for (const char* name : {"-*-*-medium-r-normal--0-120-*-*-p-0-iso8859-1", "fixed"})
    if (XFontStruct* f = XLoadQueryFont(d, name)) return f;
  return nullptr;
}

int text_width(const Box& b, const std::string& s) {
  return XTextWidth(b.font, s.data(), static_cast<int>(s.size()));
}

int line_height(const Box& b) {
  return b.font->ascent + b.font->descent + 2;
}

void lay_out(Box* b) {
  int widest = kButtonWidth;
  for (const std::string& line : b->lines) widest = std::max(widest, text_width(*b, line));
  const int screen_width = DisplayWidth(b->display, DefaultScreen(b->display));
  b->width = std::min(std::max(kMinWidth, widest + 2 * kMargin), std::max(kMinWidth, screen_width));
  const int text_height = static_cast<int>(b->lines.size()) * line_height(*b);
  b->button = {static_cast<short>((b->width - kButtonWidth) / 2),
               static_cast<short>(2 * kMargin + std::min(text_height, 8000)), kButtonWidth,
               kButtonHeight};
  b->height = b->button.y + kButtonHeight + kMargin;
}

void draw(const Box& b) {
  Display* d = b.display;
  const int strip_top = b.button.y - kMargin / 2;
  XSetForeground(d, b.gc, b.paper);
  XFillRectangle(d, b.window, b.gc, 0, 0, b.width, strip_top);
  XSetForeground(d, b.gc, b.strip);
  XFillRectangle(d, b.window, b.gc, 0, strip_top, b.width, b.height - strip_top);
  XSetForeground(d, b.gc, b.ink);
  int y = kMargin + b.font->ascent;
  for (const std::string& line : b.lines) {
    XDrawString(d, b.window, b.gc, kMargin, y, line.data(), static_cast<int>(line.size()));
    y += line_height(b);
  }
  XSetForeground(d, b.gc, b.paper);
  XFillRectangle(d, b.window, b.gc, b.button.x, b.button.y, b.button.width, b.button.height);
  XSetForeground(d, b.gc, b.ink);
  XDrawRectangle(d, b.window, b.gc, b.button.x, b.button.y, b.button.width, b.button.height);
  const std::string ok = "OK";
  XDrawString(d, b.window, b.gc, b.button.x + (kButtonWidth - text_width(b, ok)) / 2,
              b.button.y + (kButtonHeight + b.font->ascent - b.font->descent) / 2, ok.data(),
              static_cast<int>(ok.size()));
}

// What a window manager reads: the title, a fixed size, a dialog, the
// close box, and whose it is.
void describe(const Box& b, const char* caption) {
  Display* d = b.display;
  XStoreName(d, b.window, caption);
  const std::string title = utf8_from_latin1(caption);
  XChangeProperty(d, b.window, XInternAtom(d, "_NET_WM_NAME", False),
                  XInternAtom(d, "UTF8_STRING", False), 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(title.data()),
                  static_cast<int>(title.size()));
  XSizeHints size = {};
  size.flags = PMinSize | PMaxSize;
  size.min_width = size.max_width = b.width;
  size.min_height = size.max_height = b.height;
  XSetWMNormalHints(d, b.window, &size);
  XWMHints hints = {};
  hints.flags = InputHint | StateHint;
  hints.input = True;
  hints.initial_state = NormalState;
  XSetWMHints(d, b.window, &hints);
  XClassHint cls = {program_invocation_short_name, const_cast<char*>("rainbow")};
  XSetClassHint(d, b.window, &cls);
  const Atom dialog = XInternAtom(d, "_NET_WM_WINDOW_TYPE_DIALOG", False);
  XChangeProperty(d, b.window, XInternAtom(d, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32,
                  PropModeReplace, reinterpret_cast<const unsigned char*>(&dialog), 1);
  const long pid = getpid();
  XChangeProperty(d, b.window, XInternAtom(d, "_NET_WM_PID", False), XA_CARDINAL, 32,
                  PropModeReplace, reinterpret_cast<const unsigned char*>(&pid), 1);
  Atom delete_window = b.delete_window;
  XSetWMProtocols(d, b.window, &delete_window, 1);
}

void create(Box* b, const char* caption) {
  Display* d = b->display;
  const int screen = DefaultScreen(d);
  XSetWindowAttributes a = {};
  a.background_pixel = b->paper;
  a.event_mask = ExposureMask | KeyPressMask | KeyReleaseMask | ButtonPressMask |
                 ButtonReleaseMask | StructureNotifyMask;
  const int x = std::max(0, (DisplayWidth(d, screen) - b->width) / 2);
  const int y = std::max(0, (DisplayHeight(d, screen) - b->height) / 3);
  b->window = XCreateWindow(d, RootWindow(d, screen), x, y, static_cast<unsigned>(b->width),
                            static_cast<unsigned>(b->height), 0, CopyFromParent, InputOutput,
                            CopyFromParent, CWBackPixel | CWEventMask, &a);
  b->protocols = XInternAtom(d, "WM_PROTOCOLS", False);
  b->delete_window = XInternAtom(d, "WM_DELETE_WINDOW", False);
  describe(*b, caption);
  b->gc = XCreateGC(d, b->window, 0, nullptr);
  XSetFont(d, b->gc, b->font->fid);
  XMapRaised(d, b->window);
}

bool on_button(const Box& b, int x, int y) {
  return x >= b.button.x && y >= b.button.y && x < b.button.x + b.button.width &&
         y < b.button.y + b.button.height;
}

// True when the event dismisses the box.
bool handle(Box* b, XEvent* e) {
  switch (e->type) {
    case Expose:
      b->shown = true;
      if (e->xexpose.count == 0) draw(*b);
      return false;
    case KeyPress:
      b->key = XLookupKeysym(&e->xkey, 0);
      return false;
    case KeyRelease: {  // on release, so that the key's release reaches no other window
      const KeySym key = XLookupKeysym(&e->xkey, 0);
      const bool pressed_here = key == b->key;
      b->key = NoSymbol;
      return pressed_here &&
             (key == XK_Return || key == XK_KP_Enter || key == XK_Escape || key == XK_space);
    }
    case ButtonPress:
      b->pressed = e->xbutton.button == Button1 && on_button(*b, e->xbutton.x, e->xbutton.y);
      return false;
    case ButtonRelease: {
      const bool clicked = b->pressed && on_button(*b, e->xbutton.x, e->xbutton.y);
      b->pressed = false;
      return clicked;
    }
    case ClientMessage:
      return e->xclient.message_type == b->protocols &&
             static_cast<Atom>(e->xclient.data.l[0]) == b->delete_window;
    case DestroyNotify:  // by another program: nothing is left to answer
      return e->xdestroywindow.window == b->window;
  }
  return false;
}

// True once the box is dismissed; false when it was never shown in time.
bool run(Box* b) {
  const auto start = std::chrono::steady_clock::now();
  int next_map_ms = kRemapMs;
  for (;;) {
    while (XPending(b->display)) {  // also sends what is buffered
      XEvent e;
      XNextEvent(b->display, &e);
      if (handle(b, &e)) return true;
    }
    int wait_ms = -1;  // once shown, the box waits for the user as long as it takes
    if (!b->shown) {
      const int elapsed = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                               std::chrono::steady_clock::now() - start)
                                               .count());
      if (elapsed >= kGiveUpMs) return false;
      if (elapsed >= next_map_ms) {
        XWithdrawWindow(b->display, b->window, DefaultScreen(b->display));
        XMapRaised(b->display, b->window);
        next_map_ms += kRemapMs;
        continue;
      }
      wait_ms = std::min(next_map_ms, kGiveUpMs) - elapsed;
    }
    pollfd p = {ConnectionNumber(b->display), POLLIN, 0};
    if (poll(&p, 1, wait_ms) < 0 && errno != EINTR) return false;
  }
}

}  // namespace

bool x11_message_box(const char* caption, const char* text) {
  std::lock_guard<std::mutex> one(g_one_box);
  Box b;
  b.display = XOpenDisplay(nullptr);
  if (!b.display) return false;
  g_box_display = b.display;
  g_outer_handler = XSetErrorHandler(on_x_error);
  bool dismissed = false;
  b.font = load_font(b.display);
  if (b.font) {
    const int screen = DefaultScreen(b.display);
    b.ink = colour(b.display, 0, BlackPixel(b.display, screen));
    b.paper = colour(b.display, 255, WhitePixel(b.display, screen));
    b.strip = colour(b.display, 240, WhitePixel(b.display, screen));
    b.lines = box_lines(text);
    lay_out(&b);
    create(&b, caption);
    dismissed = run(&b);
    XFreeGC(b.display, b.gc);
    XFreeFont(b.display, b.font);
  }
  XCloseDisplay(b.display);  // the box goes with its connection
  XSetErrorHandler(g_outer_handler);
  g_box_display = nullptr;
  return dismissed;
}

}  // namespace backend
}  // namespace plat
