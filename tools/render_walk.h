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
// came before.  Each stretch between two such starts is drawn by one
// thread, and each pixel keeps the colour of the latest stretch that set
// it: a stretch's number rides in the pixel's spare top byte, so a pixel
// is only replaced from the same or a later stretch.  The steps between
// the last stretch and the end, whose count is known only once every
// stretch is done, are drawn last by one thread; the stretches stop short
// of where the end is expected by many times the count's spread.
#ifndef RAINBOW_TOOLS_RENDER_WALK_H
#define RAINBOW_TOOLS_RENDER_WALK_H

#include <stdint.h>

#include <atomic>

// Where the steps draw: rows of 0x00RRGGBB pixels, `width` apart, each
// loaded and stored as a 32-bit atomic.
struct Canvas {
  uint32_t* px;
  int width, height;
};

// How the parallel part is cut: the draws it covers and how many stretches.
struct WalkPlan {
  unsigned long long parallel_draws;
  int stretches;
};
WalkPlan plan_walk(unsigned long long steps, int threads);

// Draws `steps` sample steps, the first at generator state `state`, into
// `canvas` with up to `threads` threads, adding to `done` as steps finish.
// False (the canvas then holds extra steps) in the case the plan exists to
// make vanishingly rare: the stretches held more steps than asked for, or
// walks that did not meet; the caller then draws again with one thread.
bool walk_steps(const Canvas& canvas, unsigned state, unsigned long long steps, int threads,
                std::atomic<unsigned long long>* done, const WalkPlan* plan = nullptr);

// The draws the steps are expected to take on average, and their spread
// per step (for the plan, and its tests).
double mean_draws_per_step();
double spread_of_draws_per_step();

#endif  // RAINBOW_TOOLS_RENDER_WALK_H
