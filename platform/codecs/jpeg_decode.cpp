// JPEG files to 32 bpp DIBs through libjpeg-turbo, for OleLoadPicture.
//
// libjpeg reports errors through callbacks that must not return, so every
// call into it runs under one setjmp in decode() and the callbacks longjmp
// back there.  A longjmp may not skip a C++ destructor: decode() and the
// callbacks hold plain values only, and everything that owns memory (the
// decompressor, the output pixels) belongs to the caller, jpeg_decode(),
// which releases it on every path.
#include "dib.h"

#include <setjmp.h>
#include <stdio.h>  // jpeglib.h uses FILE and size_t without including them

#include <algorithm>
#include <new>

#include <jpeglib.h>
// After jpeglib.h, which it needs: the codes of libjpeg's messages.
#include <jerror.h>

namespace plat {
namespace {

// libjpeg's own progressive scripts use at most 24 scans (four components),
// and encoders that tune the scans stay far below this.  Each scan may cost a
// pass over every block of the picture, so without a limit a small crafted
// file of many empty scans would keep the decoder busy for minutes.
const int kMaxScans = 100;

// The decompressor's own memory: as much as the largest picture's pixels.
const long kMaxWorkingBytes = static_cast<long>(kJpegMaxPixels * 4);

// Rows handed to jpeg_read_scanlines per call; it returns what it has ready
// (at most one iMCU row, 16 rows), so more would only sit unused.
const int kRowsPerCall = 16;

// The decompressor and where its callbacks jump to.  Plain C data: it lives
// in jpeg_decode()'s frame, outside the frame that calls setjmp.
struct Session {
  jpeg_decompress_struct cinfo;
  uint64_t max_pixels;
  jpeg_error_mgr err;
  jpeg_progress_mgr progress;
  jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
  DWORD error;  // the Win32 error for the refusal: ERROR_INVALID_DATA unless set
};

Session* session_of(j_common_ptr cinfo) {
  return static_cast<Session*>(cinfo->client_data);
}

// The Win32 error for one of libjpeg's messages: its refusals of memory and
// of sizes it cannot hold are no fault of the data.
DWORD error_of(int code) {
  switch (code) {
    case JERR_OUT_OF_MEMORY:
    case JERR_NO_BACKING_STORE:  // working memory beyond max_memory_to_use
      return ERROR_NOT_ENOUGH_MEMORY;
    case JERR_IMAGE_TOO_BIG:
    case JERR_WIDTH_OVERFLOW:
      return ERROR_FILE_TOO_LARGE;
    default:
      return ERROR_INVALID_DATA;
  }
}

// Every error, every warning and the scan limit end here.
[[noreturn]] void fail(j_common_ptr cinfo) {
  Session* s = session_of(cinfo);
  (*cinfo->err->format_message)(cinfo, s->message);
  s->error = error_of(cinfo->err->msg_code);
  longjmp(s->jump, 1);
}

// A warning (level -1) means damaged data that libjpeg would paper over with
// grey; a picture that is partly made up is no picture.  Levels 0 and above
// are trace messages, kept quiet.
void on_message(j_common_ptr cinfo, int level) {
  if (level < 0) fail(cinfo);
}

// libjpeg's default writes to stderr.  Nothing calls this once error_exit and
// emit_message are replaced, but a stray call must stay silent too.
void on_output(j_common_ptr) {}

void on_progress(j_common_ptr cinfo) {
  if (!cinfo->is_decompressor) return;
  j_decompress_ptr d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (d->input_scan_number <= kMaxScans) return;
  snprintf(session_of(cinfo)->message, JMSG_LENGTH_MAX, "more than %d scans", kMaxScans);
  longjmp(session_of(cinfo)->jump, 1);
}

void own_message(Session* s, const char* text) {
  snprintf(s->message, JMSG_LENGTH_MAX, "%s", text);
}

// djpeg's conversion of libjpeg's CMYK (Adobe's inverted samples: 255 means
// no ink) to RGB: round(v * k / 255), here in integers.  2vk + 255 is odd, so
// the quotient is never a tie and matches djpeg's double arithmetic exactly.
inline uint8_t ink(unsigned v, unsigned k) {
  return static_cast<uint8_t>((2 * v * k + 255) / 510);
}

// Refuses a frame larger than s->max_pixels, and chooses the output colour
// space: libjpeg turns greyscale, YCbCr and RGB into B, G, R, 255 itself;
// CMYK and YCCK come out as CMYK, converted by read_rows as djpeg does.  Any
// other component count (libjpeg's "unknown") has no colours to show.  Sets
// *cmyk; false with s->message set.  Plain values only (see above).
bool choose_output(Session* s, bool* cmyk) {
  jpeg_decompress_struct* cinfo = &s->cinfo;
  // Checked before jpeg_start_decompress, which allocates for the whole frame
  // (a progressive file's coefficients: two bytes per sample).  The frame
  // header may claim up to 65500 x 65500 over a few bytes of data.
  // 64 bits hold the product of any two JDIMENSIONs.
  const uint64_t pixels = uint64_t(cinfo->image_width) * cinfo->image_height;
  if (pixels == 0) {  // libjpeg refuses these itself; kept so that nothing below sees one
    own_message(s, "empty frame");
    return false;
  }
  if (pixels > s->max_pixels || pixels > kJpegMaxPixels) {
    snprintf(s->message, JMSG_LENGTH_MAX, "picture of %u x %u pixels is larger than %llu allowed",
             cinfo->image_width, cinfo->image_height,
             static_cast<unsigned long long>(std::min(s->max_pixels, kJpegMaxPixels)));
    s->error = ERROR_FILE_TOO_LARGE;
    return false;
  }
  *cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
  switch (cinfo->jpeg_color_space) {
    case JCS_GRAYSCALE:
    case JCS_YCbCr:
    case JCS_RGB:
      cinfo->out_color_space = JCS_EXT_BGRA;
      return true;
    case JCS_CMYK:
    case JCS_YCCK:
      cinfo->out_color_space = JCS_CMYK;
      return true;
    default:
      snprintf(s->message, JMSG_LENGTH_MAX, "unsupported colour space (%d components)",
               cinfo->num_components);
      return false;
  }
}

// Reads every output row into the picture whose top row starts at `top`
// (rows go downwards in memory from there: DIBs are bottom-up), converting
// CMYK through one row of libjpeg's pool, freed with the decompressor.
void read_rows(jpeg_decompress_struct* cinfo, bool cmyk, uint8_t* top, size_t stride) {
  const size_t width = cinfo->output_width, height = cinfo->output_height;
  JSAMPARRAY ink_row =
      cmyk ? (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                         static_cast<JDIMENSION>(stride), 1)
           : nullptr;
  while (cinfo->output_scanline < cinfo->output_height) {
    const size_t y = cinfo->output_scanline;  // from the top
    if (!cmyk) {
      JSAMPROW rows[kRowsPerCall];
      const size_t n = std::min<size_t>(kRowsPerCall, height - y);
      for (size_t i = 0; i < n; i++) rows[i] = top - (y + i) * stride;
      jpeg_read_scanlines(cinfo, rows, static_cast<JDIMENSION>(n));
      continue;
    }
    if (jpeg_read_scanlines(cinfo, ink_row, 1) != 1) continue;
    const uint8_t* in = ink_row[0];
    uint8_t* px = top - y * stride;
    for (size_t x = 0; x < width; x++, in += 4, px += 4) {
      px[0] = ink(in[2], in[3]);  // blue from yellow
      px[1] = ink(in[1], in[3]);  // green from magenta
      px[2] = ink(in[0], in[3]);  // red from cyan
      px[3] = 255;
    }
  }
}

// All the libjpeg calls.  On success fills *bits and the picture's size; on
// failure returns false with s->message set (bits may then hold anything).
// The caller destroys the decompressor either way.
bool decode(Session* s, const uint8_t* data, size_t size, std::vector<uint8_t>* bits, int* w,
            int* h) {
  jpeg_decompress_struct* cinfo = &s->cinfo;
  if (setjmp(s->jump)) return false;

  jpeg_create_decompress(cinfo);  // may fail (out of memory): after setjmp
  cinfo->progress = &s->progress;
  // A progressive file's coefficients may take no more than a picture's
  // pixels: past that libjpeg asks for backing store, which it has none of.
  cinfo->mem->max_memory_to_use = kMaxWorkingBytes;
  // A file held in memory whose end is the end of the data: running past it
  // is a warning (premature end), and so a failure.
  jpeg_mem_src(cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(cinfo, TRUE);  // up to the first scan; nothing large allocated yet
  bool cmyk = false;
  if (!choose_output(s, &cmyk)) return false;

  jpeg_start_decompress(cinfo);  // reads every scan of a progressive file
  // Scale 1/1 keeps the frame's size; both output spaces have 4 bytes a pixel.
  if (cinfo->output_width != cinfo->image_width || cinfo->output_height != cinfo->image_height ||
      cinfo->output_components != 4) {
    own_message(s, "unexpected output format");
    return false;
  }
  const size_t width = cinfo->output_width, height = cinfo->output_height;
  const size_t stride = width * 4;     // 32 bpp rows are whole words already
  fresh_bytes(bits, stride * height);  // may throw std::bad_alloc: caught by the caller
  bits->resize(stride * height);
  read_rows(cinfo, cmyk, bits->data() + stride * (height - 1), stride);
  // Reads on to the end of the image, so damage after the last row fails too.
  jpeg_finish_decompress(cinfo);
  *w = static_cast<int>(width);  // both within kJpegMaxPixels
  *h = static_cast<int>(height);
  return true;
}

void set_reason(std::string* reason, const char* text) noexcept {
  if (!reason) return;
  try {
    reason->assign(text);
  } catch (...) {  // allocating the text failed: leave it empty rather than throw
    reason->clear();
  }
}

}  // namespace

bool jpeg_decode(const uint8_t* data, size_t size, Dib* out, std::string* reason,
                 uint64_t max_pixels, DWORD* error) {
  if (error) *error = ERROR_INVALID_DATA;
  if (!out) {
    set_reason(reason, "no picture to decode into");
    return false;
  }
  *out = Dib();
  if (!data || size == 0) {
    set_reason(reason, "empty input");
    return false;
  }
  // jpeg_mem_src counts in unsigned long; the platform layer is built for
  // targets where that holds any size_t.
  static_assert(sizeof(size_t) <= sizeof(unsigned long), "jpeg_mem_src cannot take every size");

  Session s{};  // zeroed: jpeg_destroy_decompress is a no-op until created
  s.cinfo.err = jpeg_std_error(&s.err);
  s.err.error_exit = fail;
  s.err.emit_message = on_message;
  s.err.output_message = on_output;
  s.progress.progress_monitor = on_progress;
  s.cinfo.client_data = &s;  // kept by jpeg_create_decompress
  s.max_pixels = max_pixels;
  s.error = ERROR_INVALID_DATA;

  std::vector<uint8_t> bits;
  int width = 0, height = 0;
  bool ok = false;
  try {
    ok = decode(&s, data, size, &bits, &width, &height);
  } catch (const std::bad_alloc&) {
    own_message(&s, "out of memory");
    s.error = ERROR_NOT_ENOUGH_MEMORY;
  }
  jpeg_destroy_decompress(&s.cinfo);
  if (!ok) {
    set_reason(reason, s.message);
    if (error) *error = s.error;
    return false;
  }

  out->width = width;
  out->height = height;
  out->bpp = 32;
  out->masks[0] = 0x00FF0000;
  out->masks[1] = 0x0000FF00;
  out->masks[2] = 0x000000FF;
  out->bits.swap(bits);
  if (reason) reason->clear();
  if (error) *error = ERROR_SUCCESS;
  return true;
}

}  // namespace plat
