// rainbow_render --model physical: the physical model's picture (and
// profile) on every thread, written through the same output path as the
// classic picture.
#ifndef RAINBOW_TOOLS_RENDER_PHYSICAL_H
#define RAINBOW_TOOLS_RENDER_PHYSICAL_H

#include "render_options.h"

// The exit status: 0 written, 1 not (the reason on standard error).
int render_physical(const Options& o);

#endif  // RAINBOW_TOOLS_RENDER_PHYSICAL_H
