// Device-independent bitmaps in memory: the pixels behind a bitmap handle,
// the BMP file reader, the JPEG decoder, and reading and stretching the
// pixels a program hands to GDI.
//
// Bytes only: no SDL, no window or handle state, no exceptions out of these
// functions.  Every size taken from a file or a header is checked before it
// is used or allocated.  Colours come out as 0x00RRGGBB.
#ifndef RAINBOW_PLATFORM_CODECS_DIB_H
#define RAINBOW_PLATFORM_CODECS_DIB_H

#include <windows.h>

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

namespace plat {

// A bitmap's own pixels, in its own format: what LoadImageA keeps and what
// GetDIBits copies out.
struct Dib {
  int width = 0;   // > 0
  int height = 0;  // > 0; rows are stored bottom-up, as GetDIBits returns them
  int bpp = 0;     // 1, 4, 8, 16, 24 or 32
  // 16 and 32 bpp: the red, green and blue masks (also for files stored as
  // BI_RGB: 16 bpp then means 00007C00 000003E0 0000001F, 32 bpp 00FF0000
  // 0000FF00 000000FF).  0 for the other depths.
  DWORD masks[3] = {0, 0, 0};
  std::vector<RGBQUAD> palette;  // exactly 1 << bpp entries for bpp <= 8, else empty
  std::vector<uint8_t> bits;     // height rows of dib_stride(width, bpp) bytes, bottom row first
};

// Bytes in one row of a DIB: width * bpp bits, rounded up to whole 32-bit
// words.  0 when width or bpp is out of range or the result overflows.
size_t dib_stride(int width, int bpp);

// Empties *bytes and gives it room for n bytes of memory not yet touched,
// in large pages where the system offers them: a picture's fresh pixels then
// cost one page fault per 2 MiB instead of one per 4 KiB.  May throw
// std::bad_alloc.
void fresh_bytes(std::vector<uint8_t>* bytes, size_t n);

// Advises the system to back [p, p + n) with large pages from its first
// touch; contents and ownership unchanged.  Does nothing where there are none.
void prefer_large_pages(void* p, size_t n);

// Largest picture the decoders make, in pixels (8192 x 8192), checked from a
// file's header before anything is allocated: at 32 bpp, 256 MiB.
const uint64_t kMaxPicturePixels = uint64_t(1) << 26;
const uint64_t kJpegMaxPixels = kMaxPicturePixels;

// Largest file that can hold such a picture: its pixels at 32 bpp, and a
// mebibyte for the headers, the colour table and whatever lies between them.
// Larger files are refused before they are read.
const uint64_t kMaxPictureFileBytes = (kMaxPicturePixels << 2) + (uint64_t(1) << 20);

// A BITMAPCOREHEADER, or a BITMAPINFOHEADER or any longer version (whose
// first 40 bytes are the same), as the file reader and GDI's calls read it.
struct DibHeader {
  uint32_t size = 0;  // biSize: 12 for a core header, 40 or more otherwise
  bool core = false;
  int width = 0;   // > 0
  int height = 0;  // > 0
  bool top_down = false;
  unsigned planes = 0;
  unsigned bpp = 0;            // 1, 4, 8, 16, 24 or 32 (not 16 or 32 in a core header)
  DWORD compression = BI_RGB;  // BI_BITFIELDS only at 16 and 32 bpp, RLE only at its depth
  DWORD size_image = 0;
  DWORD clr_used = 0;
  DWORD masks[3] = {0, 0, 0};  // read at offset 40 for BI_BITFIELDS; else as Dib's
  size_t stride = 0;           // dib_stride(width, bpp)
  size_t image_bytes = 0;      // stride * height
  // Colour-table entries the header describes: biClrUsed, 0 meaning all
  // 1 << bpp (always all after a core header).  0 above 8 bpp.
  size_t colours() const;
};

// Why dib_header_read refused a header: kBadParameter for what Windows'
// loader calls a bad parameter (width not above 0, height 0, an unsupported
// bit count), kBadData for anything else.
enum class DibFault { kNone, kBadParameter, kBadData };

// Reads the header at `h`, of which `available` bytes may be read (the masks
// of BI_BITFIELDS need 52).  On a refusal returns the fault with *reason set.
DibFault dib_header_read(const uint8_t* h, size_t available, DibHeader* out, const char** reason);

// Reads a BMP file held whole in memory.  Accepts what Windows' loader
// accepts: the 12-byte core header and the 40-byte info header and its
// larger versions (V2, V3, V4, V5); 1, 4, 8, 16, 24 and 32 bpp; BI_RGB,
// BI_BITFIELDS (16 and 32 bpp) and BI_RLE8 / BI_RLE4 (decompressed here);
// bottom-up and top-down rows (top-down rows are turned bottom-up).
// On failure returns false, leaves *out empty and sets *error to the Win32
// error LoadImageA reports: ERROR_INVALID_PARAMETER (87) for a width or
// height of 0, a negative width, or a bit count of 0 or another unsupported
// value; ERROR_FILE_TOO_LARGE (223) for a picture of more than
// kMaxPicturePixels; ERROR_NOT_ENOUGH_MEMORY (8) when memory runs out;
// ERROR_INVALID_DATA (13) for anything else malformed or truncated.
// Never reads outside data[0..size) and never allocates more than the file
// can describe (RLE pixels included: see the reader for the bound).
bool bmp_read(const uint8_t* data, size_t size, Dib* out, DWORD* error);

// The same for a file read whole into *file, whose memory becomes the Dib's
// pixels where it can (so that a large picture is not copied into fresh
// memory): *file is left in any state, and the Dib may keep a little more
// memory than its pixels need.
bool bmp_adopt(std::vector<uint8_t>* file, Dib* out, DWORD* error);

// Decodes a JPEG file held whole in memory with libjpeg-turbo (its default
// settings, as djpeg uses them) into a 32 bpp Dib: bytes B, G, R, 255 per
// pixel, masks 00FF0000 0000FF00 000000FF, rows bottom-up.  Greyscale, YCbCr,
// RGB, CMYK and YCCK (Adobe's inverted CMYK in the right colours) all come
// out as RGB.  Any libjpeg warning (a premature end of data, for example)
// counts as failure, as does a frame of more than max_pixels.  On failure
// returns false, leaves *out empty, puts the reason into *reason and the
// Win32 error OleLoadPicture reports into *error (when not null):
// ERROR_FILE_TOO_LARGE (223) for a frame of more pixels than allowed,
// ERROR_NOT_ENOUGH_MEMORY (8) when the decoding needs more working memory
// than a picture's pixels (a large progressive file's coefficients) or
// memory runs out, ERROR_INVALID_DATA (13) for anything else.
bool jpeg_decode(const uint8_t* data, size_t size, Dib* out, std::string* reason,
                 uint64_t max_pixels = kJpegMaxPixels, DWORD* error = nullptr);

// A program's pixels as GDI receives them: a BITMAPINFO whose colour table
// starts biSize bytes into the record and whose three masks (BI_BITFIELDS)
// sit at offset 40, whatever biSize says, and the pixel bits.
struct DibView {
  int width = 0;
  int height = 0;         // always > 0
  bool top_down = false;  // the header's height was negative
  int bpp = 0;
  DWORD compression = BI_RGB;  // BI_RGB or BI_BITFIELDS (RLE is decompressed into `own`)
  DWORD masks[3] = {0, 0, 0};  // 16 and 32 bpp, as for Dib
  const RGBQUAD* palette = nullptr;
  int palette_size = 0;  // entries at `palette`; pixel values past it read as black
  const uint8_t* bits = nullptr;
  size_t stride = 0;
  std::vector<uint8_t> own;  // decompressed RLE pixels, when `bits` points here
  // A core header's colour table widened to RGBQUADs, when `palette` points here.
  std::vector<RGBQUAD> own_palette;
};

// The same reading as bmp_read, as a view of the pixels where they lie in
// `data` (RLE pixels decompressed into the view's own buffer, the colour
// table as 1 << bpp entries in its own palette): for a caller that turns them
// into another format, without a copy in the file's own.
bool bmp_view(const uint8_t* data, size_t size, DibView* out, DWORD* error);

// Describes `info` and `bits` for reading.  Checks the header as
// StretchDIBits does: biSize of at least 40 (or 12 for a core header), a
// width above 0, a height not 0, a bit count of 1, 4, 8, 16, 24 or 32,
// BI_BITFIELDS only with 16 or 32 bpp, BI_RLE8 only with 8 and BI_RLE4 only
// with 4 (biSizeImage bytes of RLE data), `bits` not null.  `usage` must be
// DIB_RGB_COLORS.  The colour table holds biClrUsed entries (0: 1 << bpp).
// On failure returns false and sets *error (ERROR_INVALID_PARAMETER;
// ERROR_NOT_ENOUGH_MEMORY when RLE pixels cannot be allocated; 0 when only
// `bits` is null, for which StretchDIBits leaves the last error alone).
// The caller vouches that `info` and `bits` are as large as the header says.
bool dib_view(const BITMAPINFO* info, const void* bits, UINT usage, DibView* out, DWORD* error);

// The same for a bitmap's own pixels.
void dib_view_of(const Dib& dib, DibView* out);

// Colour of the pixel at column x and row y counted from the top of the
// picture, as 0x00RRGGBB.  Both must be inside the picture.
uint32_t dib_pixel(const DibView& v, int x, int y);

// COLORONCOLOR's choice of source pixel along one axis: for destination
// index d (from the left, or from the top), source length s and destination
// length n (both > 0), the source index, counted the same way:
//   enlarging or the same size (n >= s):  ((2d + 1) s - 1) / (2n)
//   shrinking, horizontally:              ((2d + 2) s - n) / (2n)
//   shrinking, vertically:                (2d s + n) / (2n)
// in 64-bit integer arithmetic.
int64_t stretch_source_index(int64_t d, int64_t s, int64_t n, bool vertical);

// Receives one run of destination pixels: `count` colours for the pixels
// (x, y) .. (x + count - 1, y).
typedef void (*DibRowSink)(void* context, int x, int y, int count, const uint32_t* rgb);

// Stretches the source rectangle (xs, ys, ws, hs) of `v` onto the destination
// rectangle (xd, yd, wd, hd) with COLORONCOLOR's rule, and hands every
// destination pixel inside `clip` to `sink`, row by row, top to bottom.
// As in Win32, ys counts from the bottom row of a bottom-up picture and from
// the top row of a top-down one.  All four extents must be above 0.  A
// destination pixel whose source pixel lies outside the picture is not
// handed on.
void dib_stretch(const DibView& v, int xs, int ys, int ws, int hs, int xd, int yd, int wd, int hd,
                 const RECT& clip, DibRowSink sink, void* context);

}  // namespace plat

#endif  // RAINBOW_PLATFORM_CODECS_DIB_H
