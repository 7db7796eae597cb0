// rainbow_render's split of the steps over threads, on a plain array: any
// plan either draws the one-thread picture or says it could not.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <vector>

#include <rainbow_platform.h>

#include "rainbow.h"
#include "render_walk.h"

namespace {

struct Picture {
  int w, h;
  std::vector<uint32_t> px;
  Canvas canvas() { return {px.data(), w, h}; }
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
            PlatformRgbFromColorref(hits.point[j].color);
  }
  return p;
}

// Whole rounds of stretches short enough that their logs stay small, and
// never past the expected end.
TEST(RenderWalk, PlansCoverMostDrawsAndNeverTheEnd) {
  const struct {
    unsigned long long steps;
    int threads;
    unsigned long long stretches;
  } cases[] = {{0, 8, 0},
               {1000, 8, 0},
               {200000, 1, 0},
               {200000, 2, 4},
               {200000, 64, 51},
               {40000000, 2, 666},
               {40000000, 64, 10624},
               {1000000000000ULL, 16, 132940096}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.steps);
    const WalkPlan plan = plan_walk(c.steps, c.threads);
    EXPECT_EQ(plan.stretches, c.stretches);
    const double mean = static_cast<double>(c.steps) * mean_draws_per_step();
    EXPECT_LE(static_cast<double>(plan.parallel_draws), mean);
    if (c.steps >= 40000000) {
      EXPECT_GT(static_cast<double>(plan.parallel_draws), 0.998 * mean);
      EXPECT_EQ(plan.stretches % static_cast<unsigned>(c.threads), 0u);
      // The logs' memory does not grow with the threads: a round is at
      // most 2^19 draws, down to stretches of 2^14 (give or take the
      // rounding to whole rounds).
      EXPECT_LE(plan.parallel_draws / plan.stretches,
                std::max(1ULL << 14, (1ULL << 19) / static_cast<unsigned>(c.threads)) * 21 / 20);
    }
  }
  EXPECT_NEAR(mean_draws_per_step(), 2 + 3 * 3.14159265 / 4, 1e-4);
}

Picture split(int w, int h, unsigned long long steps, int threads, const WalkPlan* plan,
              bool* drawn) {
  Picture got = {w, h, std::vector<uint32_t>(static_cast<size_t>(w * h), 0)};
  std::atomic<unsigned long long> done{0};
  *drawn = walk_steps(got.canvas(), 1, steps, threads, &done, plan);
  if (*drawn) {
    EXPECT_EQ(done.load(), steps);
  }
  return got;
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
      {"stretches of a few hundred draws, the last round short", {100000, 254}, 7, 1},
      {"more threads than bands", {1600000, 600}, 300, 1},
      {"stretches of a few draws, walks overlapping", {700, 254}, 3, -1},
      {"stretches past the end", {steps * 5, 16}, 4, 0},
      {"the last round past the end", {steps * 9 / 2, 40}, 3, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    bool drawn = false;
    const Picture got = split(w, h, steps, c.threads, &c.plan, &drawn);
    if (c.drawn >= 0) {
      EXPECT_EQ(drawn, c.drawn == 1);
    }
    if (drawn) {
      EXPECT_EQ(got.px, want.px);
    }
  }
}

// Sizes from a single pixel to more bands than rows, step counts on both
// sides of the least one worth splitting, and many rounds of short
// stretches (the plan's own stretches, as a test can afford them, would be
// few): the one-thread picture for any thread count.
TEST(RenderWalk, ManyRoundsDrawTheOneThreadPicture) {
  unsigned long long least = 1;  // the fewest steps the plan splits
  while (plan_walk(least, 2).stretches == 0) least += 1000;
  while (plan_walk(least - 1, 2).stretches > 0) --least;
  const struct {
    int w, h;
    unsigned long long steps;
  } cases[] = {{64, 48, 0},         {64, 48, 5},    {320, 240, least - 1}, {320, 240, least},
               {160, 120, 2000000}, {1, 1, 300000}, {300, 7, 600000},      {40, 300, 600000}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << ", " << c.steps << " steps");
    rainbow_update_layout(MAKELPARAM(c.w, c.h));
    const Picture want = in_turn(c.w, c.h, 1, c.steps);
    for (int threads : {2, 3, 7, 16}) {
      SCOPED_TRACE(testing::Message() << threads << " threads");
      WalkPlan plan = plan_walk(c.steps, threads);
      // Stretches of about 20,000 draws, in whole rounds and a short one.
      plan.stretches = plan.parallel_draws / 20000 + 1;
      bool drawn = false;
      const Picture got = split(c.w, c.h, c.steps, threads, &plan, &drawn);
      EXPECT_TRUE(drawn);
      EXPECT_EQ(got.px, want.px);
      const WalkPlan own = plan_walk(c.steps, threads);
      EXPECT_EQ(split(c.w, c.h, c.steps, threads, &own, &drawn).px, want.px);
    }
  }
}

}  // namespace
