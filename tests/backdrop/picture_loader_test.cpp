// The photo program's picture loader over files made by real tools (cjpeg,
// jpegtran, exiftool, ImageMagick), damaged files, the bitmaps it keeps, and
// its message box: text, caption, and its place before the window.
#include <gtest/gtest.h>
#include <rainbow_testing.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "backdrop.h"
#include "backdrop_check.h"
#include "picture_loader.h"
#include "shell.h"

namespace {

namespace fs = std::filesystem;
const DWORD kAny = 0xFFFFFFFF;  // a frame size not checked
const std::string kNoFile = "The system cannot find the file specified.\r";

LRESULT CALLBACK PlainProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

class Loader : public testing::Test {
 public:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("rainbow_loader_" + std::to_string(getpid()));
    fs::create_directories(dir);
    home = fs::current_path();
    PlatformSetMessageBoxSink(
        [](const char* caption, const char* text, void* me) {
          static_cast<Loader*>(me)->events.push_back(std::string("box ") + caption + ": " + text);
        },
        this);
    m_image = t_EIMAGE();
  }
  // The loader keeps each picture and stream for the life of the process;
  // the test gives them back itself (the pictures' bitmaps with them).
  void keep() {
    for (IUnknown* o : {static_cast<IUnknown*>(pPict), static_cast<IUnknown*>(pIStream)})
      if (o) kept.push_back(o);
    pPict = nullptr;
    pIStream = nullptr;
  }
  void release_kept() {
    for (IUnknown* o : kept) o->Release();
    kept.clear();
  }
  void TearDown() override {
    keep();
    release_kept();
    PlatformSetMessageBoxSink(nullptr, nullptr);
    PlatformSetDebugSink(nullptr, nullptr);
    fs::current_path(home);
    fs::remove_all(dir);
  }
  // The first `bytes` of a file, as a new file in the scratch folder.
  std::string cut(const std::string& from, size_t bytes, const std::string& name) {
    std::ifstream in(from, std::ios::binary);
    std::string b{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::ofstream(dir / name, std::ios::binary) << b.substr(0, bytes);
    return (dir / name).string();
  }
  fs::path dir, home;
  std::vector<std::string> events;
  std::vector<IUnknown*> kept;
};

TEST_F(Loader, GetImagefOnRealAndDamagedFiles) {
  {  // 640 x 480, baseline, made by cjpeg now
    std::ofstream ppm(dir / "big.ppm", std::ios::binary);
    ppm << "P6 640 480 255\n";
    for (int i = 0; i < 640 * 480; ++i) ppm << char(i % 640 / 3) << char(i / 640 / 2) << 'd';
  }
  const std::string big = (dir / "big.jpg").string();
  ASSERT_EQ(system((RAINBOW_CJPEG " -outfile " + big + " " + (dir / "big.ppm").string()).c_str()),
            0);
  const std::string mm6 = bt::data("jpeg/baseline_mm_6.jpg"), ii6 = bt::data("jpeg/large_ii_6.jpg");
  const struct {
    std::string file;
    int result;
    DWORD frame;
    BYTE orientation;
  } cases[] = {
      {big, 1, 0x01E00280, 0},
      {mm6, 1, 0x00080010, 6},
      {bt::data("jpeg/arithmetic_ii_3.jpg"), 1, 0x00080010, 3},
      {bt::data("jpeg/progressive_ii_8.jpg"), 1, 0x00080010, 8},
      {bt::data("jpeg/large_mm_none.jpg"), 1, 0x00300040, 0},
      {bt::data("jpeg_decode/gray_progressive.jpg"), 1, 0x00290009, 0},
      {bt::data("jpeg_decode/cmyk.jpg"), 1, 0x00170025, 0},
      {cut(ii6, 0, "empty.jpg"), 0, 0, 0},
      {cut(ii6, 2, "soi.jpg"), 0, kAny, 0},
      {cut(ii6, 100, "in_exif.jpg"), 0, kAny, 0},
      {cut(ii6, 265, "in_frame_header.jpg"), 0, kAny, 6},
      {cut(ii6, 800, "in_scan.jpg"), 0, 0x00300040, 6},
      {cut(ii6, 944, "no_eoi.jpg"), 0, 0x00300040, 6},
      {bt::data("bmp/pal16.bmp"), 1, kAny, 0},
      {cut(bt::data("bmp/pal16.bmp"), 100, "cut.bmp"), 0, kAny, 0},
      {bt::data("bmp/pal16.ppm"), 0, kAny, 0},
  };
  rt::register_class("loader_test", PlainProc, 0, BLACK_BRUSH);
  HWND hwnd = rt::create_window("loader_test", 64, 48);
  HDC dc = GetDC(hwnd);
  const int objects = PlatformCountGdiObjects();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    t_EIMAGE image;
    memset(&image, 0xAB, sizeof image);
    std::string name = c.file;
    EXPECT_EQ(GetImagef(&name[0], &image), c.result);
    keep();
    EXPECT_EQ(image.kind, c.result ? 6 : 0);
    EXPECT_EQ(image.orientation, c.orientation);
    EXPECT_TRUE(c.frame == kAny || image.frame_size == c.frame) << std::hex << image.frame_size;
    EXPECT_EQ(image.handle != 0, c.result == 1);
    EXPECT_EQ(PlatformCountGdiObjects(), objects + c.result) << "a bitmap for a picture only";
    if (!c.result || c.frame == kAny) {
      release_kept();
      continue;
    }
    BITMAPINFOHEADER h[2] = {};
    h[0].biSize = sizeof h[0];
    auto bm = static_cast<HBITMAP>(LongToHandle(static_cast<LONG>(image.handle)));
    EXPECT_EQ(GetDIBits(dc, bm, 0, 0, nullptr, reinterpret_cast<BITMAPINFO*>(h), DIB_RGB_COLORS),
              static_cast<int>(c.frame >> 16));
    EXPECT_EQ(static_cast<DWORD>(h[0].biWidth), c.frame & 0xFFFF);
    release_kept();
  }
  EXPECT_TRUE(events.empty());
  ReleaseDC(hwnd, dc);
  DestroyWindow(hwnd);
}

