#include "render_physical.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <rainbow_platform.h>

#include "render_backdrop.h"
#include "render_output.h"
#include "render_progress.h"
#include "render_png.h"
#include "shell.h"
#include "sky.h"

namespace {

// Rays are dealt out in chunks of this many, whichever thread takes them:
// each ray's light depends on its index alone, and integer sums on no order.
const uint64_t kChunk = 1 << 16;
// The threads' tallies share this much memory; fewer threads draw when a
// fine profile would need more (the picture is the same).
const size_t kTallyBudget = size_t{1} << 30;

// All the rays on `threads` threads into one tally, reported from this one.
void trace_all(const physical::Sky& sky, uint64_t rays, int threads, physical::Tally* sum) {
  const uint64_t chunks = (rays + kChunk - 1) / kChunk;
  const size_t bytes = std::max<size_t>(1, sky.tally_bytes());
  size_t workers = std::min<size_t>(static_cast<size_t>(threads), kTallyBudget / bytes);
  workers = std::max<size_t>(1, std::min<size_t>(workers, std::max<uint64_t>(1, chunks)));
  std::vector<physical::Tally> tallies(workers);
  for (physical::Tally& t : tallies) sky.clear(&t);
  std::atomic<uint64_t> next{0}, done{0};
  auto work = [&](physical::Tally* t) {
    for (uint64_t c; (c = next++) < chunks;) {
      const uint64_t first = c * kChunk, count = std::min(kChunk, rays - first);
      sky.trace(first, count, t);
      done += count;
    }
  };
  std::mutex lock;
  std::condition_variable ended;
  size_t finished = 0;
  std::vector<std::thread> pool;
  for (size_t k = 0; k < workers; ++k)
    pool.emplace_back([&, k] {
      work(&tallies[k]);
      std::lock_guard<std::mutex> hold(lock);
      ++finished;
      ended.notify_one();
    });
  Progress progress(rays, "rays");
  {
    std::unique_lock<std::mutex> hold(lock);
    while (
        !ended.wait_for(hold, std::chrono::milliseconds(20), [&] { return finished == workers; }))
      progress.at(done);
  }
  for (std::thread& th : pool) th.join();
  progress.finish();
  for (size_t k = 1; k < workers; ++k) tallies[0].add(tallies[k]);
  *sum = std::move(tallies[0]);
}

// The backdrop stretched over the picture as the backdrop programs show
// it, through a window that is never shown.
bool paint_backdrop(const Options& o, std::vector<uint32_t>* pixels, std::string* reason) {
  g_hinst = GetModuleHandleA(nullptr);
  HWND hwnd = rainbow_create_main_window(g_hinst);
  if (!hwnd) return *reason = "cannot create the window", false;
  RECT client = {};
  DWORD* p = nullptr;
  Backdrop backdrop;
  const bool ok =
      SetWindowPos(hwnd, nullptr, 0, 0, o.width, o.height, SWP_NOMOVE | SWP_NOZORDER) &&
      GetClientRect(hwnd, &client) && client.right == o.width && client.bottom == o.height &&
      (p = PlatformClientPixels(hwnd, o.width, o.height)) != nullptr &&
      backdrop.load(hwnd, o.backdrop, reason) && backdrop.paint(hwnd, o.width, o.height, reason);
  if (ok) {
    p = PlatformClientPixels(hwnd, o.width, o.height);
    for (size_t k = 0; k < pixels->size(); ++k) (*pixels)[k] = p[k] & 0xFFFFFF;
  } else if (reason->empty()) {
    *reason = "cannot make a window of that size";
  }
  DestroyWindow(hwnd);
  return ok;
}

bool write_profile(FILE* f, const physical::Sky& sky, const physical::Tally& t, uint64_t rays) {
  fputs("scattering_angle_deg,perpendicular,parallel\n", f);
  for (int k = 0; k < sky.profile_bins(); ++k) {
    double perpendicular, parallel;
    sky.profile_value(t, rays, k, &perpendicular, &parallel);
    fprintf(f, "%.6f,%.9g,%.9g\n", sky.profile_angle(k), perpendicular, parallel);
  }
  return !ferror(f);
}

}  // namespace

int render_physical(const Options& o) {
  Output out, profile_out;
  std::string reason;
  if (!out.open(o.out, &reason)) {
    fprintf(stderr, "rainbow_render: cannot write %s: %s\n", o.out.c_str(), reason.c_str());
    return 1;
  }
  if (!o.profile.empty() && !profile_out.open(o.profile, &reason)) {
    out.abandon();
    fprintf(stderr, "rainbow_render: cannot write %s: %s\n", o.profile.c_str(), reason.c_str());
    return 1;
  }
  auto give_up = [&](const std::string& what) {
    out.abandon();
    if (!o.profile.empty()) profile_out.abandon();
    fprintf(stderr, "rainbow_render: %s\n", what.c_str());
    return 1;
  };
  const int threads = o.threads > 0 ? o.threads : std::min(usable_processors(), 1024);
  physical::Settings settings = o.sky;
  settings.width = o.width;
  settings.height = o.height;
  settings.profile = !o.profile.empty();
  physical::Sky sky;
  if (!sky.setup(settings, threads, &reason)) return give_up(reason);

  std::vector<uint32_t> pixels(static_cast<size_t>(o.width) * static_cast<size_t>(o.height), 0);
  if (!o.backdrop.empty() && !paint_backdrop(o, &pixels, &reason))
    return give_up("cannot show " + o.backdrop + ": " + reason);
  physical::Tally tally;
  trace_all(sky, o.steps, threads, &tally);
  const double exposure =
      sky.develop(tally, o.steps, o.exposure, !o.backdrop.empty(), pixels.data(), threads);

  if (!write_png(out.file(), pixels.data(), o.width, o.height, threads, &reason) ||
      !out.commit(&reason))
    return give_up("cannot write " + o.out + ": " + reason);
  if (!o.profile.empty() &&
      (!write_profile(profile_out.file(), sky, tally, o.steps) || !profile_out.commit(&reason))) {
    profile_out.abandon();
    fprintf(stderr, "rainbow_render: cannot write %s: %s\n", o.profile.c_str(),
            reason.empty() ? strerror(errno) : reason.c_str());
    return 1;
  }
  if (o.out == "-") return 0;  // standard output holds the picture, not a report
  printf("wrote %s (%dx%d, %llu rays, exposure %.6g)\n", o.out.c_str(), o.width, o.height, o.steps,
         exposure);
  if (fflush(stdout) != 0 || ferror(stdout)) {
    fprintf(stderr, "rainbow_render: cannot write to standard output: %s\n", strerror(errno));
    return 1;
  }
  return 0;
}
