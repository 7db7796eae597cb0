// JPEG structure reader: the marker segment walk, the frame size and the EXIF
// orientation of a JPEG file held whole in memory.
//
// Bytes only: no platform call, no allocation, no exceptions. Nothing outside
// the caller's buffer is ever read or written; a truncated or malformed file
// gives "no segment" or orientation 0 (see jpeg_read.cpp for the exact rule).
#ifndef RAINBOW_BACKDROP_JPEG_READ_H
#define RAINBOW_BACKDROP_JPEG_READ_H

#include <stdint.h>

// Marker lists: the first byte is the number of codes that follow.
// marquerAPP1 holds the application segment that carries EXIF (0xE1);
// markersSOx holds every start-of-frame code.
extern const unsigned char marquerAPP1[2];
extern const unsigned char markersSOx[14];

// Byte order of the EXIF block that last passed the header check:
// 1 little-endian ("II"), 0 big-endian ("MM"). Starts at 1.
extern int intel;

// Walks the marker segments of the JPEG file p[0..len) and finds the first
// one whose code is in `markers`. On success stores where its payload starts
// (an offset into p, just after the two length bytes) and how long it is, and
// returns true. The walk stops without a result at the start of scan or end of
// image, and on anything that is not a well-formed segment inside the buffer.
bool jpeg_find_segment(const unsigned char* p, unsigned len, const unsigned char* markers,
                       unsigned* payload_off, unsigned* payload_len);

// Reads the four bytes after the precision byte of a start-of-frame payload as
// one big-endian number: height in the upper 16 bits, width in the lower.
// Returns false, leaving *frame_size alone, when fewer than 5 bytes are given.
bool jpeg_frame_size(const unsigned char* sof, unsigned len, uint32_t* frame_size);

// True when data[0..len) starts an EXIF block ("Exif\0", then a byte-order
// mark) longer than 30 bytes; sets `intel` and moves data and len past the
// six-byte header to the byte-order mark. On failure nothing changes.
bool GetExifBuffer(unsigned char*& data, unsigned& len);

// Returns the orientation (EXIF tag 0x0112) of an EXIF block or of a whole
// JPEG file (then its first APP1 segment is read), 0 when there is none.
// When set_to is not 0 the entry is rewritten in place as a 16-bit value
// set_to; the value before the rewrite is returned.
unsigned short GetOrientation(unsigned char* data, unsigned len, unsigned short set_to);

#endif  // RAINBOW_BACKDROP_JPEG_READ_H
