// The layer's pictures, texts, files and COM calls against the answers Win32
// gave when the same calls were made on Windows: LoadImageA's error codes,
// exactly which bytes GetDIBits writes behind its record, StretchDIBits
// through window and paint DCs, FormatMessageA's system texts, wsprintfA,
// files and global memory, and OleLoadPicture's picture objects.
#include <gtest/gtest.h>
#include <olectl.h>
#include <rainbow_platform.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "support.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
const DWORD kUntouched = 0xDEADBEEF;
const UINT kFromFile = LR_LOADFROMFILE | LR_CREATEDIBSECTION;

std::string data(const std::string& name) {
  return std::string(RAINBOW_TEST_DATA) + "/" + name;
}
Bytes load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
uint32_t le32(const Bytes& b, size_t at) {
  uint32_t v = 0;
  memcpy(&v, &b[at], 4);
  return v;
}
BITMAPINFOHEADER header(DWORD size, LONG w, LONG h, WORD bpp, DWORD compression, DWORD image = 0) {
  return BITMAPINFOHEADER{size, w, h, 1, bpp, compression, image, 0, 0, 0, 0};
}
template <typename T>
Bytes bytes_of(const T& t) {
  return Bytes(reinterpret_cast<const uint8_t*>(&t), reinterpret_cast<const uint8_t*>(&t + 1));
}

LRESULT CALLBACK PlainProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

