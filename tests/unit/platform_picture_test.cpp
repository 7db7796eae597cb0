// The layer's pictures, texts, files and COM calls against how Win32 answers
// them (shared/win32-observed traces 3, 4, 6 and 7): error codes, exactly
// which bytes GetDIBits writes behind its record, stretching through window
// and paint DCs, system texts, wsprintfA, global memory and picture objects.
#include <gtest/gtest.h>
#include <olectl.h>
#include <rainbow_platform.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
const DWORD kUntouched = 0xDEADBEEF;
const UINT kLoadFlags = LR_LOADFROMFILE | LR_CREATEDIBSECTION;

Bytes load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
std::string data(const std::string& name) {
  return std::string(RAINBOW_TEST_DATA) + "/" + name;
}
uint32_t le32(const Bytes& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
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
    fs::create_directories(dir);
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
  // The format query with line count 0, then the fetch, into a 44-byte
  // record followed by `canary`; returns the record after the fetch.
  Bytes query_and_fetch(HBITMAP bm, uint8_t canary, Bytes* bits) {
    Bytes rec(44 + 4 * 256 + 64, canary);
    auto* h = reinterpret_cast<BITMAPINFOHEADER*>(rec.data());
    *h = BITMAPINFOHEADER();
    h->biSize = 44;
    HDC dc = GetDC(hwnd);
    SetLastError(kUntouched);
    auto* info = reinterpret_cast<BITMAPINFO*>(rec.data());
    const int lines = GetDIBits(dc, bm, 0, 0, nullptr, info, DIB_RGB_COLORS);
    EXPECT_EQ(lines, h->biHeight);
    EXPECT_EQ(Bytes(rec.begin() + 40, rec.end()), Bytes(rec.size() - 40, canary)) << "query";
    const Bytes header(rec.begin(), rec.begin() + 40);
    bits->assign(h->biSizeImage + 16, canary);
    EXPECT_EQ(GetDIBits(dc, bm, 0, static_cast<UINT>(lines), bits->data(), info, DIB_RGB_COLORS),
              lines);
    EXPECT_EQ(GetLastError(), kUntouched);
    EXPECT_EQ(Bytes(rec.begin(), rec.begin() + 40), header) << "the fetch keeps the header";
    EXPECT_EQ(Bytes(bits->end() - 16, bits->end()), Bytes(16, canary)) << "past biSizeImage";
    bits->resize(h->biSizeImage);
    ReleaseDC(hwnd, dc);
    return rec;
  }
  HWND hwnd = nullptr;
  fs::path dir;
};

TEST_F(Pictures, LoadImageErrors) {
  const Bytes good = load(data("bmp/rgb24_info.bmp"));
  auto patched = [&](size_t at, uint32_t v, int n) {
    Bytes b = good;
    for (int i = 0; i < n; ++i) b[at + i] = static_cast<uint8_t>(v >> 8 * i);
    return b;
  };
  fs::create_directories(dir / "adir");
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
      {file("bad_magic.bmp", patched(0, 'X', 1)), ERROR_INVALID_DATA},
      {file("cut_header.bmp", Bytes(good.begin(), good.begin() + 30)), ERROR_INVALID_DATA},
      {file("cut_pixels.bmp", Bytes(good.begin(), good.end() - 40)), ERROR_INVALID_DATA},
      {file("offset_past_end.bmp", patched(10, 100000, 4)), ERROR_INVALID_DATA},
      {file("width0.bmp", patched(18, 0, 4)), ERROR_INVALID_PARAMETER},
      {file("width_negative.bmp", patched(18, 0xFFFFFFF3, 4)), ERROR_INVALID_PARAMETER},
      {file("height0.bmp", patched(22, 0, 4)), ERROR_INVALID_PARAMETER},
      {file("bpp7.bmp", patched(28, 7, 2)), ERROR_INVALID_PARAMETER},
  };
  const int objects = PlatformCountGdiObjects();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetLastError(kUntouched);
    EXPECT_EQ(LoadImageA(nullptr, c.name.c_str(), IMAGE_BITMAP, 0, 0, kLoadFlags), nullptr);
    EXPECT_EQ(GetLastError(), c.error);
  }
  EXPECT_EQ(PlatformCountGdiObjects(), objects);
}

