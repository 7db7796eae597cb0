// Bitmaps: loading BMP files, reading a bitmap's own pixels, and stretching
// a program's pixels onto a device context.
//
// Supported: LoadImageA(IMAGE_BITMAP, LR_LOADFROMFILE, with or without
// LR_CREATEDIBSECTION, at the file's own size); GetDIBits' format query
// (biBitCount 0, no bits) and its pixel fetch in the bitmap's own format,
// bottom-up; SetStretchBltMode; StretchDIBits (DIB_RGB_COLORS, SRCCOPY, any
// depth and compression a BMP file may have) clipped to the device context.
// Stretch modes other than COLORONCOLOR draw as COLORONCOLOR does.
#include <string.h>

#include <algorithm>
#include <vector>

#include "dib.h"
#include "internal.h"

namespace plat {

namespace {

// What GetDIBits reports: 16 and 32 bpp always as bit fields.
DWORD reported_compression(const Dib& dib) {
  return dib.bpp == 16 || dib.bpp == 32 ? BI_BITFIELDS : BI_RGB;
}

// The query fills the 40 bytes of the header and nothing behind it; biSize
// stays as the caller set it.
void describe(const Dib& dib, BITMAPINFOHEADER* h) {
  h->biWidth = dib.width;
  h->biHeight = dib.height;
  h->biPlanes = 1;
  h->biBitCount = static_cast<WORD>(dib.bpp);
  h->biCompression = reported_compression(dib);
  h->biSizeImage = static_cast<DWORD>(dib_stride(dib.width, dib.bpp) * dib.height);
  h->biXPelsPerMeter = 0;
  h->biYPelsPerMeter = 0;
  h->biClrUsed = 0;
  h->biClrImportant = 0;
}

// The fetch writes the colour table at offset biSize (always 1 << bpp
// entries) or the three masks at offset 40, whatever biSize says.
void write_colours(const Dib& dib, BITMAPINFO* info) {
  uint8_t* record = reinterpret_cast<uint8_t*>(info);
  if (dib.bpp <= 8)
    memcpy(record + info->bmiHeader.biSize, dib.palette.data(),
           dib.palette.size() * sizeof(RGBQUAD));
  else if (reported_compression(dib) == BI_BITFIELDS)
    memcpy(record + sizeof(BITMAPINFOHEADER), dib.masks, sizeof dib.masks);
}

struct StretchTarget {
  Surface* surface;
};

void put_run(void* context, int x, int y, int count, const uint32_t* rgb) {
  Surface* s = static_cast<StretchTarget*>(context)->surface;
  for (int i = 0; i < count; ++i) s->set(x + i, y, rgb[i]);
}

}  // namespace

}  // namespace plat

using namespace plat;

HANDLE WINAPI LoadImageA(HINSTANCE instance, LPCSTR name, UINT type, int cx, int cy, UINT flags) {
  (void)instance;
  const UINT known = LR_LOADFROMFILE | LR_CREATEDIBSECTION;
  if (type != IMAGE_BITMAP || !(flags & LR_LOADFROMFILE) || (flags & ~known) || cx || cy) {
    unsupported("LoadImageA", "only bitmap files at their own size are supported");
    return nullptr;
  }
  std::vector<uint8_t> bytes;
  if (!read_whole_file(name, kMaxPictureFileBytes, &bytes)) return nullptr;
  if (bytes.empty()) {
    fail(ERROR_FILE_INVALID);
    return nullptr;
  }
  auto dib = std::make_shared<Dib>();
  DWORD error = 0;
  if (!bmp_adopt(&bytes, dib.get(), &error)) {
    fail(error);
    return nullptr;
  }
  HBITMAP bitmap = bitmap_add(std::move(dib));
  if (!bitmap) fail(ERROR_NOT_ENOUGH_MEMORY);
  return bitmap;
}