class Pictures : public testing::Test {
 protected:
  void SetUp() override {
    rt::register_class("picture_test", PlainProc, 0, WHITE_BRUSH);
    hwnd = rt::create_window("picture_test", 70, 50);
    ASSERT_NE(hwnd, nullptr);
    dir = fs::temp_directory_path() / ("rainbow_picture_" + std::to_string(getpid()));
    fs::create_directories(dir / "adir");
  }
  void TearDown() override {
    DestroyWindow(hwnd);
    rt::drain();
    fs::remove_all(dir);
  }
  std::string file(const std::string& name, const Bytes& b) {
    std::ofstream(dir / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    return (dir / name).string();
  }
  // The format query (line count 0) and the fetch, as the programs make
  // them, into a 44-byte record followed by `canary`: the record after both.
  Bytes query_and_fetch(HBITMAP bm, uint8_t canary, Bytes* bits) {
    Bytes rec(44 + 4 * 256 + 64, canary);
    auto* h = reinterpret_cast<BITMAPINFOHEADER*>(rec.data());
    *h = BITMAPINFOHEADER();
    h->biSize = 44;
    auto* info = reinterpret_cast<BITMAPINFO*>(rec.data());
    HDC dc = GetDC(hwnd);
    SetLastError(kUntouched);
    const int lines = GetDIBits(dc, bm, 0, 0, nullptr, info, DIB_RGB_COLORS);
    EXPECT_EQ(lines, h->biHeight);
    EXPECT_EQ(Bytes(rec.begin() + 40, rec.end()), Bytes(rec.size() - 40, canary)) << "query";
    const Bytes header(rec.begin(), rec.begin() + 40);
    bits->assign(h->biSizeImage + 16, canary);
    EXPECT_EQ(GetDIBits(dc, bm, 0, static_cast<UINT>(lines), bits->data(), info, DIB_RGB_COLORS),
              lines);
    ReleaseDC(hwnd, dc);
    EXPECT_EQ(GetLastError(), kUntouched);
    EXPECT_EQ(Bytes(rec.begin(), rec.begin() + 40), header) << "the fetch keeps the header";
    EXPECT_EQ(Bytes(bits->end() - 16, bits->end()), Bytes(16, canary)) << "past biSizeImage";
    bits->resize(h->biSizeImage);
    return rec;
  }
  // The runs of bytes from offset 40 on that the fetch writes ("44..52 "):
  // those that come out the same after two different canaries.
  std::string written(HBITMAP bm, Bytes* bits) {
    Bytes other;
    const Bytes a = query_and_fetch(bm, 0xCC, bits), b = query_and_fetch(bm, 0x33, &other);
    std::string runs;
    bool in = false;
    for (size_t i = 40; i <= a.size(); ++i) {
      const bool w = i < a.size() && a[i] == b[i];
      if (w != in) runs += std::to_string(i) + (w ? ".." : " ");
      in = w;
    }
    return runs;
  }
  HWND hwnd = nullptr;
  fs::path dir;
};

TEST_F(Pictures, LoadImageErrors) {
  const Bytes good = load(data("bmp/rgb24_info.bmp"));
  auto patched = [&](size_t at, uint32_t v, size_t n) {
    Bytes b = good;
    memcpy(&b[at], &v, n);
    return b;
  };
  const struct {
    std::string name;
    DWORD error;
  } cases[] = {
      {(dir / "missing.bmp").string(), ERROR_FILE_NOT_FOUND},
      {(dir / "nodir/missing.bmp").string(), ERROR_PATH_NOT_FOUND},
      {dir.string() + "\\nodir\\missing.bmp", ERROR_PATH_NOT_FOUND},
      {(dir / "adir").string(), ERROR_ACCESS_DENIED},
      {file("empty.bmp", {}), ERROR_FILE_INVALID},
      {file("text.bmp", Bytes(26, 'x')), ERROR_INVALID_DATA},
      {file("width0.bmp", patched(18, 0, 4)), ERROR_INVALID_PARAMETER},
      {file("width_negative.bmp", patched(18, 0xFFFFFFF3, 4)), ERROR_INVALID_PARAMETER},
      {file("bpp7.bmp", patched(28, 7, 2)), ERROR_INVALID_PARAMETER},
  };
  const int objects = PlatformCountGdiObjects();
  for (const auto& c : cases) {
    SetLastError(kUntouched);
    EXPECT_EQ(LoadImageA(nullptr, c.name.c_str(), IMAGE_BITMAP, 0, 0, kFromFile), nullptr);
    EXPECT_EQ(GetLastError(), c.error) << c.name;
  }
  EXPECT_EQ(PlatformCountGdiObjects(), objects);
}

// What the query reports and exactly which bytes behind the header the fetch
// writes: colour tables at offset biSize with 2^bpp entries, masks at 40..51.
TEST_F(Pictures, GetDIBitsPerFormat) {
  const DWORD kMasks[5][3] = {{0, 0, 0},
                              {0x7C00, 0x3E0, 0x1F},
                              {0xF800, 0x7E0, 0x1F},
                              {0xFF0000, 0xFF00, 0xFF},
                              {0xFF, 0xFF00, 0xFF0000}};
  std::istringstream table(  // file, bit count, masks
      "pal2 1 0 pal16 4 0 pal16_core 4 0 pal16_rle4 4 0 pal256 8 0 pal256_rle8 8 0 pal40_rle8 8 0 "
      "rgb24_core 24 0 rgb24_info 24 0 rgb24_topdown 24 0 rgb24_v4 24 0 rgb555_info 16 1 "
      "rgb555_v5 16 1 argb1555_v5 16 1 rgb565_v3 16 2 rgb565_v5 16 2 rgb32_info 32 3 "
      "argb32_v5 32 3 xbgr32_bitfields 32 4");
  std::string name;
  int bpp = 0, m = 0;
  while (table >> name >> bpp >> m) {
    SCOPED_TRACE(name);
    const std::string path = data("bmp/" + name + ".bmp");
    auto bm =
        static_cast<HBITMAP>(LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, kFromFile));
    ASSERT_NE(bm, nullptr);
    Bytes bits;
    EXPECT_EQ(written(bm, &bits), bpp <= 8 ? "44.." + std::to_string(44 + (4 << bpp)) + " "
                                  : m      ? "40..52 "
                                           : "");
    const Bytes rec = query_and_fetch(bm, 0xCC, &bits);
    EXPECT_TRUE(DeleteObject(bm));
    const DWORD stride = (13u * static_cast<DWORD>(bpp) + 31) / 32 * 4;
    const BITMAPINFOHEADER want =
        header(44, 13, 7, static_cast<WORD>(bpp), m ? BI_BITFIELDS : BI_RGB, stride * 7);
    EXPECT_EQ(Bytes(rec.begin(), rec.begin() + 40), bytes_of(want));
    if (m) {
      EXPECT_EQ(Bytes(rec.begin() + 40, rec.begin() + 52), bytes_of(kMasks[m]));
    }
    // The file's own colours, and its pixels bottom-up.
    const Bytes f = load(path);
    const uint32_t size = le32(f, 14), colours = size >= 40 && le32(f, 46) ? le32(f, 46) : 1;
    if (bpp <= 8 && size >= 40) {
      EXPECT_TRUE(
          std::equal(rec.begin() + 44, rec.begin() + 44 + 4 * colours, f.begin() + 14 + size));
    }
    if (size >= 40 && (le32(f, 30) == BI_RLE8 || le32(f, 30) == BI_RLE4)) continue;
    const bool top_down = size >= 40 && le32(f, 22) >= 0x80000000u;
    for (DWORD row = 0; row < 7; ++row)
      EXPECT_TRUE(std::equal(bits.begin() + row * stride, bits.begin() + (row + 1) * stride,
                             f.begin() + le32(f, 10) + (top_down ? 6 - row : row) * stride))
          << "row " << row;
  }
}

