// The physical model's figures, with no benchmark library: rays per second
// on one thread, and a 1920 x 1080 picture's time (rays and development)
// and grain in the bows on two.  The grain is the relative noise per pixel of the luminance over
// the bows (40-42.5 and 50.5-54 degrees from the antisolar point, above the horizon), from two runs
// with different seeds: the RMS of their relative difference over the square root of two.
//
//   rainbow_physical_rate [RAYS]      default 4000000 for the picture
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include <chrono>
#include <thread>
#include <vector>

#include "sky.h"

namespace {

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// `rays` rays of seed `seed` on `threads` threads into *sum.
double picture(const physical::Sky& sky, uint64_t rays, int threads, physical::Tally* sum) {
  const auto start = std::chrono::steady_clock::now();
  std::vector<physical::Tally> tallies(static_cast<size_t>(threads));
  std::vector<std::thread> pool;
  for (int k = 0; k < threads; ++k)
    pool.emplace_back([&, k] {
      sky.clear(&tallies[static_cast<size_t>(k)]);
      const uint64_t first = rays / static_cast<uint64_t>(threads) * static_cast<uint64_t>(k);
      const uint64_t last = k + 1 == threads ? rays : first + rays / static_cast<uint64_t>(threads);
      sky.trace(first, last - first, &tallies[static_cast<size_t>(k)]);
    });
  for (std::thread& t : pool) t.join();
  for (int k = 1; k < threads; ++k) tallies[0].add(tallies[static_cast<size_t>(k)]);
  *sum = std::move(tallies[0]);
  return seconds_since(start);
}

// CPU time of the whole process: the threads' time while it runs, however
// many other processes share the machine.
double cpu_seconds() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

}  // namespace

int main(int argc, char** argv) {
  const uint64_t rays = argc > 1 ? strtoull(argv[1], nullptr, 10) : 4000000;
  physical::Settings s;
  s.width = 1920, s.height = 1080;
  physical::Sky sky;
  std::string problem;
  if (!sky.setup(s, 1, &problem)) return fprintf(stderr, "%s\n", problem.c_str()), 1;

  physical::Tally one;
  const uint64_t rate_rays = 20000000;
  const double cpu0 = cpu_seconds();
  const double t1 = picture(sky, rate_rays, 1, &one);
  const double cpu1 = cpu_seconds() - cpu0;
  printf("physical rays, one thread, 1920x1080: %.2f M rays/s (%.2f M per CPU second)\n",
         rate_rays / t1 * 1e-6, rate_rays / cpu1 * 1e-6);
  {
    const auto start = std::chrono::steady_clock::now();
    std::vector<uint32_t> pixels(1920 * 1080);
    sky.develop(one, rate_rays, 0, false, pixels.data());
    printf("developing the 1920x1080 picture, one thread: %.2f s\n", seconds_since(start));
  }

  physical::Tally a, b;
  double ta = picture(sky, rays, 2, &a);
  {
    const auto start = std::chrono::steady_clock::now();
    std::vector<uint32_t> pixels(1920 * 1080);
    sky.develop(a, rays, 0, false, pixels.data(), 2);
    ta += seconds_since(start);
  }
  s.seed = 2;
  physical::Sky other;
  other.setup(s, 1, &problem);
  picture(other, rays, 2, &b);
  // xbase 960, ybase 945; xdiff 935 and ydiff 675 pixels to 60 degrees.
  std::vector<float> xyz_a, xyz_b;
  sky.sky_xyz(a, rays, &xyz_a);
  other.sky_xyz(b, rays, &xyz_b);
  double sum = 0, count = 0;
  for (int y = 0; y < 945; ++y)
    for (int x = 0; x < 1920; ++x) {
      const double dx = (x + 0.5 - 960) / 935 * 60, dy = (945 - y - 0.5) / 675 * 60;
      const double d = sqrt(dx * dx + dy * dy);
      if (!((d > 40 && d < 42.5) || (d > 50.5 && d < 54))) continue;
      const size_t k = 3 * (static_cast<size_t>(y) * 1920 + static_cast<size_t>(x)) + 1;
      const double ya = static_cast<double>(xyz_a[k]), yb = static_cast<double>(xyz_b[k]);
      if (ya + yb <= 0) continue;
      const double rel = (ya - yb) / (0.5 * (ya + yb));
      sum += rel * rel, count += 1;
    }
  printf("1920x1080, %llu rays on two threads: %.2f s; grain in the bows %.2f %%\n",
         static_cast<unsigned long long>(rays), ta, 100 * sqrt(sum / count / 2));
  return 0;
}
