#include "render_backdrop.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "diagnostics.h"
#include "picture_loader.h"
#include "shell.h"

namespace {

enum Format { kUnknown, kBmp, kJpeg };

// What a file that is not a regular one is, for the refusal; null for a
// regular file.  The picture loaders read regular files only, and reading a
// pipe or a socket could wait for ever.
const char* not_a_file(mode_t mode) {
  if (S_ISREG(mode)) return nullptr;
  if (S_ISDIR(mode)) return strerror(EISDIR);
  if (S_ISFIFO(mode)) return "a pipe, not a picture file";
  if (S_ISSOCK(mode)) return "a socket, not a picture file";
  return "a device, not a picture file";
}

// The format from the file's first bytes; false with the reason when the
// file cannot be read.  Opened without waiting (a pipe with no writer would
// hold the open) and refused unread unless it is a regular file.
bool sniff(const std::string& path, Format* format, std::string* reason) {
  struct stat st;
  // Told before opening, which a socket refuses with a less helpful reason.
  if (stat(path.c_str(), &st) == 0 && not_a_file(st.st_mode))
    return *reason = not_a_file(st.st_mode), false;
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return *reason = strerror(errno), false;
  const char* refusal = fstat(fd, &st) != 0 ? strerror(errno) : not_a_file(st.st_mode);
  unsigned char head[3] = {};
  size_t n = 0;
  int e = 0;
  while (!refusal && n < sizeof head) {
    const ssize_t got = read(fd, head + n, sizeof head - n);
    if (got > 0) {
      n += static_cast<size_t>(got);
    } else if (got == 0) {
      break;
    } else if (errno != EINTR) {
      e = errno;
      break;
    }
  }
  close(fd);
  if (refusal) return *reason = refusal, false;
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