// trace4: 7 x 5 pixels, red rows on top, blue at the bottom, onto 70 x 50.
TEST_F(Pictures, StretchDIBits) {
  const COLORREF kRows[5] = {0xFF0000, 0xBF0040, 0x800080, 0x4000BF, 0x0000FF};  // bottom up
  Bytes bits(24 * 5, 0);
  for (size_t i = 0; i < bits.size(); i += 3) {
    bits[i] = GetBValue(kRows[i / 24]);
    bits[i + 2] = GetRValue(kRows[i / 24]);
  }
  const BITMAPINFOHEADER good = header(40, 7, 5, 24, BI_RGB);
  const COLORREF kWhite = 0xFFFFFF;
  const struct {
    BITMAPINFOHEADER h;
    int xs, ys, ws, hs;
    const void* bits;
    int result;
    DWORD error;
    COLORREF top_left, bottom_left;
  } cases[] = {
      {good, 0, 0, 7, 5, bits.data(), 5, kUntouched, kRows[4], kRows[0]},
      {good, 0, 0, 7, 3, bits.data(), 5, kUntouched, kRows[2], kRows[0]},  // the lowest rows
      {good, 5, 0, 7, 5, bits.data(), 5, kUntouched, kRows[4], kRows[0]},  // partly outside
      {header(40, 7, -5, 24, 0), 0, 0, 7, 5, bits.data(), 5, kUntouched, kRows[0], kRows[4]},
      {header(0, 7, 5, 24, 0), 0, 0, 7, 5, bits.data(), 0, 87, kWhite, kWhite},
      {header(40, 7, 5, 7, 0), 0, 0, 7, 5, bits.data(), 0, 87, kWhite, kWhite},
      {header(40, 0, 5, 24, 0), 0, 0, 7, 5, bits.data(), 0, 87, kWhite, kWhite},
      {header(40, 7, 5, 24, BI_BITFIELDS), 0, 0, 7, 5, bits.data(), 0, 87, kWhite, kWhite},
      {header(0, 0, 0, 0, 0), 0, 0, 7, 5, bits.data(), 0, 87, kWhite, kWhite},
      {good, 0, 0, 7, 5, nullptr, 0, kUntouched, kWhite, kWhite},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << &c - cases);
    rt::fill_client(hwnd, WHITE_BRUSH);
    const BITMAPINFO info = {c.h, {}};
    HDC dc = GetDC(hwnd);
    EXPECT_EQ(SetStretchBltMode(dc, COLORONCOLOR), BLACKONWHITE);
    SetLastError(kUntouched);
    EXPECT_EQ(StretchDIBits(dc, 0, 0, 70, 50, c.xs, c.ys, c.ws, c.hs, c.bits, &info, DIB_RGB_COLORS,
                            SRCCOPY),
              c.result);
    EXPECT_EQ(GetLastError(), c.error);
    EXPECT_EQ(GetPixel(dc, 0, 0), c.top_left);
    EXPECT_EQ(GetPixel(dc, 0, 49), c.bottom_left);
    ReleaseDC(hwnd, dc);
  }

  // A paint DC draws only inside the update rectangle.
  ShowWindow(hwnd, SW_SHOW);
  rt::drain();
  rt::fill_client(hwnd, WHITE_BRUSH);
  const RECT part = {10, 15, 35, 42};
  InvalidateRect(hwnd, &part, FALSE);
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  const BITMAPINFO info = {good, {}};
  SetStretchBltMode(dc, COLORONCOLOR);
  EXPECT_EQ(StretchDIBits(dc, 0, 0, 70, 50, 0, 0, 7, 5, bits.data(), &info, 0, SRCCOPY), 5);
  EndPaint(hwnd, &ps);
  const std::vector<COLORREF> px = rt::read_client(hwnd, 70, 50);
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 70; ++x) {
      const bool inside = x >= 10 && x < 35 && y >= 15 && y < 42;
      ASSERT_EQ(px[static_cast<size_t>(y * 70 + x)], inside ? kRows[4 - y / 10] : kWhite)
          << x << ", " << y;
    }
}

