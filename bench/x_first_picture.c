/* How long after its start a program's window shows something other than
 * black in the first pixels of its top row: the program is started here,
 * and its window is looked for and read every millisecond, a 16 x 1 image
 * each time, so the looking costs the X server and the program next to
 * nothing (a whole-window dump costs tens of milliseconds on a large
 * window, and slows what it measures).
 *
 *   rainbow_x_first_picture TITLE PROGRAM [ARG...]
 *
 * Runs PROGRAM in the current folder on $DISPLAY, waits up to 5 s for a
 * top-level window titled exactly TITLE whose top row is lit, then prints
 *   "ms CPU_MS FAULTS"
 * (the time since the start, and the program's CPU time and page faults by
 * then, from /proc) and kills the program.  Exit 1 when nothing was seen. */
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double now_ms(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec * 1e3 + (double)t.tv_nsec / 1e6;
}

/* A window that vanishes between the tree and the question is not ours. */
static int ignore_errors(Display* d, XErrorEvent* e) {
  (void)d;
  (void)e;
  return 0;
}

static Window find_titled(Display* d, Window w, const char* title, int depth) {
  char* name = NULL;
  if (XFetchName(d, w, &name) && name) {
    const int same = strcmp(name, title) == 0;
    XFree(name);
    if (same) return w;
  }
  if (depth == 0) return 0;
  Window root, parent, *kids = NULL, found = 0;
  unsigned n = 0;
  if (!XQueryTree(d, w, &root, &parent, &kids, &n)) return 0;
  for (unsigned i = 0; i < n && !found; ++i) found = find_titled(d, kids[i], title, depth - 1);
  if (kids) XFree(kids);
  return found;
}

static int top_row_lit(Display* d, Window w) {
  XWindowAttributes a;
  if (!XGetWindowAttributes(d, w, &a) || a.map_state != IsViewable || a.width < 16) return 0;
  XImage* img = XGetImage(d, w, 0, 0, 16, 1, AllPlanes, ZPixmap);
  if (!img) return 0;
  int lit = 0;
  for (int x = 0; x < 16 && !lit; ++x) lit = XGetPixel(img, x, 0) != 0;
  XDestroyImage(img);
  return lit;
}

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: rainbow_x_first_picture TITLE PROGRAM [ARG...]\n");
    return 2;
  }
  Display* d = XOpenDisplay(NULL);
  if (!d) {
    fprintf(stderr, "rainbow_x_first_picture: cannot open the display\n");
    return 2;
  }
  XSetErrorHandler(ignore_errors);
  const double start = now_ms();
  const pid_t pid = fork();
  if (pid == 0) {
    execv(argv[2], argv + 2);
    _exit(127);
  }
  double shown = -1;
  Window w = 0;
  while (now_ms() - start < 5000 && waitpid(pid, NULL, WNOHANG) == 0) {
    if (!w) w = find_titled(d, DefaultRootWindow(d), argv[1], 2);
    if (w && top_row_lit(d, w)) {
      shown = now_ms() - start;
      break;
    }
    usleep(1000);
  }
  unsigned long minflt = 0, majflt = 0, utime = 0, stime = 0;
  char path[64];
  snprintf(path, sizeof path, "/proc/%d/stat", (int)pid);
  FILE* f = fopen(path, "r");
  if (f) {
    char line[1024];
    const char* rest = fgets(line, sizeof line, f) ? strrchr(line, ')') : NULL;
    if (rest)
      sscanf(rest + 2, "%*c %*d %*d %*d %*d %*d %*u %lu %*u %lu %*u %lu %lu", &minflt, &majflt,
             &utime, &stime);
    fclose(f);
  }
  kill(pid, SIGKILL);
  waitpid(pid, NULL, 0);
  if (shown < 0) {
    fprintf(stderr, "rainbow_x_first_picture: no lit top row in \"%s\" within 5 s\n", argv[1]);
    return 1;
  }
  printf("%.0f %.0f %lu\n", shown, (double)(utime + stime) * 1000.0 / (double)sysconf(_SC_CLK_TCK),
         minflt + majflt);
  return 0;
}
