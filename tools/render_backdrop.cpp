#include "render_backdrop.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include "diagnostics.h"
#include "picture_loader.h"
#include "shell.h"

namespace {

enum Format { kUnknown, kBmp, kJpeg };

// The format from the file's first bytes; false with the reason when the
// file cannot be read.
bool sniff(const std::string& path, Format* format, std::string* reason) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return *reason = strerror(errno), false;
  unsigned char head[3] = {};
  errno = 0;
  const size_t n = fread(head, 1, sizeof head, f);
  const int e = ferror(f) ? (errno ? errno : EIO) : 0;
  fclose(f);
  if (e) return *reason = strerror(e), false;
  *format = n >= 2 && head[0] == 'B' && head[1] == 'M'                        ? kBmp
            : n == 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF ? kJpeg
                                                                              : kUnknown;
  return true;
}

// The system's text for the last error, without its line end.
std::string system_reason(const char* call) {
  std::string text = get_system_message();
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
  return std::string(call) + ": " + text;
}

}  // namespace

bool Backdrop::load(HWND hwnd, const std::string& path, std::string* reason) {
  Format format = kUnknown;
  if (!sniff(path, &format, reason)) return false;
  if (format == kUnknown) return *reason = "neither a BMP nor a JPEG picture", false;
  std::vector<char> name(path.begin(), path.end());
  name.push_back('\0');
  SetLastError(0);
  HBITMAP hbm = format == kBmp
                    ? static_cast<HBITMAP>(LoadImageA(g_hinst, name.data(), IMAGE_BITMAP, 0, 0,
                                                      LR_LOADFROMFILE | LR_CREATEDIBSECTION))
                    : MakeImage(name.data());
  if (!hbm) return *reason = system_reason(format == kBmp ? "LoadImageA" : "OleLoadPicture"), false;
  // As the programs fetch it: a format query through a 44-byte header, then
  // the pixels in the bitmap's own format.
  HDC hdc = GetDC(hwnd);
  info_.bmiHeader.biSize = 44;
  info_.bmiHeader.biBitCount = 0;
  BITMAPINFO* info = reinterpret_cast<BITMAPINFO*>(&info_);
  bool fetched = GetDIBits(hdc, hbm, 0, static_cast<UINT>(info_.bmiHeader.biHeight), NULL, info,
                           DIB_RGB_COLORS) != 0;
  if (fetched && info_.bmiHeader.biSizeImage == 0) {
    SetLastError(ERROR_INVALID_DATA);
    fetched = false;
  }
  if (fetched) {
    bits_.resize(info_.bmiHeader.biSizeImage);
    fetched = GetDIBits(hdc, hbm, 0, static_cast<UINT>(info_.bmiHeader.biHeight), bits_.data(),
                        info, DIB_RGB_COLORS) != 0;
  }
  if (!fetched) *reason = system_reason("GetDIBits");
  ReleaseDC(hwnd, hdc);
  if (format == kBmp) DeleteObject(hbm);  // the picture loader keeps its own
  return fetched;
}

bool Backdrop::paint(HWND hwnd, int w, int h, std::string* reason) {
  HDC hdc = GetDC(hwnd);
  SetStretchBltMode(hdc, COLORONCOLOR);  // drops eliminated lines
  const int lines =
      StretchDIBits(hdc, 0, 0, w, h, 0, 0, info_.bmiHeader.biWidth, info_.bmiHeader.biHeight,
                    bits_.data(), reinterpret_cast<BITMAPINFO*>(&info_), DIB_RGB_COLORS, SRCCOPY);
  if (lines == -1) *reason = system_reason("StretchDIBits");
  ReleaseDC(hwnd, hdc);
  return lines != -1;
}
