#include "render_png.h"

#include <errno.h>
#include <string.h>
#include <zlib.h>

#include <algorithm>
#include <system_error>
#include <thread>
#include <vector>

namespace {

const int kBandRows = 128;
const size_t kMaxChunk = 1 << 20;             // IDAT data per chunk
const size_t kRoundBytes = size_t{64} << 20;  // deflated bands held at once, at most

struct Band {
  std::vector<unsigned char> deflated;
  uLong adler = 1;
  uLong raw = 0;  // bytes before deflating
  bool ok = false;
};

void put32(unsigned char* p, uint32_t v) {
  p[0] = static_cast<unsigned char>(v >> 24), p[1] = static_cast<unsigned char>(v >> 16);
  p[2] = static_cast<unsigned char>(v >> 8), p[3] = static_cast<unsigned char>(v);
}

// Rows [first, last) as PNG scanlines (a filter byte of 0, then RGB),
// deflated raw; the last band of the picture closes the stream.
void deflate_band(const uint32_t* pixels, int w, int first, int last, bool final, Band* band) {
  z_stream z = {};
  if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    return;
  std::vector<unsigned char> row(1 + 3 * static_cast<size_t>(w));
  band->deflated.resize(deflateBound(&z, static_cast<uLong>(row.size()) * (last - first)) + 64);
  z.next_out = band->deflated.data();
  z.avail_out = static_cast<uInt>(band->deflated.size());
  int result = Z_OK;
  for (int y = first; y < last && result == Z_OK; ++y) {
    const uint32_t* p = pixels + static_cast<size_t>(y) * static_cast<size_t>(w);
    for (int x = 0; x < w; ++x) {
      row[1 + 3 * x] = static_cast<unsigned char>(p[x] >> 16);
      row[2 + 3 * x] = static_cast<unsigned char>(p[x] >> 8);
      row[3 + 3 * x] = static_cast<unsigned char>(p[x]);
    }
    band->adler = adler32(band->adler, row.data(), static_cast<uInt>(row.size()));
    band->raw += static_cast<uLong>(row.size());
    z.next_in = row.data();
    z.avail_in = static_cast<uInt>(row.size());
    const bool end = y + 1 == last;
    result = deflate(&z, !end ? Z_NO_FLUSH : final ? Z_FINISH : Z_SYNC_FLUSH);
    if (result == Z_STREAM_END || (result == Z_OK && z.avail_in == 0)) continue;
    result = Z_BUF_ERROR;
  }
  band->ok = (result == Z_OK || result == Z_STREAM_END) && z.avail_in == 0;
  band->deflated.resize(z.total_out);
  deflateEnd(&z);
}

class Writer {
 public:
  explicit Writer(FILE* f) : f_(f) {}
  bool bytes(const void* data, size_t n) {
    if (error_ == 0 && n > 0 && fwrite(data, 1, n, f_) != n) error_ = errno != 0 ? errno : EIO;
    return error_ == 0;
  }
  bool chunk(const char* type, const unsigned char* data, size_t n) {
    unsigned char head[8], tail[4];
    put32(head, static_cast<uint32_t>(n));
    memcpy(head + 4, type, 4);
    uLong crc = crc32(0, head + 4, 4);
    if (n > 0) crc = crc32(crc, data, static_cast<uInt>(n));
    put32(tail, static_cast<uint32_t>(crc));
    return bytes(head, 8) && bytes(data, n) && bytes(tail, 4);
  }
  int error() const { return error_; }

 private:
  FILE* f_;
  int error_ = 0;
};

}  // namespace

bool write_png(FILE* f, const uint32_t* pixels, int w, int h, int threads, std::string* reason) {
  Writer out(f);
  static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  unsigned char ihdr[13] = {};
  put32(ihdr, static_cast<uint32_t>(w));
  put32(ihdr + 4, static_cast<uint32_t>(h));
  ihdr[8] = 8;  // bits per channel; colour type 2 (RGB), no interlace
  ihdr[9] = 2;
  static const unsigned char kZlibHeader[2] = {0x78, 0x9C};  // deflate, 32 KiB window
  out.bytes(kSignature, 8);
  out.chunk("IHDR", ihdr, sizeof ihdr);
  out.chunk("IDAT", kZlibHeader, 2);
  const int bands = (h + kBandRows - 1) / kBandRows;
  const size_t band_bytes = (1 + 3 * static_cast<size_t>(w)) * kBandRows;
  const int at_once = static_cast<int>(std::max<size_t>(
      1, std::min<size_t>(static_cast<size_t>(std::max(threads, 1)), kRoundBytes / band_bytes)));
  uLong adler = 1;
  for (int first = 0; first < bands && out.error() == 0; first += at_once) {
    std::vector<Band> round(static_cast<size_t>(std::min(at_once, bands - first)));
    std::vector<std::thread> pool;
    for (size_t i = 0; i < round.size(); ++i) {
      const int b = first + static_cast<int>(i);
      auto work = [=, &round] {
        deflate_band(pixels, w, b * kBandRows, std::min(h, (b + 1) * kBandRows), b + 1 == bands,
                     &round[i]);
      };
      try {
        if (i > 0) pool.emplace_back(work);
      } catch (const std::system_error&) {
        work();  // no thread to spare: here instead
      }
      if (i == 0) work();
    }
    for (std::thread& t : pool) t.join();
    for (const Band& band : round) {
      if (!band.ok) return *reason = "the compressor failed", false;
      adler = adler32_combine(adler, band.adler, static_cast<z_off_t>(band.raw));
      for (size_t at = 0; at < band.deflated.size(); at += kMaxChunk)
        out.chunk("IDAT", band.deflated.data() + at,
                  std::min(kMaxChunk, band.deflated.size() - at));
    }
  }
  unsigned char check[4];
  put32(check, static_cast<uint32_t>(adler));
  out.chunk("IDAT", check, 4);
  out.chunk("IEND", nullptr, 0);
  if (out.error() != 0) *reason = strerror(out.error());
  return out.error() == 0;
}
