// Fuzz target for the JPEG structure reader: the segment walk with both marker
// lists, the frame size, GetExifBuffer, and GetOrientation with and without
// set_to. Besides the sanitizers' findings it aborts on a wrong answer that
// stays in bounds.
#include "jpeg_read.h"

#include <limits.h>
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

namespace {

void check(bool ok) {
  if (!ok) abort();
}

bool listed(const unsigned char* list, unsigned char code) {
  return memchr(list + 1, code, list[0]) != nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > UINT_MAX) return 0;
  const unsigned len = (unsigned)size;

  for (const unsigned char* list : {marquerAPP1, markersSOx}) {
    unsigned off = 0, n = 0;
    if (!jpeg_find_segment(data, len, list, &off, &n)) continue;
    // The payload lies inside the buffer, after SOI and its segment's header:
    // FF, a listed code, and a length that counts itself.
    check(off >= 5 && off <= len && n <= len - off);
    check(data[off - 4] == 0xFF && listed(list, data[off - 3]));
    check((data[off - 2] << 8 | data[off - 1]) == (int)n + 2);
    uint32_t frame = 0;
    check(jpeg_frame_size(data + off, n, &frame) == (n >= 5));
  }

  // GetOrientation writes, so it gets copies, sized exactly so that ASan sees
  // any step outside.
  if (size == 0) {
    check(GetOrientation(nullptr, 0, 1) == 0);
    return 0;
  }
  std::vector<unsigned char> a(data, data + size), b(a);
  const unsigned short set_to =
      size >= 2 ? static_cast<unsigned short>(data[size - 2] << 8 | data[size - 1])
                : static_cast<unsigned short>(1);
  const unsigned short old = GetOrientation(a.data(), len, 0);
  check(memcmp(a.data(), data, size) == 0);  // no rewrite without set_to
  check(GetOrientation(b.data(), len, set_to ? set_to : 1) == old);

  unsigned char* p = a.data();
  unsigned n = len;
  if (GetExifBuffer(p, n)) {
    check(p == a.data() + 6 && n == len - 6 && (intel == 0 || intel == 1));
  } else {
    check(p == a.data() && n == len);
  }
  return 0;
}
