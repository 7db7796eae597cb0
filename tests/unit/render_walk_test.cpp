// rainbow_render's split of the steps over threads, on a plain array: any
// plan either draws the one-thread picture or says it could not.
#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "rainbow.h"
#include "render_walk.h"

namespace {

struct Picture {
  int w, h;
  std::vector<uint32_t> px;
  Canvas canvas() { return {px.data(), w, h}; }
  // The colours alone, without the stretches' numbers.
  std::vector<uint32_t> colours() const {
    std::vector<uint32_t> c(px);
    for (uint32_t& v : c) v &= 0xFFFFFF;
    return c;
  }
};

// The steps one after another, as the program runs them.
Picture in_turn(int w, int h, unsigned state, unsigned long long steps) {
  Picture p = {w, h, std::vector<uint32_t>(static_cast<size_t>(w * h), 0)};
  rainbow_hits hits;
  for (unsigned long long i = 0; i < steps; ++i) {
    rainbow_sample_on(&state, &hits);
    for (int j = 0; j < hits.count; ++j)
      if (hits.point[j].x >= 0 && hits.point[j].x < w && hits.point[j].y >= 0 &&
          hits.point[j].y < h)
        p.px[static_cast<size_t>(hits.point[j].y * w + hits.point[j].x)] =
            __builtin_bswap32(hits.point[j].color) >> 8;
  }
  return p;
}

TEST(RenderWalk, PlansCoverMostDrawsAndNeverTheEnd) {
  const struct {
    unsigned long long steps;
    int threads, stretches;
  } cases[] = {{0, 8, 0},
               {1000, 8, 0},
               {200000, 1, 0},
               {200000, 2, 12},
               {40000000, 2, 32},
               {40000000, 64, 254},
               {1000000000000ULL, 16, 254}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.steps);
    const WalkPlan plan = plan_walk(c.steps, c.threads);
    EXPECT_EQ(plan.stretches, c.stretches);
    const double mean = static_cast<double>(c.steps) * mean_draws_per_step();
    EXPECT_LE(static_cast<double>(plan.parallel_draws), mean);
    if (c.steps >= 40000000) {
      EXPECT_GT(static_cast<double>(plan.parallel_draws), 0.998 * mean);
    }
  }
  EXPECT_NEAR(mean_draws_per_step(), 2 + 3 * 3.14159265 / 4, 1e-4);
}

TEST(RenderWalk, AnyPlanDrawsTheOneThreadPictureOrSaysItCannot) {
  const int w = 320, h = 240;
  const unsigned long long steps = 400000;
  rainbow_update_layout(MAKELPARAM(w, h));
  const Picture want = in_turn(w, h, 1, steps);
  const struct {
    const char* what;
    WalkPlan plan;
    int threads;
    int drawn;  // 1 drawn, 0 refused, -1 either
  } cases[] = {
      {"its own plan", plan_walk(steps, 4), 4, 1},
      {"one stretch", {1000000, 1}, 3, 1},
      {"stretches of a few hundred draws", {100000, 254}, 7, 1},
      {"stretches of a few draws, walks overlapping", {700, 254}, 3, -1},
      {"stretches past the end", {steps * 5, 16}, 4, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Picture got = {w, h, std::vector<uint32_t>(static_cast<size_t>(w * h), 0)};
    std::atomic<unsigned long long> done{0};
    const bool drawn = walk_steps(got.canvas(), 1, steps, c.threads, &done, &c.plan);
    if (c.drawn >= 0) {
      EXPECT_EQ(drawn, c.drawn == 1);
    }
    if (drawn) {
      EXPECT_EQ(got.colours(), want.px);
      EXPECT_EQ(done.load(), steps);
    }
  }
}

}  // namespace