TEST_F(Pictures, SystemTextsAndWsprintf) {
  const struct {
    DWORD code;
    const char* text;
  } texts[] = {
      {0, "The operation completed successfully.\r\n"},
      {2, "The system cannot find the file specified.\r\n"},
      {3, "The system cannot find the path specified.\r\n"},
      {5, "Access is denied.\r\n"},
      {8, "Not enough memory resources are available to process this command.\r\n"},
      {13, "The data is invalid.\r\n"},
      {87, "The parameter is incorrect.\r\n"},
      {157, "The segment is already discarded and cannot be locked.\r\n"},
      {223, "The file size exceeds the limit allowed and cannot be saved.\r\n"},
      {1006,
       "The volume for a file has been externally altered so that the opened file is no "
       "longer valid.\r\n"},
      {0x20001234, nullptr},
  };
  for (const auto& c : texts) {
    LPSTR text = const_cast<LPSTR>("not replaced");
    SetLastError(kUntouched);
    const DWORD n = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
        nullptr, c.code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&text),
        0, nullptr);
    EXPECT_EQ(n, c.text ? strlen(c.text) : 0) << c.code;
    EXPECT_STREQ(text, c.text);
    EXPECT_EQ(GetLastError(), c.text ? kUntouched : ERROR_MR_MID_NOT_FOUND);
    EXPECT_EQ(LocalFree(text), nullptr);
    if (c.text) {
      EXPECT_EQ(LocalFree(text), text) << "freed twice";
    }
  }
  // Every error the layer sets has its text.
  for (DWORD code : {1,   4,   6,   14,  21,   30,   32,   38,   50,   122, 123,
                     158, 206, 317, 998, 1400, 1407, 1410, 1812, 1813, 1814}) {
    LPSTR text = nullptr;
    FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
        nullptr, code, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    EXPECT_TRUE(text && strlen(text) > 10 && strcmp(text + strlen(text) - 2, "\r\n") == 0) << code;
    LocalFree(text);
  }
  int on_stack = 0;
  EXPECT_EQ(LocalFree(&on_stack), &on_stack) << "not a local block: refused, not freed";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

  char out[1100];
  auto format = [&](const char* f, auto... args) { return wsprintfA(out, f, args...), out; };
  EXPECT_STREQ(format("%d|%i|%u|%ld|%lu", -5, 42, 4000000000u, LONG{-1}, DWORD{7}),
               "-5|42|4000000000|-1|7");
  EXPECT_STREQ(format("%x|%X|%#x|%08lX|%I64d", 255, 255, 255, 0xABCD, -5000000000LL),
               "ff|FF|0xff|0000ABCD|-5000000000");
  EXPECT_STREQ(format("[%5d][%-5d][%05d][%.3d]", 7, 7, -7, 7), "[    7][7    ][-0007][007]");
  EXPECT_STREQ(format("[%6s][%-6s][%.2s][%hs]", "abc", "abc", "abc", "x"),
               "[   abc][abc   ][ab][x]");
  EXPECT_STREQ(format("[%S][%ls][%hS]", L"wide", L"long", "narrow"), "[wide][long][narrow]");
  EXPECT_STREQ(format("%c%c|%s|100%%", 'o', 'k', static_cast<char*>(nullptr)), "ok|(null)|100%");
  EXPECT_STREQ(format("ends in %"), "ends in ") << "a lone '%' at the end is no conversion";
  // 1024 characters at most, the terminator included, however they arise.
  const std::string long_text(3000, 'a');
  for (const std::string& f : {std::string("%s"), std::string("b%s"), long_text}) {
    memset(out, 'Z', sizeof out);
    EXPECT_EQ(wsprintfA(out, f.c_str(), long_text.c_str()), 1023);
    EXPECT_EQ(strlen(out), 1023u);
    EXPECT_EQ(out[1024], 'Z');
  }
}

