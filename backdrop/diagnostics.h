// Failures the backdrop programs test for are reported as one line to the
// debugger output, built from a fixed format and the system's error text.
#ifndef RAINBOW_BACKDROP_DIAGNOSTICS_H
#define RAINBOW_BACKDROP_DIAGNOSTICS_H

#include <windows.h>

// Each debug line (and the loader's message-box text) is formatted here.  It
// has wsprintfA's own limit of 1024 bytes, so no line can run past it: a
// line is a format's prefix, a system text of up to 259 characters and a
// line feed.
extern char tempstr[1024];

// The text of the calling thread's last error, without its final line feed
// (so it still ends in a carriage return); overwritten by the next call.
// Call it right after the failure it describes.
char* get_system_message(void);

#endif  // RAINBOW_BACKDROP_DIAGNOSTICS_H
