// The picture a person chose, read as the programs read theirs: by
// LoadImageA from the file (rainbow_bitmap) and by OleLoadPicture over the
// file's bytes (rainbow_photo).  On a page the file is the one the page kept
// in the browser and wrote into the program's folder (conformance.html does
// what site/page.js does); elsewhere it is a file on disk.
#include <gtest/gtest.h>
#include <ole2.h>
#include <olectl.h>
#include <stdio.h>
#include <windows.h>

#include <vector>

#include "support.h"

namespace {

// A binary PPM's pixels as COLORREFs; empty when it is not one.
std::vector<COLORREF> ppm_pixels(const char* path, int* width, int* height) {
  std::vector<COLORREF> px;
  FILE* f = fopen(path, "rb");
  if (!f) return px;
  int max = 0;
  if (fscanf(f, "P6 %d %d %d", width, height, &max) == 3 && fgetc(f) != EOF && max == 255 &&
      *width > 0 && *height > 0 && *width <= 4096 && *height <= 4096) {
    px.resize(static_cast<size_t>(*width) * static_cast<size_t>(*height));
    for (COLORREF& p : px) {
      unsigned char rgb[3];
      if (fread(rgb, 1, 3, f) != 3) {
        px.clear();
        break;
      }
      p = RGB(rgb[0], rgb[1], rgb[2]);
    }
  }
  fclose(f);
  return px;
}

// The bitmap drawn on the window at its own size, as the programs show
// theirs (GetDIBits, then StretchDIBits): the client's top-left w x h.
std::vector<COLORREF> shown(HBITMAP bm, HWND hwnd, int w, int h) {
  std::vector<DWORD> info_words(64 + 256);  // a header, masks and a palette
  auto* info = reinterpret_cast<BITMAPINFO*>(info_words.data());
  info->bmiHeader.biSize = sizeof info->bmiHeader;
  HDC dc = GetDC(hwnd);
  const int lines = GetDIBits(dc, bm, 0, 0, nullptr, info, DIB_RGB_COLORS);
  const BITMAPINFOHEADER& hdr = info->bmiHeader;
  std::vector<BYTE> bits(static_cast<size_t>((hdr.biWidth * hdr.biBitCount + 31) / 32 * 4) *
                         static_cast<size_t>(lines > 0 ? lines : 0));
  const bool drawn =
      lines == h && hdr.biWidth == w &&
      GetDIBits(dc, bm, 0, static_cast<UINT>(lines), bits.data(), info, DIB_RGB_COLORS) == lines &&
      StretchDIBits(dc, 0, 0, w, h, 0, 0, w, h, bits.data(), info, DIB_RGB_COLORS, SRCCOPY) == h;
  ReleaseDC(hwnd, dc);
  std::vector<COLORREF> px;
  RECT client;
  GetClientRect(hwnd, &client);
  const std::vector<COLORREF> all = rt::read_client(hwnd, client.right, client.bottom);
  for (int y = 0; drawn && y < h; ++y)
    px.insert(px.end(), all.begin() + y * client.right, all.begin() + y * client.right + w);
  return px;
}

// A loaded picture: a bitmap, owned by its picture where there is one.
struct Loaded {
  HBITMAP bitmap = nullptr;
  IPicture* picture = nullptr;
  ~Loaded() {
    if (picture)
      picture->Release();
    else if (bitmap)
      DeleteObject(bitmap);
  }
};

void by_load_image(const char* path, Loaded* out) {
  out->bitmap = static_cast<HBITMAP>(
      LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
}

void by_ole_load_picture(const char* path, Loaded* out) {
  HANDLE file =
      CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const DWORD size = GetFileSize(file, nullptr);
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
  DWORD got = 0;
  const BOOL read = block && ReadFile(file, GlobalLock(block), size, &got, nullptr);
  CloseHandle(file);
  if (block) GlobalUnlock(block);
  IStream* stream = nullptr;
  if (!read || got != size || CreateStreamOnHGlobal(block, TRUE, &stream) != S_OK) return;
  OleLoadPicture(stream, static_cast<LONG>(size), FALSE, IID_IPicture,
                 reinterpret_cast<LPVOID*>(&out->picture));
  stream->Release();
  OLE_HANDLE handle = 0;
  if (out->picture && out->picture->get_Handle(&handle) == S_OK)
    out->bitmap = static_cast<HBITMAP>(LongToHandle(static_cast<LONG>(handle)));
}

LRESULT CALLBACK PlainProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

TEST(ChosenPicture, ReadsAsTheFileShows) {
  int w = 0, h = 0;
  const std::vector<COLORREF> want = ppm_pixels(RAINBOW_CHOSEN_PIXELS, &w, &h);
  ASSERT_FALSE(want.empty()) << RAINBOW_CHOSEN_PIXELS;
  rt::register_class("chosen_picture", PlainProc, 0, BLACK_BRUSH);
  HWND hwnd = rt::create_window("chosen_picture", 64, 48);
  ASSERT_NE(hwnd, nullptr);
  const struct {
    const char* how;
    void (*load)(const char*, Loaded*);
  } loaders[] = {{"LoadImageA", by_load_image}, {"OleLoadPicture", by_ole_load_picture}};
  for (const auto& l : loaders) {
    SCOPED_TRACE(l.how);
    Loaded picture;
    l.load(RAINBOW_CHOSEN_PICTURE, &picture);
    ASSERT_NE(picture.bitmap, nullptr) << RAINBOW_CHOSEN_PICTURE << ": error " << GetLastError();
    EXPECT_EQ(shown(picture.bitmap, hwnd, w, h), want);
  }
  DestroyWindow(hwnd);
  rt::drain();
}

}  // namespace