DWORD WINAPI Nothing(LPVOID) {
  return 0;
}

TEST_F(Pictures, FilesAndGlobalMemory) {
  for (const auto& c : {std::make_pair(dir / "missing", ERROR_FILE_NOT_FOUND),
                        std::make_pair(dir / "nodir/missing", ERROR_PATH_NOT_FOUND),
                        std::make_pair(dir / "adir", ERROR_ACCESS_DENIED)}) {
    EXPECT_EQ(CreateFileA(c.first.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                          nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(c.second)) << c.first;
  }
  file("five", Bytes{'h', 'e', 'l', 'l', 'o'});
  HANDLE f = CreateFileA((dir.string() + "\\five").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE) << "a backslash separates folders";
  DWORD high = 99, got = 99;
  EXPECT_EQ(GetFileSize(f, &high), 5u);
  EXPECT_EQ(high, 0u);
  char buf[8] = {};
  EXPECT_TRUE(ReadFile(f, buf, 8, &got, nullptr));
  EXPECT_STREQ(buf, "hello");
  EXPECT_TRUE(ReadFile(f, buf, 8, &got, nullptr)) << "the end is no error";
  EXPECT_EQ(got, 0u);
  EXPECT_TRUE(CloseHandle(f));
  HANDLE thread = CreateThread(nullptr, 0, Nothing, nullptr, 0, nullptr);
  for (HANDLE h : {f, thread, INVALID_HANDLE_VALUE}) {  // closed, not a file, none
    SetLastError(kUntouched);
    EXPECT_FALSE(ReadFile(h, buf, 8, &got, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    SetLastError(kUntouched);
    EXPECT_EQ(GetFileSize(h, nullptr), INVALID_FILE_SIZE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  }
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);

  // trace7: an empty file's block of 0 bytes exists but is discarded.
  HGLOBAL empty = GlobalAlloc(GMEM_MOVEABLE | GMEM_SHARE, 0);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(GlobalLock(empty), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISCARDED));
  EXPECT_EQ(GlobalFree(empty), nullptr);
  HGLOBAL block = GlobalAlloc(GHND, 10);
  void* p = GlobalLock(block);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(GlobalLock(block), p);
  EXPECT_EQ(GlobalSize(block), 10u);
  EXPECT_TRUE(GlobalUnlock(block));
  SetLastError(kUntouched);
  EXPECT_FALSE(GlobalUnlock(block));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(NO_ERROR)) << "unlocked: FALSE, no error";
  EXPECT_EQ(GlobalFree(block), nullptr);
  EXPECT_EQ(GlobalFree(block), block) << "freed twice";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

HGLOBAL block_of(const Bytes& b) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, b.size());
  if (void* p = GlobalLock(block)) {
    memcpy(p, b.data(), b.size());
    GlobalUnlock(block);
  }
  return block;
}

// A JPEG file with its frame header (SOF0 or SOF2) claiming another size.
Bytes with_frame(Bytes b, uint8_t sof, int w, int h) {
  const uint8_t marker[] = {0xFF, sof};
  const auto at = std::search(b.begin(), b.end(), marker, marker + 2);
  const uint8_t size[] = {uint8_t(h >> 8), uint8_t(h), uint8_t(w >> 8), uint8_t(w)};
  if (b.end() - at > 9) std::copy_n(size, 4, at + 5);
  return b;
}

