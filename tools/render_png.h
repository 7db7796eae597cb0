// rainbow_render's PNG: 8-bit RGB, no prediction filters.  Bands of rows
// are deflated on several threads at once and joined into one stream
// (each band but the last ends on a byte boundary without closing the
// stream), so a poster's PNG is not what a render on many cores waits for.
// Bands have a fixed height, so the file is the same for any thread count.
#ifndef RAINBOW_TOOLS_RENDER_PNG_H
#define RAINBOW_TOOLS_RENDER_PNG_H

#include <stdint.h>
#include <stdio.h>

#include <string>

// Rows of 0x..RRGGBB pixels (the top byte is ignored), `width` apart.
// False with the reason when it cannot be written.
bool write_png(FILE* f, const uint32_t* pixels, int width, int height, int threads,
               std::string* reason);

#endif  // RAINBOW_TOOLS_RENDER_PNG_H
