// rainbow_render: draws the plain program's picture with no display and
// writes the client area as a PNG.
//
// The window is made exactly as rainbow_plain makes it (created, sized,
// shown, first paint), then N idle steps run with no paint in between: on
// one thread as the program runs them, or split over several with the same
// picture (render_walk.h).  With a backdrop, the first paint shows the
// picture as the backdrop programs' first paint does.
//
// The window's pixels are the only copy of the picture: the PNG is deflated
// from them a band of rows at a time, so the largest size needs little
// beyond the window.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>

#include <rainbow_platform.h>

#include "rainbow.h"
#include "render_backdrop.h"
#include "render_options.h"
#include "render_output.h"
#include "render_progress.h"
#include "render_physical.h"
#include "render_png.h"
#include "render_walk.h"
#include "shell.h"

namespace {

// A closed standard descriptor would be handed to the next file opened, and
// the success line would land in the picture; one opened read-only keeps
// the slot taken and makes every write to it fail, as a closed one would.
void hold_standard_descriptors() {
  for (int fd = 0; fd <= 2; ++fd)  // lowest first, so each open lands in its slot
    if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) open("/dev/null", O_RDONLY);
}

// The steps on several threads, reported from this one; false when they
// must be drawn again on one.  The report wakes every 20 ms, and at once
// when the steps are done, so a short render does not wait out a tick.
bool draw_in_parallel(const Canvas& canvas, unsigned state, const Options& o, int threads) {
  std::atomic<unsigned long long> done{0};
  std::mutex lock;
  std::condition_variable ended;
  bool finished = false, drawn = false;
  std::thread walk([&] {
    const bool ok = walk_steps(canvas, state, o.steps, threads, &done);
    std::lock_guard<std::mutex> hold(lock);
    drawn = ok;
    finished = true;
    ended.notify_one();
  });
  Progress progress(o.steps, "steps");
  {
    std::unique_lock<std::mutex> hold(lock);
    while (!ended.wait_for(hold, std::chrono::milliseconds(20), [&] { return finished; }))
      progress.at(done);
  }
  walk.join();
  if (drawn) progress.finish();
  return drawn;
}

void draw_in_turn(HWND hwnd, const Options& o) {
  Progress progress(o.steps, "steps");
  for (unsigned long long i = 0; i < o.steps; ++i) {
    display_current_operation(hwnd);
    if ((i & 0xFFFF) == 0) progress.at(i);
  }
  progress.finish();
}

// The first paint's sample again, over the backdrop just stretched, so the
// picture is what the backdrop programs' first paint leaves.
void repeat_first_sample(HWND hwnd, unsigned state) {
  rainbow_hits hits;
  rainbow_sample_on(&state, &hits);
  HDC hdc = GetDC(hwnd);
  for (int j = 0; j < hits.count; ++j)
    SetPixel(hdc, hits.point[j].x, hits.point[j].y, hits.point[j].color);
  ReleaseDC(hwnd, hdc);
}

