// Run-length coded BMP pixels (BI_RLE8, BI_RLE4), shared by the BMP reader
// and by dib_view, which reads the RLE pixels a program hands to GDI.
// Defined in bmp_read.cpp, where the format is described.
#ifndef RAINBOW_PLATFORM_CODECS_RLE_H
#define RAINBOW_PLATFORM_CODECS_RLE_H

#include <stddef.h>
#include <stdint.h>

namespace plat {

// Whether a picture of out_bytes may come from rle_bytes of RLE data: the
// bound that keeps a tiny file from asking for a huge allocation.
bool rle_fits(size_t out_bytes, size_t rle_bytes);

// Decodes the stream src[0..len) into height rows of `stride` bytes at dst,
// bottom row first; true at its end of bitmap or past the top row.
bool rle_unpack(const uint8_t* src, size_t len, int bpp, int width, int height, size_t stride,
                uint8_t* dst);

}  // namespace plat

#endif  // RAINBOW_PLATFORM_CODECS_RLE_H
