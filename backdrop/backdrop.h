// The backdrop programs: the bows drawn over a picture stretched to the
// window.  Both share the window procedure; each supplies its picture.
#ifndef RAINBOW_BACKDROP_BACKDROP_H
#define RAINBOW_BACKDROP_BACKDROP_H

#include <windows.h>

// The bitmap-information record of the backdrop: a header whose size field
// says 44 (header and one colour entry), with room behind it for all a
// pixel fetch writes there: 256 colour entries at offset 44, or three masks
// at offset 40.
struct t_BACKDROPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1 + 256];
};
extern t_BACKDROPINFO bmi;
extern void* pBits;       // the picture's pixels in its own format; null until loaded
extern int force_redraw;  // 1: the next paint first stretches the picture over the window

// Supplied by each program: the picture's file name, and loading it as a
// bitmap (null when it could not be loaded).
extern const char* backdrop_file;
HBITMAP backdrop_load(void);

#endif  // RAINBOW_BACKDROP_BACKDROP_H
