// JPEG structure reader: marker segment walk, frame size, EXIF orientation.
//
// Bounds rule. The caller's buffer is the only memory touched, and every
// length and offset found in the file is checked against it before use:
//  - the walk returns a segment only if it lies wholly inside the buffer: a
//    stated length below 2 (it counts its own two bytes) or a payload running
//    past the end gives no segment;
//  - in an EXIF block the directory offset, the entry count and each entry up
//    to the orientation entry must lie inside the block; the first that does
//    not ends the search with orientation 0.
// Wherever reading the file as it states stays inside the buffer, the result
// is the same as with no checks at all; only where it would not is the answer
// "no segment" or 0 instead.

#include "jpeg_read.h"

#include <string.h>

const unsigned char marquerAPP1[2] = {1, 0xE1};
// 0xC4 (Huffman tables), 0xC8 (reserved) and 0xCC (arithmetic conditioning)
// share the range but are not frames.
const unsigned char markersSOx[14] = {13,   0xC0, 0xC1, 0xC2, 0xC3, 0xC5, 0xC6,
                                      0xC7, 0xC9, 0xCA, 0xCB, 0xCD, 0xCE, 0xCF};

int intel = 1;

namespace {

bool in_list(const unsigned char* markers, unsigned char code) {
  for (unsigned i = 1; i <= markers[0]; i++) {
    if (markers[i] == code) return true;
  }
  return false;
}

// EXIF numbers, in the order `intel` names.
unsigned get16(const unsigned char* b) {
  return intel ? b[0] | b[1] << 8 : b[0] << 8 | b[1];
}

uint32_t get32(const unsigned char* b) {
  return intel ? (uint32_t)get16(b + 2) << 16 | get16(b) : (uint32_t)get16(b) << 16 | get16(b + 2);
}

void put16(unsigned char* b, unsigned v) {
  const unsigned char lo = (unsigned char)(v & 0xFF), hi = (unsigned char)(v >> 8 & 0xFF);
  b[0] = intel ? lo : hi;
  b[1] = intel ? hi : lo;
}

// EXIF header: "Exif" and a zero byte (the sixth byte, a second zero, is not
// looked at), then the TIFF byte-order mark "II" or "MM". Only the mark's first
// letter decides, so "IM" reads little-endian. A block must be longer than 30
// bytes. Sets `intel` only when the header is accepted.
bool exif_header(const unsigned char* data, unsigned len) {
  if (!data || len <= 30 || memcmp(data, "Exif", 5) != 0) return false;
  if (data[6] == 'I') {
    intel = 1;
  } else if (data[6] == 'M') {
    intel = 0;
  } else {
    return false;
  }
  return true;
}

}  // namespace

// A JPEG file is a start-of-image marker FF D8 followed by marker segments:
// FF, a code, a big-endian 16-bit length that counts itself, then the payload.
// Headers end at the start of scan (DA), after which entropy-coded data
// follows, or at the end of image (D9).
bool jpeg_find_segment(const unsigned char* p, unsigned len, const unsigned char* markers,
                       unsigned* payload_off, unsigned* payload_len) {
  if (!p || !markers || len < 8 || p[0] != 0xFF || p[1] != 0xD8 || p[2] != 0xFF) return false;
  // q indexes the current marker's code; its two length bytes are always
  // inside the buffer (q + 2 < len): true for q = 3 as len >= 8, and every
  // jump below leaves six bytes after the next FF.
  unsigned q = 3;
  for (;;) {
    const unsigned char code = p[q];
    if (code == 0xD9 || code == 0xDA) return false;
    // Every other code, fill byte FF and the length-less RSTn, TEM and SOI
    // included, is read as carrying a length: files that use them mid-header
    // end the walk at the next byte that is not FF.
    const unsigned seg = (unsigned)p[q + 1] << 8 | p[q + 2];
    // Too short to count itself. (Followed as stated, such a length would land
    // the next marker on its own length bytes, which are never FF.)
    if (seg < 2) return false;
    const unsigned room = len - q - 1;  // bytes from the length field to the end
    if (in_list(markers, code)) {
      if (seg > room) return false;  // payload runs past the end
      *payload_off = q + 3;
      *payload_len = seg - 2;
      return true;
    }
    // The next marker's FF sits at q + 1 + seg and must leave six bytes after
    // it; otherwise there is no result.
    if (seg > room || room - seg < 6 || p[q + 1 + seg] != 0xFF) return false;
    q += seg + 2;
  }
}

// Frame header payload: precision (1 byte), height (2), width (2), components...
bool jpeg_frame_size(const unsigned char* sof, unsigned len, uint32_t* frame_size) {
  if (!sof || len < 5) return false;
  *frame_size = (uint32_t)sof[1] << 24 | (uint32_t)sof[2] << 16 | (uint32_t)sof[3] << 8 | sof[4];
  return true;
}

bool GetExifBuffer(unsigned char*& data, unsigned& len) {
  if (!exif_header(data, len)) return false;
  data += 6;
  len -= 6;
  return true;
}

unsigned short GetOrientation(unsigned char* data, unsigned len, unsigned short set_to) {
  // A whole JPEG file (the walk checks for its start): only its first APP1
  // segment is examined. If there is none, the file itself fails the EXIF
  // header check below.
  unsigned off, n;
  if (jpeg_find_segment(data, len, marquerAPP1, &off, &n)) {
    data += off;
    len = n;
  }
  if (!GetExifBuffer(data, len)) return 0;

  // TIFF header (len > 24 from here): byte-order mark (2), 42 (2), offset of
  // the first directory IFD0 (4). Offsets count from the byte-order mark.
  const uint32_t ifd = get32(data + 4);
  if (ifd > len - 2) return 0;  // no room for the entry count
  // IFD0: a 16-bit entry count, then 12-byte entries: tag (2), type (2),
  // component count (4), value or offset of the value (4).
  const unsigned entries = get16(data + ifd);
  unsigned at = ifd + 2;
  for (unsigned i = 0; i < entries; i++, at += 12) {
    if (len - at < 12) return 0;  // entry past the end of the block
    unsigned char* e = data + at;
    // The orientation is one number; an entry with any other count is skipped.
    if (get16(e) != 0x0112 || get32(e + 4) != 1) continue;
    unsigned value;
    switch (get16(e + 2)) {
      case 3:  // SHORT
      case 8:  // SSHORT
        value = get16(e + 8);
        break;
      case 4:  // LONG
      case 9:  // SLONG: the low 16 bits
        value = get32(e + 8) & 0xFFFF;
        break;
      case 1:  // BYTE
      case 6:  // SBYTE
        value = e[8];
        break;
      default:
        value = 0;
        break;
    }
    // Rewrite as a SHORT whatever the type was; the count and the last two
    // value bytes stay as they are.
    if (set_to != 0) {
      put16(e + 2, 3);
      put16(e + 8, set_to);
    }
    return (unsigned short)value;
  }
  return 0;
}
