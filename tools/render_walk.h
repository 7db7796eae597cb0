// The sample steps of a render, split over threads with the same picture
// as one thread drawing them one after another.
//
// The steps draw from one generator, two numbers for a point outside the
// drop and five inside, so where a step starts in the sequence depends on
// every step before it.  The sequence, not the steps, is split: the
// generator jumps to any position at once, and a walk begun anywhere soon
// falls onto the steps' true starts.  Walks begun at five neighbouring
// positions (the true walk passes through one of them) are run until they
// meet; where they meet is a true start, found with no knowledge of what
// came before.  The stretches between such starts are drawn in rounds, one
// a thread; a stretch logs the pixels it sets instead of setting them, and
// after each round every thread sets the logged pixels of its own band of
// rows in the order of the sequence, so the latest step's colour is what
// each pixel keeps.  The steps between the last stretch and the end, whose
// count is known only once every stretch is done, are drawn last by one
// thread; the stretches stop short of where the end is expected by many
// times the count's spread.
#ifndef RAINBOW_TOOLS_RENDER_WALK_H
#define RAINBOW_TOOLS_RENDER_WALK_H

#include <stdint.h>

#include <atomic>

// Where the steps draw: rows of 0x00RRGGBB pixels, `width` apart.
struct Canvas {
  uint32_t* px;
  int width, height;
};

// How the parallel part is cut: the draws it covers and how many stretches
// (whole rounds of one a thread, each short enough that its log of pixels
// stays a few megabytes, however large the picture or long the render).
struct WalkPlan {
  unsigned long long parallel_draws;
  unsigned long long stretches;
};
WalkPlan plan_walk(unsigned long long steps, int threads);

// Draws `steps` sample steps, the first at generator state `state`, into
// `canvas` with up to `threads` threads, adding to `done` as steps finish.
// False (the canvas then holds extra steps) in the case the plan exists to
// make vanishingly rare: the stretches held more steps than asked for, or
// walks that did not meet; or when there was no memory for the threads'
// logs.  The caller then draws again with one thread.
bool walk_steps(const Canvas& canvas, unsigned state, unsigned long long steps, int threads,
                std::atomic<unsigned long long>* done, const WalkPlan* plan = nullptr);

// The draws the steps are expected to take on average, and their spread
// per step (for the plan, and its tests).
double mean_draws_per_step();
double spread_of_draws_per_step();

#endif  // RAINBOW_TOOLS_RENDER_WALK_H
