// libFuzzer target for jpeg_decode: whatever the bytes, it either returns a
// well-formed 32 bpp picture or fails with a reason and an empty Dib.  A wrong
// answer aborts, as a crash would; the sanitizers catch the rest.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "dib.h"

namespace {

// Pictures of up to a mebipixel: decoding the largest a few bytes may claim
// (2^26 pixels, in libjpeg built with the sanitizers) takes seconds, which
// would only slow the search; the cap's own path is the same at any size.
const uint64_t kMaxPixels = uint64_t(1) << 20;

void check(bool good, const char* what) {
  if (good) return;
  fprintf(stderr, "jpeg_decode: %s\n", what);
  abort();
}

// Stale contents, which a failure must clear and a success must replace.
void dirty(plat::Dib* dib, std::string* reason) {
  dib->width = 3, dib->height = 5, dib->bpp = 8;
  dib->masks[0] = 1;
  dib->palette.resize(256);
  dib->bits.assign(12, 0x55);
  *reason = "stale";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  plat::Dib dib;
  std::string reason;
  dirty(&dib, &reason);
  DWORD error = 0xDEADBEEF;
  if (!plat::jpeg_decode(data, size, &dib, &reason, kMaxPixels, &error)) {
    check(!reason.empty() && reason != "stale", "failure without its reason");
    check(error == ERROR_INVALID_DATA || error == ERROR_FILE_TOO_LARGE ||
              error == ERROR_NOT_ENOUGH_MEMORY,
          "failure without its error");
    check(dib.width == 0 && dib.height == 0 && dib.bpp == 0, "failure left a size");
    check(dib.masks[0] == 0 && dib.masks[1] == 0 && dib.masks[2] == 0, "failure left masks");
    check(dib.bits.empty() && dib.palette.empty(), "failure left pixels");
    return 0;
  }
  check(reason.empty() && error == ERROR_SUCCESS, "success with a reason");
  check(size >= 4 && data[0] == 0xFF && data[1] == 0xD8, "success without a start of image");
  check(dib.width > 0 && dib.height > 0, "empty picture");
  check(uint64_t(dib.width) * uint64_t(dib.height) <= kMaxPixels, "picture too large");
  check(dib.bpp == 32 && dib.palette.empty(), "not 32 bpp without a palette");
  check(dib.masks[0] == 0x00FF0000 && dib.masks[1] == 0x0000FF00 && dib.masks[2] == 0x000000FF,
        "wrong masks");
  check(dib.bits.size() == size_t(dib.width) * 4 * size_t(dib.height), "wrong byte count");
  for (size_t i = 3; i < dib.bits.size(); i += 4) check(dib.bits[i] == 255, "alpha not 255");

  // The same bytes give the same pixels: a read of uninitialised memory
  // shows up as a difference.
  plat::Dib again;
  dirty(&again, &reason);
  check(plat::jpeg_decode(data, size, &again, &reason, kMaxPixels), "second decode failed");
  check(again.bits == dib.bits, "second decode differs");
  return 0;
}