TEST_F(Loader, MakeImageKeepsOneBitmap) {
  const int objects = PlatformCountGdiObjects();
  std::string first = bt::data("jpeg/baseline_mm_6.jpg"), second = bt::data("bmp/pal16.bmp");
  std::string missing = (dir / "missing.jpg").string(), text = bt::data("bmp/pal16.ppm");
  HBITMAP a = MakeImage(&first[0]);
  keep();
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(m_image.handle, HandleToULong(a));
  HBITMAP b = MakeImage(&second[0]);
  keep();
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(PlatformCountGdiObjects(), objects + 1);
  EXPECT_FALSE(DeleteObject(a)) << "deleted already";
  EXPECT_EQ(MakeImage(&text[0]), nullptr);
  keep();
  EXPECT_EQ(PlatformCountGdiObjects(), objects);
  EXPECT_NE(MakeImage(&first[0]), nullptr);
  keep();
  EXPECT_EQ(MakeImage(&missing[0]), nullptr);
  keep();
  EXPECT_EQ(PlatformCountGdiObjects(), objects);
  EXPECT_EQ(m_image.handle, 0u);
  EXPECT_EQ(events, std::vector<std::string>{"box CreateFile: CreateFile: " + kNoFile});
}

// The photo program's own creation: the box comes while the window is being
// created, so before it is shown, and the line follows it.
TEST_F(Loader, PhotoWindowComesAfterTheBox) {
  PlatformSetDebugSink(
      [](const char* line, void* me) {
        static_cast<Loader*>(me)->events.push_back(std::string("line ") + line);
      },
      this);
  fs::current_path(dir);
  for (bool present : {false, true}) {
    SCOPED_TRACE(present ? "with wfall.jpg" : "without");
    if (present) fs::copy_file(bt::data("jpeg_decode/baseline_420.jpg"), dir / "wfall.jpg");
    events.clear();
    HWND hwnd = rainbow_create_main_window(GetModuleHandleA(nullptr));
    ASSERT_NE(hwnd, nullptr);
    events.push_back("created");
    ShowWindow(hwnd, SW_SHOWDEFAULT);
    UpdateWindow(hwnd);
    rt::drain();
    if (present) {
      EXPECT_EQ(events, std::vector<std::string>{"created"});
      EXPECT_EQ(bmi.bmiHeader.biBitCount, 32);
      EXPECT_EQ(bmi.bmiHeader.biCompression, static_cast<DWORD>(BI_BITFIELDS));
      const DWORD masks[3] = {0xFF0000, 0xFF00, 0xFF};
      EXPECT_EQ(memcmp(bmi.bmiColors, masks, sizeof masks), 0) << "written at offset 40";
      EXPECT_LE(
          bt::differing(hwnd, bt::read_ppm(bt::data("jpeg_decode/baseline_420.ppm")), 640, 480), 2);
    } else {
      EXPECT_EQ(events, (std::vector<std::string>{"box CreateFile: CreateFile: " + kNoFile,
                                                  "line LoadImage: " + kNoFile + "\n", "created"}));
      EXPECT_EQ(pBits, nullptr);
      EXPECT_LE(rt::lit_pixels(rt::read_client(hwnd, 640, 480), 640).size(), 2u);
    }
    DestroyWindow(hwnd);
    rt::drain();
  }
}

// The photo program's line for a picture its decoder refuses names the
// reason, never the success an earlier call left behind.
TEST_F(Loader, RefusedPictureLineNamesTheReason) {
  fs::current_path(dir);
  std::vector<bt::RefusedJpeg> cases = bt::refused_jpegs();
  cases.push_back(
      {"a PNG named .jpg", "\x89PNG\r\n\x1A\n" + std::string(100, '\0'), bt::kInvalidData});
  cases.push_back({"an empty file", "", bt::kInvalidData});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::ofstream(dir / "wfall.jpg", std::ios::binary) << c.bytes;
    bt::DebugLines lines;
    HWND hwnd = rainbow_create_main_window(GetModuleHandleA(nullptr));
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(lines.lines,
              std::vector<std::string>{"LoadImage: " + std::string(c.reason) + "\r\n"});
    EXPECT_EQ(pBits, nullptr);
    DestroyWindow(hwnd);
    rt::drain();
    keep();
    release_kept();
  }
  EXPECT_TRUE(events.empty()) << "a box for a file that opened";
}

}  // namespace
