// The photo program's picture loader: reads a picture file whole, records
// its EXIF orientation and frame size from its own bytes, and has the
// system's picture decoder turn it into a bitmap.  One current picture is
// kept; the recorded orientation is not applied.
#ifndef RAINBOW_BACKDROP_PICTURE_LOADER_H
#define RAINBOW_BACKDROP_PICTURE_LOADER_H

#include <windows.h>

#include <ole2.h>
#include <olectl.h>

struct t_EIMAGE {
  DWORD handle;      // the decoded bitmap as a 32-bit OLE_HANDLE; 0 when none
  DWORD frame_size;  // from the frame header: height in the upper 16 bits, width in the lower
  BYTE orientation;  // EXIF orientation, 1 to 8 in practice; 0 when there is none
  BYTE kind;         // 6 once the decoder has produced a picture
};

extern t_EIMAGE m_image;   // the current picture of MakeImage
extern IPicture* pPict;    // the last decoded picture; owns the bitmap, never released
extern IStream* pIStream;  // the stream over the last file's bytes, never released

// Reads the file into a global memory block and decodes it; 1 when a
// picture was decoded.  A file that cannot be opened is shown in a message
// box.  The record is always cleared, then filled as far as the load gets.
int GetImagef(char* file_name, t_EIMAGE* image);

// The part of GetImagef that works on the block holding the file's `size`
// bytes: orientation, frame size, stream and decoding; 1 or 0.
int GetImage(void* block, unsigned size, t_EIMAGE* image);

// Replaces the current picture (its bitmap is deleted) by the named file's;
// returns the new bitmap, or null.
HBITMAP MakeImage(char* file_name);

#endif  // RAINBOW_BACKDROP_PICTURE_LOADER_H