TEST_F(Pictures, OleLoadPicture) {
  const Bytes jpeg = load(data("jpeg_decode/baseline_420.jpg"));
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  png.resize(200, 0);
  Bytes bmp_width0 = load(data("bmp/rgb24_info.bmp"));
  bmp_width0[18] = 0;
  const struct {
    Bytes bytes;
    int width, height;  // 0: E_FAIL
    DWORD error;        // the last error left by a refusal: it names the reason
  } cases[] = {
      {jpeg, 37, 23, 0},
      {load(data("jpeg_decode/gray_progressive.jpg")), 9, 41, 0},
      {load(data("bmp/rgb24_info.bmp")), 13, 7, 0},
      {load(data("bmp/pal2.bmp")), 13, 7, 0},
      {Bytes(30, 't'), 0, 0, ERROR_INVALID_DATA},
      {png, 0, 0, ERROR_INVALID_DATA},
      {Bytes(jpeg.begin(), jpeg.begin() + jpeg.size() / 2), 0, 0, ERROR_INVALID_DATA},
      {Bytes(jpeg.begin(), jpeg.begin() + jpeg.size() * 3 / 10), 0, 0, ERROR_INVALID_DATA},
      {Bytes{0xFF, 0xD8, 0xFF, 0xD9}, 0, 0, ERROR_INVALID_DATA},
      {Bytes(), 0, 0, ERROR_INVALID_DATA},
      {bmp_width0, 0, 0, ERROR_INVALID_DATA},
      {with_frame(jpeg, 0xC0, 65000, 65000), 0, 0, ERROR_FILE_TOO_LARGE},
      {with_frame(jpeg, 0xC0, 8192, 8193), 0, 0, ERROR_FILE_TOO_LARGE},
      // Its coefficients alone would take 384 MB, over the working memory allowed.
      {with_frame(load(data("jpeg_decode/progressive_444.jpg")), 0xC2, 8000, 8000), 0, 0,
       ERROR_NOT_ENOUGH_MEMORY},
  };
  const int objects = PlatformCountGdiObjects();
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << &c - cases);
    IStream* stream = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(block_of(c.bytes), TRUE, &stream), S_OK);
    IPicture* picture = reinterpret_cast<IPicture*>(&stream);  // must be replaced
    SetLastError(kUntouched);
    EXPECT_EQ(OleLoadPicture(stream, static_cast<LONG>(c.bytes.size()), FALSE, IID_IPicture,
                             reinterpret_cast<void**>(&picture)),
              c.width ? S_OK : E_FAIL);
    if (!c.width) {
      EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_EQ(stream->Release(), 0u);
    EXPECT_EQ(PlatformCountGdiObjects(), objects + (c.width ? 1 : 0));
    EXPECT_EQ(picture == nullptr, !c.width);
    if (!c.width) continue;
    SHORT type = 0;
    OLE_XSIZE_HIMETRIC w = 0, h = 0;
    OLE_HANDLE handle = 0;
    EXPECT_TRUE(picture->get_Type(&type) == S_OK && type == PICTYPE_BITMAP);
    EXPECT_TRUE(picture->get_Width(&w) == S_OK && picture->get_Height(&h) == S_OK);
    EXPECT_EQ(w, (c.width * 2540 + 48) / 96);
    EXPECT_EQ(h, (c.height * 2540 + 48) / 96);
    EXPECT_EQ(picture->get_Handle(&handle), S_OK);
    auto bm = static_cast<HBITMAP>(LongToHandle(static_cast<LONG>(handle)));
    Bytes bits;
    EXPECT_EQ(written(bm, &bits), "40..52 ") << "masks only, 8 bytes past a 44-byte record";
    const Bytes rec = query_and_fetch(bm, 0xCC, &bits);
    const BITMAPINFOHEADER want =
        header(44, c.width, c.height, 32, BI_BITFIELDS, static_cast<DWORD>(c.width * c.height * 4));
    const DWORD masks[3] = {0xFF0000, 0xFF00, 0xFF};
    EXPECT_EQ(Bytes(rec.begin(), rec.begin() + 40), bytes_of(want));
    EXPECT_EQ(Bytes(rec.begin() + 40, rec.begin() + 52), bytes_of(masks));
    for (size_t i = 3; i < bits.size(); i += 4) ASSERT_EQ(bits[i], 255) << "alpha at " << i;
    EXPECT_EQ(picture->Release(), 0u);
    EXPECT_EQ(PlatformCountGdiObjects(), objects) << "the picture takes its bitmap with it";
  }

  // The stream frees its block with the last Release only when asked to.
  for (BOOL free_block : {TRUE, FALSE}) {
    HGLOBAL block = block_of(jpeg);
    IStream* stream = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(block, free_block, &stream), S_OK);
    EXPECT_EQ(stream->AddRef(), 2u);
    EXPECT_EQ(stream->Release(), 1u);
    EXPECT_EQ(GlobalSize(block), jpeg.size());
    EXPECT_EQ(stream->Release(), 0u);
    EXPECT_EQ(GlobalSize(block), free_block ? 0 : jpeg.size());
    if (!free_block) GlobalFree(block);
  }
}

}  // namespace