// Makes the window, paints it, and runs the steps; null after saying why.
HWND draw(const Options& o, int threads) {
  const unsigned program_start = rainbow_rand_state();
  HWND hwnd = rainbow_create_main_window(g_hinst);
  if (!hwnd) {
    const DWORD error = GetLastError();
    if (error == ERROR_NOT_ENOUGH_MEMORY || error == ERROR_OUTOFMEMORY)
      fprintf(stderr, "rainbow_render: not enough memory for a %dx%d picture\n", o.width, o.height);
    else
      fprintf(stderr, "rainbow_render: cannot create the window [ERROR: %lu]\n",
              static_cast<unsigned long>(error));
    return nullptr;
  }
  if (!SetWindowPos(hwnd, nullptr, 0, 0, o.width, o.height, SWP_NOMOVE | SWP_NOZORDER) &&
      GetLastError() == ERROR_NOT_ENOUGH_MEMORY) {
    fprintf(stderr, "rainbow_render: not enough memory for a %dx%d picture\n", o.width, o.height);
    DestroyWindow(hwnd);
    return nullptr;
  }
  RECT client = {};
  DWORD* pixels = nullptr;
  if (!GetClientRect(hwnd, &client) || client.right != o.width || client.bottom != o.height ||
      !(pixels = PlatformClientPixels(hwnd, o.width, o.height))) {
    fprintf(stderr, "rainbow_render: cannot make a %dx%d window\n", o.width, o.height);
    DestroyWindow(hwnd);
    return nullptr;
  }
  Backdrop backdrop;
  std::string reason;
  if (!o.backdrop.empty() && !backdrop.load(hwnd, o.backdrop, &reason)) {
    fprintf(stderr, "rainbow_render: cannot show %s: %s\n", o.backdrop.c_str(), reason.c_str());
    DestroyWindow(hwnd);
    return nullptr;
  }
  const unsigned first_paint = rainbow_rand_state();
  ShowWindow(hwnd, SW_SHOWDEFAULT);
  UpdateWindow(hwnd);
  if (!o.backdrop.empty()) {
    if (!backdrop.paint(hwnd, o.width, o.height, &reason)) {
      fprintf(stderr, "rainbow_render: cannot show %s: %s\n", o.backdrop.c_str(), reason.c_str());
      DestroyWindow(hwnd);
      return nullptr;
    }
    repeat_first_sample(hwnd, first_paint);
  }
  if (threads == 1) {
    draw_in_turn(hwnd, o);
    return hwnd;
  }
  const Canvas canvas = {reinterpret_cast<uint32_t*>(pixels), o.width, o.height};
  if (draw_in_parallel(canvas, rainbow_rand_state(), o, threads)) return hwnd;
  // The stretches overran the end: as rare as a walk of many times the
  // spread, and drawn again in turn.
  DestroyWindow(hwnd);
  rainbow_srand(program_start);
  return draw(o, 1);
}

int render(const Options& o) {
  Output out;
  std::string reason;
  if (!out.open(o.out, &reason)) {
    fprintf(stderr, "rainbow_render: cannot write %s: %s\n", o.out.c_str(), reason.c_str());
    return 1;
  }
  g_hinst = GetModuleHandleA(nullptr);
  const int threads = o.threads > 0 ? o.threads : std::min(usable_processors(), 1024);
  HWND hwnd = draw(o, threads);
  if (!hwnd) {
    out.abandon();
    return 1;
  }
  const uint32_t* pixels =
      reinterpret_cast<const uint32_t*>(PlatformClientPixels(hwnd, o.width, o.height));
  const bool written =
      write_png(out.file(), pixels, o.width, o.height, threads, &reason) && out.commit(&reason);
  DestroyWindow(hwnd);
  if (!written) {
    out.abandon();
    fprintf(stderr, "rainbow_render: cannot write %s: %s\n", o.out.c_str(), reason.c_str());
    return 1;
  }
  if (o.out == "-") return 0;  // standard output holds the picture, not a report
  printf("wrote %s (%dx%d, %llu steps)\n", o.out.c_str(), o.width, o.height, o.steps);
  if (fflush(stdout) != 0 || ferror(stdout)) {
    fprintf(stderr, "rainbow_render: cannot write to standard output: %s\n", strerror(errno));
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  hold_standard_descriptors();
  // A reader that goes away is a failed write like any other (EPIPE): one
  // line and exit 1, not a silent death by SIGPIPE.
  signal(SIGPIPE, SIG_IGN);
  Options o;
  std::string problem;
  if (!parse_options(argc, argv, &o, &problem)) {
    fprintf(stderr, "rainbow_render: %s\n%s", problem.c_str(), kUsage);
    return 2;
  }
  if (o.help) {
    fputs(kUsage, stdout);
    fputs(kHelp, stdout);
    return fflush(stdout) == 0 && !ferror(stdout) ? 0 : 1;
  }
  try {
    return o.physical ? render_physical(o) : render(o);
  } catch (const std::bad_alloc&) {
    remove_temporary_name();
    fprintf(stderr, "rainbow_render: not enough memory for a %dx%d picture\n", o.width, o.height);
    return 1;
  } catch (const std::system_error& e) {  // no thread could be started
    remove_temporary_name();
    fprintf(stderr, "rainbow_render: cannot start a thread: %s\n", e.what());
    return 1;
  }
}
