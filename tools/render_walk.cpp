#include "render_walk.h"

#include <math.h>

#include <algorithm>
#include <system_error>
#include <thread>
#include <vector>

#include "rainbow.h"

namespace {

const int kMaxStretches = 254;                   // numbers 1..254; 255 marks the last steps
const unsigned long long kMinStretch = 1 << 16;  // draws; walks meet within a few thousand
const int kMeetLimit = 1 << 20;                  // steps the walks may take before meeting
const unsigned kLastSteps = 255;

// The fraction of the generator's points that fall inside the drop: pairs
// (x, y) in [-16384, 16383]^2 with x * x + y * y < 2^28.
double inside_fraction() {
  static const double fraction = [] {
    long long inside = 0;
    for (long long x = -16384; x < 16384; ++x) {
      long long y = static_cast<long long>(sqrt(static_cast<double>((1LL << 28) - x * x)));
      while (y >= 0 && y * y + x * x >= (1LL << 28)) --y;
      while ((y + 1) * (y + 1) + x * x < (1LL << 28)) ++y;
      inside += y < 0 ? 0 : 2 * y + 1;  // -y..y
    }
    return static_cast<double>(inside) / (32768.0 * 32768.0);
  }();
  return fraction;
}

inline uint32_t* pixel_of(const Canvas& c, int x, int y) {
  if (static_cast<unsigned>(x) >= static_cast<unsigned>(c.width) ||
      static_cast<unsigned>(y) >= static_cast<unsigned>(c.height))
    return nullptr;
  return c.px + static_cast<size_t>(y) * static_cast<size_t>(c.width) + static_cast<size_t>(x);
}

// Sets a pixel unless a later stretch has set it already.
inline void plot(const Canvas& c, const rainbow_hits& hits, uint32_t stamp) {
  for (int j = 0; j < hits.count; ++j) {
    uint32_t* p = pixel_of(c, hits.point[j].x, hits.point[j].y);
    if (!p) continue;
    const uint32_t v = stamp << 24 | (__builtin_bswap32(hits.point[j].color) >> 8);
    uint32_t old = __atomic_load_n(p, __ATOMIC_RELAXED);
    while (old >> 24 <= stamp && old != v &&
           !__atomic_compare_exchange_n(p, &old, v, true, __ATOMIC_RELAXED, __ATOMIC_RELAXED)) {
    }
  }
}

// A large picture's pixels are rarely in the cache, and the compare-and-
// swap waits for its line where a plain store would not: each step's
// pixels are fetched ahead and set kAhead steps later, in the same order.
const int kAhead = 8;
class Plotter {
 public:
  Plotter(const Canvas& c, uint32_t stamp) : c_(c), stamp_(stamp) {}
  ~Plotter() {
    for (int i = 0; i < kAhead; ++i) plot(c_, ring_[(next_ + i) % kAhead], stamp_);
  }
  rainbow_hits* slot() {
    rainbow_hits* h = &ring_[next_];
    plot(c_, *h, stamp_);
    return h;
  }
  void fetched() {
    const rainbow_hits& h = ring_[next_];
    for (int j = 0; j < h.count; ++j)
      if (uint32_t* p = pixel_of(c_, h.point[j].x, h.point[j].y)) __builtin_prefetch(p, 1);
    next_ = (next_ + 1) % kAhead;
  }