// What the query reports and exactly which bytes behind the header the fetch
// writes: two runs with different canaries tell written bytes from untouched.
TEST_F(Pictures, GetDIBitsPerFormat) {
  const DWORD k555[3] = {0x7C00, 0x3E0, 0x1F}, k565[3] = {0xF800, 0x7E0, 0x1F};
  const DWORD k888[3] = {0xFF0000, 0xFF00, 0xFF}, kBgr[3] = {0xFF, 0xFF00, 0xFF0000};
  const DWORD kNone[3] = {0, 0, 0};
  const struct {
    const char* name;
    WORD bpp;
    const DWORD* masks;
  } cases[] = {
      {"pal2.bmp", 1, kNone},
      {"pal16.bmp", 4, kNone},
      {"pal16_core.bmp", 4, kNone},
      {"pal16_rle4.bmp", 4, kNone},
      {"pal256.bmp", 8, kNone},
      {"pal256_rle8.bmp", 8, kNone},
      {"pal40_rle8.bmp", 8, kNone},
      {"rgb24_core.bmp", 24, kNone},
      {"rgb24_info.bmp", 24, kNone},
      {"rgb24_topdown.bmp", 24, kNone},
      {"rgb24_v4.bmp", 24, kNone},
      {"rgb555_info.bmp", 16, k555},
      {"rgb555_v5.bmp", 16, k555},
      {"argb1555_v5.bmp", 16, k555},
      {"rgb565_v3.bmp", 16, k565},
      {"rgb565_v5.bmp", 16, k565},
      {"rgb32_info.bmp", 32, k888},
      {"argb32_v5.bmp", 32, k888},
      {"xbgr32_bitfields.bmp", 32, kBgr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = data(std::string("bmp/") + c.name);
    auto bm =
        static_cast<HBITMAP>(LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, kLoadFlags));
    ASSERT_NE(bm, nullptr);
    Bytes bits, other_bits;
    const Bytes a = query_and_fetch(bm, 0xCC, &bits), b = query_and_fetch(bm, 0x33, &other_bits);
    EXPECT_TRUE(DeleteObject(bm));
    const auto* h = reinterpret_cast<const BITMAPINFOHEADER*>(a.data());
    const DWORD stride = (13u * c.bpp + 31) / 32 * 4;
    EXPECT_EQ(h->biSize, 44u);
    EXPECT_EQ(h->biWidth, 13);
    EXPECT_EQ(h->biHeight, 7);
    EXPECT_EQ(h->biPlanes, 1);
    EXPECT_EQ(h->biBitCount, c.bpp);
    EXPECT_EQ(h->biCompression, c.bpp == 16 || c.bpp == 32 ? BI_BITFIELDS : BI_RGB);
    EXPECT_EQ(h->biSizeImage, stride * 7);
    EXPECT_EQ(h->biXPelsPerMeter | h->biYPelsPerMeter | h->biClrUsed | h->biClrImportant, 0u);
    // Colour tables at offset biSize with 2^bpp entries; masks at 40..51.
    const size_t from = c.bpp <= 8 ? 44 : c.bpp == 24 ? 0 : 40;
    const size_t to = c.bpp <= 8 ? 44 + (4u << c.bpp) : c.bpp == 24 ? 0 : 52;
    for (size_t i = 40; i < a.size(); ++i)
      ASSERT_EQ(a[i] == b[i], i >= from && i < to) << "byte " << i;
    for (int m = 0; m < 3 && c.bpp >= 16 && c.bpp != 24; ++m)
      EXPECT_EQ(le32(a, 40 + 4 * m), c.masks[m]);
    // The file's own colours and pixels, rows bottom-up.
    const Bytes f = load(path);
    const uint32_t size = le32(f, 14), compression = size >= 40 ? le32(f, 30) : 0;
    const uint32_t colours = size >= 40 && le32(f, 46) ? le32(f, 46) : 1u << (c.bpp & 15);
    if (c.bpp <= 8 && size >= 40) {
      EXPECT_EQ(Bytes(a.begin() + 44, a.begin() + 44 + 4 * colours),
                Bytes(f.begin() + 14 + size, f.begin() + 14 + size + 4 * colours));
    }
    if (compression == BI_RLE8 || compression == BI_RLE4) continue;
    const bool top_down = le32(f, 22) >= 0x80000000u;
    for (DWORD row = 0; row < 7; ++row) {
      const size_t at = le32(f, 10) + (top_down ? 6 - row : row) * stride;
      EXPECT_EQ(Bytes(bits.begin() + row * stride, bits.begin() + (row + 1) * stride),
                Bytes(f.begin() + at, f.begin() + at + stride))
          << "row " << row;
    }
  }
}

