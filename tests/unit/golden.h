// The plain program's picture, drawn headless as rainbow_render draws it.
#ifndef RAINBOW_TESTS_UNIT_GOLDEN_H
#define RAINBOW_TESTS_UNIT_GOLDEN_H

#include <stdint.h>

namespace rt {

const int kGoldenWidth = 320, kGoldenHeight = 240;
const unsigned long kGoldenSteps = 200000;
// FNV-1a 64 of the client pixels (see fnv1a); changes with any change in
// the generator, the order of draws, the optics, the layout or the plotting.
const uint64_t kGoldenHash = 0x2d4a5576271befc4ull;

}  // namespace rt

#endif  // RAINBOW_TESTS_UNIT_GOLDEN_H
