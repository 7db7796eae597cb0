#include "render_walk.h"

#include <math.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include <rainbow_platform.h>

#include "rainbow.h"

namespace {

// Draws in a round, shared by its stretches: long enough that finding a
// stretch's ends (a few hundred draws) and the wait at the end of each round
// are lost in it, short enough that the hits (under 2 MB a stretch) stay in
// the cache until they are set.  A round's draws, not a stretch's, are
// bounded, so the logs take the same memory however many threads there are
// (two rounds' worth: a few MB), down to the shortest useful stretch.
const unsigned long long kRound = 1 << 19;
const unsigned long long kStretch = 1 << 18;
const unsigned long long kMinStretch = 1 << 14;  // draws; walks meet within a few hundred
const int kMeetLimit = 1 << 20;                  // steps the walks may take before meeting
// Bands, one a thread up to this many: setting pixels is a small part of
// the work, so the rest of the threads need none, and a log a band for
// each of a thousand threads would cost more than their hits.
const int kMostBands = 256;

// The fraction of the generator's points that fall inside the drop
// (rainbow_inside_drop), over the square of RAINBOW_POINT_HALF each side.
double inside_fraction() {
  static const double fraction = [] {
    const int half = RAINBOW_POINT_HALF;
    long long inside = 0;
    for (int x = -half; x < half; ++x) {
      int y = static_cast<int>(sqrt(static_cast<double>(half) * half - static_cast<double>(x) * x));
      while (y >= 0 && !rainbow_inside_drop(x, y)) --y;
      while (y + 1 < half && rainbow_inside_drop(x, y + 1)) ++y;
      inside += y < 0 ? 0 : 2 * y + 1;  // -y..y
    }
    return static_cast<double>(inside) / (4.0 * half * half);
  }();
  return fraction;
}

inline bool on_canvas(const Canvas& c, int x, int y) {
  return static_cast<unsigned>(x) < static_cast<unsigned>(c.width) &&
         static_cast<unsigned>(y) < static_cast<unsigned>(c.height);
}

inline uint32_t index_of(const Canvas& c, int x, int y) {
  return static_cast<uint32_t>(y) * static_cast<uint32_t>(c.width) + static_cast<uint32_t>(x);
}

// The first place at or after `at` where a step truly starts, whatever came
// before: false if the walks did not meet.
bool true_start(unsigned state, unsigned long long at, unsigned long long* start) {
  if (at == 0) return *start = 0, true;  // the first step's own start
  // A step takes at most RAINBOW_DRAWS_INSIDE draws: one walk from each
  // place it may start.
  unsigned long long pos[RAINBOW_DRAWS_INSIDE];
  unsigned gen[RAINBOW_DRAWS_INSIDE];
  int live = RAINBOW_DRAWS_INSIDE;
  for (int i = 0; i < RAINBOW_DRAWS_INSIDE; ++i) {
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

// Every thread waits here until all have come, and all leave with the same
// answer to whether a stretch has failed, taken when the last came.  The
// wait between rounds is short, so a thread watches for the others a while
// before it sleeps.
class Barrier {
 public:
  void set_count(int n) { count_ = n; }
  bool wait(const std::atomic<bool>& failed) {
    const unsigned round = round_.load(std::memory_order_acquire);
    if (arrived_.fetch_add(1, std::memory_order_acq_rel) + 1 == count_) {
      arrived_.store(0, std::memory_order_relaxed);
      stop_ = failed.load(std::memory_order_relaxed);
      {
        std::lock_guard<std::mutex> hold(lock_);
        round_.store(round + 1, std::memory_order_release);
      }
      woken_.notify_all();
      return stop_;
    }
    for (int i = 0; i < 1 << 14; ++i)
      if (round_.load(std::memory_order_acquire) != round) return stop_;
    std::unique_lock<std::mutex> hold(lock_);
    woken_.wait(hold, [&] { return round_.load(std::memory_order_acquire) != round; });
    return stop_;
  }

 private:
  int count_ = 1;
  bool stop_ = false;  // written by the last to come, while the rest wait
  std::atomic<int> arrived_{0};
  std::atomic<unsigned> round_{0};
  std::mutex lock_;
  std::condition_variable woken_;
};

// A pixel set by a step: where, and its 0x00RRGGBB colour.
struct Hit {
  uint32_t at, rgb;
};
typedef std::vector<Hit> Log;

// The stretches are drawn in rounds, thread k drawing the round's k-th
// stretch.  A stretch does not set pixels but logs its hits by band of rows
// (bands interleave, so each thread has a share of the bows), and after
// the round thread b sets band b's hits, stretch by stretch in the order of
// the sequence: the pixels end as one thread drawing in turn leaves them,
// and no two threads store to one line.  Logs come in two sets, so one
// round's hits are set while the next round's are drawn.
struct Shared {
  const Canvas* canvas;
  unsigned state;
  WalkPlan plan;
  int threads = 0;  // known once they are started
  int bands = 0;
  std::mutex start_lock;
  std::condition_variable started;
  Barrier barrier;
  std::atomic<bool> failed{false};
  std::atomic<unsigned long long>* done;
  std::vector<uint16_t> band_of_row;
  std::vector<std::vector<Log>> logs[2];     // [set][thread][band]
  std::vector<unsigned long long> steps_by;  // each thread's step count
  unsigned long long end = 0;                // where the last stretch ends
};

// Where stretch k begins, before the walks find a true start: the plan's
// draws in equal parts.
unsigned long long stretch_at(const WalkPlan& plan, unsigned long long k) {
  const unsigned long long d = plan.parallel_draws, n = plan.stretches;
  return d / n * k + d % n * k / n;
}

// Draws stretch k into `logs`, one per band; false when its steps do not
// end exactly at the next stretch's start.
bool draw_stretch(Shared* s, unsigned long long k, std::vector<Log>* logs,
                  unsigned long long* steps) {
  unsigned long long pos = 0, to = 0;
  if (!true_start(s->state, stretch_at(s->plan, k), &pos) ||
      !true_start(s->state, stretch_at(s->plan, k + 1), &to) || pos > to)
    return false;
  const Canvas& c = *s->canvas;
  const uint16_t* band = s->band_of_row.data();
  // Each hit moves the end of a log: the logs are kept on this thread's own
  // stack while it draws, where no other thread's data shares their lines
  // (in the heap, beside another thread's, they took twice the time).
  Log log[kMostBands];
  const size_t bands = logs->size();
  for (size_t b = 0; b < bands; ++b) log[b].swap((*logs)[b]);
  unsigned gen = rainbow_rand_skip(s->state, pos);
  unsigned long long n = 0, reported = 0;
  rainbow_hits hits;
  while (pos < to) {
    const int draws = rainbow_sample_on(&gen, &hits);
    if (draws == 0) return false;
    for (int j = 0; j < hits.count; ++j) {
      const int x = hits.point[j].x, y = hits.point[j].y;
      if (on_canvas(c, x, y))
        log[band[y]].push_back({index_of(c, x, y), PlatformRgbFromColorref(hits.point[j].color)});
    }
    pos += static_cast<unsigned>(draws);
    if ((++n & 0xFFFF) == 0)
      s->done->fetch_add(n - reported, std::memory_order_relaxed), reported = n;
  }
  s->done->fetch_add(n - reported, std::memory_order_relaxed);
  for (size_t b = 0; b < bands; ++b) log[b].swap((*logs)[b]);
  *steps += n;
  if (k + 1 == s->plan.stretches) s->end = to;
  return pos == to;
}

// Band b's hits of one round, in the order they were drawn.
void set_band(Shared* s, int set, int b) {
  uint32_t* px = s->canvas->px;
  for (std::vector<Log>& by_band : s->logs[set]) {
    const Log& log = by_band[static_cast<size_t>(b)];
    const size_t n = log.size();
    const Hit* hit = log.data();
    // A large picture's pixels are rarely in the cache: fetch ahead.
    for (size_t i = 0; i < n; ++i) {
      if (i + 16 < n) __builtin_prefetch(px + hit[i + 16].at, 1);
      px[hit[i].at] = hit[i].rgb;
    }
  }
}

void worker(Shared* s, int t) {
  {
    std::unique_lock<std::mutex> hold(s->start_lock);
    s->started.wait(hold, [&] { return s->threads > 0; });
  }
  const unsigned long long n = static_cast<unsigned>(s->threads),
                           rounds = (s->plan.stretches + n - 1) / n;
  const size_t me = static_cast<size_t>(t);
  unsigned long long* steps = &s->steps_by[me];
  auto draw = [&](unsigned long long round) {
    std::vector<Log>& logs = s->logs[round & 1][me];
    for (Log& log : logs) log.clear();
    const unsigned long long k = round * n + me;
    try {
      if (k < s->plan.stretches && !s->failed.load(std::memory_order_relaxed) &&
          !draw_stretch(s, k, &logs, steps))
        s->failed = true;
    } catch (const std::bad_alloc&) {  // no room for the log: one thread needs none
      s->failed = true;
    }
  };
  draw(0);
  for (unsigned long long round = 0; round < rounds; ++round) {
    if (s->barrier.wait(s->failed)) return;
    if (t < s->bands) set_band(s, static_cast<int>(round & 1), t);
    if (round + 1 < rounds) draw(round + 1);
  }
}

}  // namespace

double mean_draws_per_step() {
  return RAINBOW_DRAWS_OUTSIDE + (RAINBOW_DRAWS_INSIDE - RAINBOW_DRAWS_OUTSIDE) * inside_fraction();
}

double spread_of_draws_per_step() {
  const double p = inside_fraction();
  return (RAINBOW_DRAWS_INSIDE - RAINBOW_DRAWS_OUTSIDE) * sqrt(p * (1 - p));
}

WalkPlan plan_walk(unsigned long long steps, int threads) {
  const double n = static_cast<double>(steps);
  // Ten spreads short of the expected end, and a margin for small counts.
  const double draws = n * mean_draws_per_step() - 10 * sqrt(n) * spread_of_draws_per_step() -
                       static_cast<double>(kMinStretch);
  if (threads < 2 || !(draws >= 2.0 * kMinStretch)) return {0, 0};
  const unsigned long long d = static_cast<unsigned long long>(draws),
                           t = static_cast<unsigned>(threads);
  // Whole rounds of stretches of at most kStretch draws, kRound a round;
  // fewer and longer for a short render, where they would be too short to
  // be worth a thread.
  const unsigned long long stretch = std::max(kMinStretch, std::min(kStretch, kRound / t));
  const unsigned long long rounds = (d + t * stretch - 1) / (t * stretch);
  const unsigned long long most = d / kMinStretch;  // whole rounds where there is one
  return {d, std::min(rounds * t, most >= t ? most / t * t : most)};
}

bool walk_steps(const Canvas& canvas, unsigned state, unsigned long long steps, int threads,
                std::atomic<unsigned long long>* done, const WalkPlan* plan) {
  Shared s;
  s.canvas = &canvas;
  s.state = state;
  s.plan = plan ? *plan : plan_walk(steps, threads);
  s.done = done;
  const int wanted = static_cast<int>(
      std::min<unsigned long long>(static_cast<unsigned>(std::max(threads, 1)), s.plan.stretches));
  // Everything that may run out of memory before the threads start, which
  // then wait for the count of them that did.
  const size_t most = static_cast<size_t>(std::max(wanted, 1));
  s.band_of_row.resize(static_cast<size_t>(canvas.height));
  const size_t most_bands = std::min<size_t>(most, kMostBands);
  for (auto& set : s.logs) set.assign(most, std::vector<Log>(most_bands));
  s.steps_by.assign(most, 0);
  std::vector<std::thread> pool;
  pool.reserve(most);
  try {
    for (int t = 1; t < wanted; ++t) pool.emplace_back(worker, &s, t);
  } catch (const std::system_error&) {  // fewer threads: the same picture, later
  }
  const int used = 1 + static_cast<int>(pool.size());
  // Bands of eight rows, so a line of the cache is in one band; thinner
  // where the picture has fewer than sixteen such bands a thread, which
  // would leave some threads far more of the bows to set than others.
  const int bands = std::min(used, kMostBands);
  const int rows = std::max(1, std::min(8, canvas.height / (16 * bands)));
  for (int y = 0; y < canvas.height; ++y)
    s.band_of_row[static_cast<size_t>(y)] = static_cast<uint16_t>(y / rows % bands);
  s.bands = bands;
  for (auto& set : s.logs) {
    set.resize(static_cast<size_t>(used));
    for (std::vector<Log>& by_band : set) by_band.resize(static_cast<size_t>(bands));
  }
  s.barrier.set_count(used);
  if (s.plan.stretches > 0) {
    {
      std::lock_guard<std::mutex> hold(s.start_lock);
      s.threads = used;
    }
    s.started.notify_all();
    worker(&s, 0);
  }
  for (std::thread& t : pool) t.join();
  if (s.failed) return false;
  unsigned long long before = 0;
  for (unsigned long long n : s.steps_by) before += n;
  if (before > steps) return false;
  // The rest one after another, over everything drawn before.
  unsigned gen = rainbow_rand_skip(state, s.end);
  rainbow_hits hits;
  for (unsigned long long i = before; i < steps; ++i) {
    if (rainbow_sample_on(&gen, &hits) == 0) return false;
    for (int j = 0; j < hits.count; ++j)
      if (on_canvas(canvas, hits.point[j].x, hits.point[j].y))
        canvas.px[index_of(canvas, hits.point[j].x, hits.point[j].y)] =
            PlatformRgbFromColorref(hits.point[j].color);
    if ((i & 0xFFFF) == 0) done->store(i, std::memory_order_relaxed);
  }
  done->store(steps, std::memory_order_relaxed);
  return true;
}