// trace4: 7 x 5 rows, red on top, blue at the bottom, onto 70 x 50.
TEST_F(Pictures, StretchDIBitsThroughAWindowDc) {
  const COLORREF kRows[5] = {0xFF0000, 0xBF0040, 0x800080, 0x4000BF, 0x0000FF};  // bottom up
  Bytes bits(24 * 5, 0);
  for (int r = 0; r < 5; ++r)
    for (int x = 0; x < 7; ++x) {
      bits[24 * r + 3 * x] = GetBValue(kRows[r]);
      bits[24 * r + 3 * x + 2] = GetRValue(kRows[r]);
    }
  const BITMAPINFOHEADER good = {40, 7, 5, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  const struct {
    const char* what;
    BITMAPINFOHEADER h;
    int xs, ys, ws, hs;
    bool null_bits;
    int result;
    DWORD error;
    COLORREF top_left, bottom_left;
  } cases[] = {
      {"normal", good, 0, 0, 7, 5, false, 5, kUntouched, 0x0000FF, 0xFF0000},
      {"lowest 3 rows", good, 0, 0, 7, 3, false, 5, kUntouched, 0x800080, 0xFF0000},
      {"partly outside", good, 5, 0, 7, 5, false, 5, kUntouched, 0x0000FF, 0xFF0000},
      {"top-down",
       {40, 7, -5, 1, 24, BI_RGB, 0, 0, 0, 0, 0},
       0,
       0,
       7,
       5,
       false,
       5,
       kUntouched,
       0xFF0000,
       0x0000FF},
      {"biSize 0",
       {0, 7, 5, 1, 24, BI_RGB, 0, 0, 0, 0, 0},
       0,
       0,
       7,
       5,
       false,
       0,
       87,
       0xFFFFFF,
       0xFFFFFF},
      {"7 bpp",
       {40, 7, 5, 1, 7, BI_RGB, 0, 0, 0, 0, 0},
       0,
       0,
       7,
       5,
       false,
       0,
       87,
       0xFFFFFF,
       0xFFFFFF},
      {"width 0",
       {40, 0, 5, 1, 24, BI_RGB, 0, 0, 0, 0, 0},
       0,
       0,
       7,
       5,
       false,
       0,
       87,
       0xFFFFFF,
       0xFFFFFF},
      {"24 bpp bit fields",
       {40, 7, 5, 1, 24, BI_BITFIELDS, 0, 0, 0, 0, 0},
       0,
       0,
       7,
       5,
       false,
       0,
       87,
       0xFFFFFF,
       0xFFFFFF},
      {"all zero", {}, 0, 0, 7, 5, false, 0, 87, 0xFFFFFF, 0xFFFFFF},
      {"null bits", good, 0, 0, 7, 5, true, 0, kUntouched, 0xFFFFFF, 0xFFFFFF},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    rt::fill_client(hwnd, WHITE_BRUSH);
    BITMAPINFO info = {c.h, {}};
    HDC dc = GetDC(hwnd);
    EXPECT_EQ(SetStretchBltMode(dc, COLORONCOLOR), BLACKONWHITE);
    SetLastError(kUntouched);
    EXPECT_EQ(StretchDIBits(dc, 0, 0, 70, 50, c.xs, c.ys, c.ws, c.hs,
                            c.null_bits ? nullptr : bits.data(), &info, DIB_RGB_COLORS, SRCCOPY),
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
  BITMAPINFO info = {good, {}};
  SetStretchBltMode(dc, COLORONCOLOR);
  EXPECT_EQ(
      StretchDIBits(dc, 0, 0, 70, 50, 0, 0, 7, 5, bits.data(), &info, DIB_RGB_COLORS, SRCCOPY), 5);
  EndPaint(hwnd, &ps);
  const std::vector<COLORREF> px = rt::read_client(hwnd, 70, 50);
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 70; ++x) {
      const bool inside = x >= 10 && x < 35 && y >= 15 && y < 42;
      ASSERT_EQ(px[static_cast<size_t>(y * 70 + x)], inside ? kRows[4 - y / 10] : 0xFFFFFF)
          << x << ", " << y;
    }
}

TEST_F(Pictures, SystemTextsAndLocalMemory) {
  const struct {
    DWORD code;
    const char* text;
  } cases[] = {
      {0, "The operation completed successfully.\r\n"},
      {2, "The system cannot find the file specified.\r\n"},
      {3, "The system cannot find the path specified.\r\n"},
      {5, "Access is denied.\r\n"},
      {6, "The handle is invalid.\r\n"},
      {8, "Not enough memory resources are available to process this command.\r\n"},
      {13, "The data is invalid.\r\n"},
      {87, "The parameter is incorrect.\r\n"},
      {157, "The segment is already discarded and cannot be locked.\r\n"},
      {1006,
       "The volume for a file has been externally altered so that the opened file is no longer "
       "valid.\r\n"},
      {0x20001234, nullptr},
  };
  const DWORD flags =
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    LPSTR text = const_cast<LPSTR>("not replaced");
    SetLastError(kUntouched);
    const DWORD n =
        FormatMessageA(flags, nullptr, c.code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                       reinterpret_cast<LPSTR>(&text), 0, nullptr);
    if (!c.text) {
      EXPECT_EQ(n, 0u);
      EXPECT_EQ(text, nullptr);
      EXPECT_EQ(GetLastError(), ERROR_MR_MID_NOT_FOUND);
      continue;
    }
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, c.text);
    EXPECT_EQ(n, strlen(c.text));
    EXPECT_EQ(LocalFree(text), nullptr);
    EXPECT_EQ(LocalFree(text), text) << "freed twice";
  }
  int on_stack = 0;
  SetLastError(0);
  EXPECT_EQ(LocalFree(&on_stack), &on_stack) << "not a local block: refused, not freed";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(Pictures, WsprintfFormats) {
  char out[1100];
  const struct {
    std::string got, want;
  } cases[] = {
      {(wsprintfA(out, "%d|%i|%u", -5, 42, 4000000000u), out), "-5|42|4000000000"},
      {(wsprintfA(out, "%x|%X|%#x|%08lX", 255u, 255u, 255u, 0xABCDu), out), "ff|FF|0xff|0000ABCD"},
      {(wsprintfA(out, "%ld|%lu", static_cast<LONG>(-1), static_cast<DWORD>(7)), out), "-1|7"},
      {(wsprintfA(out, "%I64d|%I64u", -5000000000LL, 5000000000ULL), out),
       "-5000000000|5000000000"},
      {(wsprintfA(out, "[%5d][%-5d][%05d][%.3d]", 7, 7, -7, 7), out), "[    7][7    ][-0007][007]"},
      {(wsprintfA(out, "[%s][%6s][%-6s][%.2s][%hs]", "abc", "abc", "abc", "abc", "x"), out),
       "[abc][   abc][abc   ][ab][x]"},
      {(wsprintfA(out, "%c%c|%s|100%%", 'o', 'k', static_cast<const char*>(nullptr)), out),
       "ok|(null)|100%"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.want);

  // 1024 characters at most, the terminator included, however they arise.
  const std::string long_text(3000, 'a');
  for (const std::string& format : {std::string("%s"), std::string("b%s"), long_text}) {
    memset(out, 'Z', sizeof out);
    EXPECT_EQ(wsprintfA(out, format.c_str(), long_text.c_str()), 1023);
    EXPECT_EQ(strlen(out), 1023u);
    EXPECT_EQ(out[1024], 'Z');
  }
}

TEST_F(Pictures, FilesAndGlobalMemory) {
  fs::create_directories(dir / "adir");
  const struct {
    std::string name;
    DWORD error;
  } failures[] = {
      {(dir / "missing").string(), ERROR_FILE_NOT_FOUND},
      {(dir / "nodir/missing").string(), ERROR_PATH_NOT_FOUND},
      {(dir / "adir").string(), ERROR_ACCESS_DENIED},
  };
  for (const auto& c : failures) {
    SetLastError(kUntouched);
    EXPECT_EQ(CreateFileA(c.name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                          nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), c.error) << c.name;
  }
  const std::string name = file("five", Bytes{'h', 'e', 'l', 'l', 'o'});
  HANDLE f = CreateFileA((dir.string() + "\\five").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE) << "a backslash separates folders";
  DWORD high = 99, got = 99;
  EXPECT_EQ(GetFileSize(f, &high), 5u);
  EXPECT_EQ(high, 0u);
  char buf[8] = {};
  EXPECT_TRUE(ReadFile(f, buf, 8, &got, nullptr));
  EXPECT_EQ(got, 5u);
  EXPECT_STREQ(buf, "hello");
  EXPECT_TRUE(ReadFile(f, buf, 8, &got, nullptr)) << "the end is no error";
  EXPECT_EQ(got, 0u);
  EXPECT_TRUE(CloseHandle(f));
  SetLastError(0);
  EXPECT_FALSE(ReadFile(f, buf, 8, &got, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  SetLastError(0);
  EXPECT_EQ(GetFileSize(f, nullptr), INVALID_FILE_SIZE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

  // trace7: an empty file's block of 0 bytes exists but is discarded.
  HGLOBAL empty = GlobalAlloc(GMEM_MOVEABLE | GMEM_SHARE, 0);
  ASSERT_NE(empty, nullptr);
  SetLastError(0);
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

TEST_F(Pictures, OleLoadPictureOnMemoryStreams) {
  const Bytes jpeg = load(data("jpeg_decode/baseline_420.jpg"));
  const struct {
    const char* what;
    Bytes bytes;
    HRESULT result;
    int width, height;
  } cases[] = {
      {"JPEG", jpeg, S_OK, 37, 23},
      {"progressive JPEG", load(data("jpeg_decode/gray_progressive.jpg")), S_OK, 9, 41},
      {"24 bpp BMP", load(data("bmp/rgb24_info.bmp")), S_OK, 13, 7},
      {"1 bpp BMP", load(data("bmp/pal2.bmp")), S_OK, 13, 7},
      {"text", Bytes(30, 't'), E_FAIL, 0, 0},
      {"truncated JPEG", Bytes(jpeg.begin(), jpeg.begin() + jpeg.size() / 2), E_FAIL, 0, 0},
      {"SOI and EOI", Bytes{0xFF, 0xD8, 0xFF, 0xD9}, E_FAIL, 0, 0},
      {"empty", Bytes(), E_FAIL, 0, 0},
  };
  const int objects = PlatformCountGdiObjects();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    IStream* stream = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(block_of(c.bytes), TRUE, &stream), S_OK);
    IPicture* picture = reinterpret_cast<IPicture*>(&stream);  // must be replaced
    EXPECT_EQ(OleLoadPicture(stream, static_cast<LONG>(c.bytes.size()), FALSE, IID_IPicture,
                             reinterpret_cast<void**>(&picture)),
              c.result);
    EXPECT_EQ(stream->Release(), 0u);
    if (c.result != S_OK) {
      EXPECT_EQ(picture, nullptr);
      EXPECT_EQ(PlatformCountGdiObjects(), objects);
      continue;
    }
    ASSERT_NE(picture, nullptr);
    SHORT type = 0;
    OLE_XSIZE_HIMETRIC w = 0, h = 0;
    OLE_HANDLE handle = 0;
    EXPECT_EQ(picture->get_Type(&type), S_OK);
    EXPECT_EQ(type, PICTYPE_BITMAP);
    picture->get_Width(&w);
    picture->get_Height(&h);
    EXPECT_EQ(w, (c.width * 2540 + 48) / 96);
    EXPECT_EQ(h, (c.height * 2540 + 48) / 96);
    EXPECT_EQ(picture->get_Handle(&handle), S_OK);
    auto bm = static_cast<HBITMAP>(LongToHandle(static_cast<LONG>(handle)));
    Bytes bits, other;
    const Bytes a = query_and_fetch(bm, 0xCC, &bits), b = query_and_fetch(bm, 0x33, &other);
    const auto* hdr = reinterpret_cast<const BITMAPINFOHEADER*>(a.data());
    EXPECT_EQ(hdr->biWidth, c.width);
    EXPECT_EQ(hdr->biHeight, c.height);
    EXPECT_EQ(hdr->biBitCount, 32);
    EXPECT_EQ(hdr->biCompression, static_cast<DWORD>(BI_BITFIELDS));
    EXPECT_EQ(hdr->biSizeImage, static_cast<DWORD>(c.width * c.height * 4));
    for (size_t i = 40; i < a.size(); ++i) ASSERT_EQ(a[i] == b[i], i < 52) << "byte " << i;
    EXPECT_EQ(le32(a, 40), 0xFF0000u);
    EXPECT_EQ(le32(a, 44), 0xFF00u);
    EXPECT_EQ(le32(a, 48), 0xFFu);
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
    SetLastError(0);
    EXPECT_EQ(GlobalSize(block), free_block ? 0 : jpeg.size());
    EXPECT_EQ(GetLastError(), free_block ? static_cast<DWORD>(ERROR_INVALID_HANDLE) : 0u);
    if (!free_block) GlobalFree(block);
  }
}

}  // namespace
