/* A window manager that takes every request to map a window and answers
 * none, as one that has just started may: the end-to-end tests use it to
 * show that a box nobody shows cannot hang its program.
 *
 *   rainbow_x_deaf_wm     prints "ready" once in charge, then waits to be killed
 *
 * Exit 1 when another window manager already runs. */
#include <X11/Xlib.h>
#include <stdio.h>
#include <unistd.h>

static int refused(Display* d, XErrorEvent* e) {
  (void)d;
  (void)e;
  fprintf(stderr, "rainbow_x_deaf_wm: another window manager runs\n");
  _exit(1);
}

int main(void) {
  Display* d = XOpenDisplay(NULL);
  if (!d) {
    fprintf(stderr, "rainbow_x_deaf_wm: cannot open the display\n");
    return 1;
  }
  XSetErrorHandler(refused);
  XSelectInput(d, DefaultRootWindow(d), SubstructureRedirectMask);
  XSync(d, False);
  printf("ready\n");
  fflush(stdout);
  for (;;) {
    XEvent e;
    XNextEvent(d, &e); /* map and configure requests, never answered */
  }
}