int WINAPI GetDIBits(HDC hdc, HBITMAP bitmap, UINT start, UINT lines, LPVOID bits,
                     LPBITMAPINFO info, UINT usage) {
  if (!dc_from_handle(hdc)) return 0;
  std::shared_ptr<const Dib> dib = bitmap_from_handle(bitmap);
  if (!dib) {
    fail(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (!info || info->bmiHeader.biSize < sizeof(BITMAPINFOHEADER)) {
    fail(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (usage != DIB_RGB_COLORS) {
    unsupported("GetDIBits", "only DIB_RGB_COLORS is supported");
    return 0;
  }
  BITMAPINFOHEADER* h = &info->bmiHeader;
  if (!bits) {
    if (h->biBitCount != 0) {
      unsupported("GetDIBits", "only the query with biBitCount 0 describes a bitmap");
      return 0;
    }
    describe(*dib, h);
    return dib->height;
  }
  // The pixels come in the bitmap's own format only, as the query gave it.
  if (h->biBitCount != dib->bpp || h->biCompression != reported_compression(*dib) ||
      h->biWidth != dib->width || h->biHeight != dib->height) {
    unsupported("GetDIBits", "pixels only in the bitmap's own format, bottom-up");
    return 0;
  }
  const size_t stride = dib_stride(dib->width, dib->bpp);
  const UINT first = std::min<UINT>(start, static_cast<UINT>(dib->height));
  const UINT count = std::min<UINT>(lines, static_cast<UINT>(dib->height) - first);
  // The caller's buffer is usually fresh memory as large as the picture:
  // large pages spare it a page fault per 4 KiB.
  prefer_large_pages(bits, count * stride);
  memcpy(bits, dib->bits.data() + first * stride, count * stride);
  write_colours(*dib, info);
  return static_cast<int>(count);
}

int WINAPI SetStretchBltMode(HDC hdc, int mode) {
  Dc* dc = dc_from_handle(hdc);
  if (!dc) return 0;
  if (mode < BLACKONWHITE || mode > HALFTONE) {
    fail(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const int previous = dc->stretch_mode;
  dc->stretch_mode = mode;
  return previous;
}

int WINAPI StretchDIBits(HDC hdc, int x_dest, int y_dest, int dest_width, int dest_height,
                         int x_src, int y_src, int src_width, int src_height, const VOID* bits,
                         const BITMAPINFO* info, UINT usage, DWORD rop) {
  Dc* dc = dc_from_handle(hdc);
  if (!dc || dc->window->destroyed.load(std::memory_order_relaxed)) return 0;
  if (!info) {
    fail(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const DWORD compression = info->bmiHeader.biCompression;
  if (compression == BI_JPEG || compression == BI_PNG) {  // a driver's formats, not ours
    fail(ERROR_NOT_SUPPORTED);
    return GDI_ERROR;
  }
  if (usage != DIB_RGB_COLORS || rop != SRCCOPY) {
    unsupported("StretchDIBits", "only DIB_RGB_COLORS and SRCCOPY are supported");
    return 0;
  }
  DibView view;
  DWORD error = 0;
  if (!dib_view(info, bits, usage, &view, &error)) {
    if (error) fail(error);
    return 0;
  }
  if (dest_width < 0 || dest_height < 0 || src_width < 0 || src_height < 0) {
    unsupported("StretchDIBits", "mirroring (negative extents) is not supported");
    return 0;
  }
  if (dest_width == 0 || dest_height == 0 || src_width == 0 || src_height == 0) return 0;
  Surface& s = dc->window->surface;
  const RECT clip = {std::max<LONG>(dc->clip.left, 0), std::max<LONG>(dc->clip.top, 0),
                     std::min<LONG>(dc->clip.right, s.draw_width()),
                     std::min<LONG>(dc->clip.bottom, s.draw_height())};
  StretchTarget target = {&s};
  if (clip.right > clip.left && clip.bottom > clip.top)
    dib_stretch(view, x_src, y_src, src_width, src_height, x_dest, y_dest, dest_width, dest_height,
                clip, put_run, &target);
  return view.height;
}
