// rainbow_render's PNG: 8-bit RGB, no prediction filters, written a row at
// a time from the client's pixels.
#ifndef RAINBOW_TOOLS_RENDER_PNG_H
#define RAINBOW_TOOLS_RENDER_PNG_H

#include <stdint.h>
#include <stdio.h>

#include <string>

// Rows of 0x..RRGGBB pixels (the top byte is ignored), `width` apart.
// False with the reason, and nothing printed, when it cannot be written.
bool write_png(FILE* f, const uint32_t* pixels, int width, int height, std::string* reason);

#endif  // RAINBOW_TOOLS_RENDER_PNG_H
