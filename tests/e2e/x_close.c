/* What a window manager does to a window, for the end-to-end tests:
 *
 *   rainbow_x_close WINDOW     presses its close box (WM_DELETE_WINDOW)
 *
 * Exit 0 when the request was sent, 1 when not. */
#include <X11/Xlib.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: rainbow_x_close WINDOW\n");
    return 2;
  }
  Display* d = XOpenDisplay(NULL);
  if (!d) {
    fprintf(stderr, "rainbow_x_close: cannot open the display\n");
    return 1;
  }
  XEvent e = {0};
  e.xclient.type = ClientMessage;
  e.xclient.window = (Window)strtoul(argv[1], NULL, 0);
  e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = (long)XInternAtom(d, "WM_DELETE_WINDOW", False);
  e.xclient.data.l[1] = CurrentTime;
  const Status sent = XSendEvent(d, e.xclient.window, False, NoEventMask, &e);
  XSync(d, False);
  XCloseDisplay(d);
  return sent ? 0 : 1;
}