 private:
  const Canvas& c_;
  uint32_t stamp_;
  rainbow_hits ring_[kAhead] = {};
  int next_ = 0;
};

// The first place at or after `at` where a step truly starts, whatever came
// before: false if the walks did not meet.
bool true_start(unsigned state, unsigned long long at, unsigned long long* start) {
  if (at == 0) return *start = 0, true;  // the first step's own start
  unsigned long long pos[5];
  unsigned gen[5];
  int live = 5;
  for (int i = 0; i < 5; ++i) {
    pos[i] = at + static_cast<unsigned>(i);
    gen[i] = rainbow_rand_skip(state, pos[i]);
  }
  rainbow_hits hits;
  for (int round = 0; round < kMeetLimit && live > 1; ++round) {
    const int lo = static_cast<int>(std::min_element(pos, pos + live) - pos);
    const int draws = rainbow_sample_on(&gen[lo], &hits);
    if (draws == 0) return false;
    pos[lo] += static_cast<unsigned>(draws);
    if (std::count(pos, pos + live, pos[lo]) > 1) {  // met another: one walk from here
      pos[lo] = pos[live - 1], gen[lo] = gen[live - 1];
      --live;
    }
  }
  *start = pos[0];
  return live == 1;
}

struct Shared {
  const Canvas* canvas;
  unsigned state;
  WalkPlan plan;
  std::atomic<int> next{0};
  std::atomic<bool> failed{false};
  std::atomic<unsigned long long>* done;
  std::vector<unsigned long long> steps_in;  // each stretch's step count
  unsigned long long end = 0;                // where the last stretch ends
};

// Steps from `from` while they start before `to`; how many, or -1 when the
// last does not end exactly at `to`.
long long draw_stretch(Shared* s, unsigned long long from, unsigned long long to, uint32_t stamp) {
  unsigned gen = rainbow_rand_skip(s->state, from);
  unsigned long long pos = from, n = 0, reported = 0;
  Plotter plotter(*s->canvas, stamp);
  while (pos < to) {
    const int draws = rainbow_sample_on(&gen, plotter.slot());
    if (draws == 0) return -1;
    plotter.fetched();
    pos += static_cast<unsigned>(draws);
    if ((++n & 0xFFFF) == 0)
      s->done->fetch_add(n - reported, std::memory_order_relaxed), reported = n;
  }
  s->done->fetch_add(n - reported, std::memory_order_relaxed);
  return pos == to ? static_cast<long long>(n) : -1;
}

void worker(Shared* s) {
  for (;;) {
    const int k = s->next.fetch_add(1, std::memory_order_relaxed);
    if (k >= s->plan.stretches || s->failed.load(std::memory_order_relaxed)) return;
    const unsigned long long d = s->plan.parallel_draws,
                             n = static_cast<unsigned>(s->plan.stretches);
    unsigned long long from = 0, to = 0;
    long long count = -1;
    if (true_start(s->state, d / n * static_cast<unsigned>(k), &from) &&
        true_start(s->state, k + 1 == s->plan.stretches ? d : d / n * static_cast<unsigned>(k + 1),
                   &to) &&
        from <= to)
      count = draw_stretch(s, from, to, static_cast<uint32_t>(k + 1));
    if (count < 0) {
      s->failed = true;
      return;
    }
    s->steps_in[static_cast<size_t>(k)] = static_cast<unsigned long long>(count);
    if (k + 1 == s->plan.stretches) s->end = to;
  }
}

}  // namespace

double mean_draws_per_step() {
  return 2 + 3 * inside_fraction();
}

double spread_of_draws_per_step() {
  const double p = inside_fraction();
  return 3 * sqrt(p * (1 - p));
}

WalkPlan plan_walk(unsigned long long steps, int threads) {
  const double n = static_cast<double>(steps);
  // Ten spreads short of the expected end, and a margin for small counts.
  const double draws = n * mean_draws_per_step() - 10 * sqrt(n) * spread_of_draws_per_step() -
                       static_cast<double>(kMinStretch);
  if (threads < 2 || !(draws >= 2.0 * kMinStretch)) return {0, 0};
  const unsigned long long d = static_cast<unsigned long long>(draws);
  const unsigned long long most = std::min<unsigned long long>(d / kMinStretch, kMaxStretches);
  return {d, static_cast<int>(
                 std::min<unsigned long long>(most, 16ULL * static_cast<unsigned>(threads)))};
}

bool walk_steps(const Canvas& canvas, unsigned state, unsigned long long steps, int threads,
                std::atomic<unsigned long long>* done, const WalkPlan* plan) {
  Shared s;
  s.canvas = &canvas;
  s.state = state;
  s.plan = plan ? *plan : plan_walk(steps, threads);
  s.done = done;
  s.steps_in.assign(static_cast<size_t>(s.plan.stretches), 0);
  std::vector<std::thread> pool;
  const int used = std::min(threads, s.plan.stretches);
  try {
    for (int t = 1; t < used; ++t) pool.emplace_back(worker, &s);
  } catch (const std::system_error&) {  // fewer threads: the same picture, later
  }
  worker(&s);
  for (std::thread& t : pool) t.join();
  if (s.failed) return false;
  unsigned long long before = 0;
  for (unsigned long long n : s.steps_in) before += n;
  if (before > steps) return false;
  // The rest one after another, over everything drawn before.
  unsigned gen = rainbow_rand_skip(state, s.end);
  Plotter plotter(canvas, kLastSteps);
  for (unsigned long long i = before; i < steps; ++i) {
    if (rainbow_sample_on(&gen, plotter.slot()) == 0) return false;
    plotter.fetched();
    if ((i & 0xFFFF) == 0) done->store(i, std::memory_order_relaxed);
  }
  done->store(steps, std::memory_order_relaxed);
  return true;
}
