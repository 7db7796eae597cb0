// Picture files no picture fits, given to one backdrop program (this file is
// built once with each program's loader): files too large to hold a picture,
// sparse ones, and a few bytes of RLE claiming a huge picture.  The program
// sends its usual line, reads next to nothing of the file, and its peak
// resident memory (from /proc) hardly moves.
#include <gtest/gtest.h>
#include <rainbow_platform.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "backdrop.h"
#include "backdrop_check.h"
#include "diagnostics.h"
#include "dib.h"
#include "picture_loader.h"
#include "shell.h"

namespace {

namespace fs = std::filesystem;
const uint64_t kMiB = uint64_t(1) << 20;

// A number from /proc/self/<file> after "<field>:".
uint64_t proc_value(const char* file, const std::string& field) {
  std::ifstream in(std::string("/proc/self/") + file);
  std::string name;
  uint64_t value = 0;
  while (in >> name >> value)
    if (name == field + ":") return value;
  return 0;
}

std::string le(uint32_t v, int n) {
  std::string b;
  for (int i = 0; i < n; i++) b += static_cast<char>(v >> 8 * i);
  return b;
}

// A file header and 40-byte info header, the colour table right behind.
std::string bmp_head(int32_t w, int32_t h, int bpp, uint32_t compression, uint32_t table) {
  const std::string zeros(20, '\0');
  return "BM" + zeros.substr(0, 8) + le(54 + table, 4) + le(40, 4) + le(w, 4) + le(h, 4) +
         le(1, 2) + le(bpp, 2) + le(compression, 4) + zeros + std::string(table, '\x40');
}

// An RLE8 stream of full runs slightly longer than the ratio bound asks for
// 16384 x 16384 pixels, so only the pixel cap refuses it.
std::string rle_bomb() {
  std::string runs;
  for (uint64_t i = 0; i < (kMiB + 4096) / 2; i++) runs += "\xFF\x01";
  return bmp_head(16384, 16384, 8, BI_RLE8, 1024) + runs;
}

TEST(HostileFiles, RefusedUnreadWithTheUsualLine) {
  const struct {
    const char* name;
    std::string head;  // the file's first bytes; the rest reads as zeros
    uint64_t size;
    DWORD error;  // the error the line's text comes from
  } cases[] = {
      {"2 GB sparse JPEG", "\xFF\xD8\xFF", 2000000000, ERROR_NOT_ENOUGH_MEMORY},
      {"3 GB sparse JPEG", "\xFF\xD8\xFF", 3000000000, ERROR_NOT_ENOUGH_MEMORY},
      {"1 GiB sparse, a 16000 x 16000 32 bpp header", bmp_head(16000, 16000, 32, BI_RGB, 0),
       1024 * kMiB, ERROR_NOT_ENOUGH_MEMORY},
      {"1 GiB of zeros", "", 1024 * kMiB, ERROR_NOT_ENOUGH_MEMORY},
      {"one byte past the largest picture file", "BM", plat::kMaxPictureFileBytes + 1,
       ERROR_NOT_ENOUGH_MEMORY},
      // Read whole, then refused by either program's decoder for its size.
      {"1 MiB of RLE8 claiming 16384 x 16384", rle_bomb(), 0, ERROR_FILE_TOO_LARGE},
  };
  const fs::path home = fs::current_path();
  const fs::path dir = fs::temp_directory_path() / ("rainbow_hostile_" + std::to_string(getpid()));
  fs::create_directories(dir);
  fs::current_path(dir);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    { std::ofstream(backdrop_file, std::ios::binary) << c.head; }
    if (c.size) fs::resize_file(backdrop_file, c.size);  // sparse: nothing written
    SetLastError(c.error);
    const std::string want = std::string("LoadImage: ") + get_system_message() + "\n";

    std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts again from here
    const uint64_t resident = proc_value("status", "VmRSS") * 1024;
    const uint64_t read_before = proc_value("io", "rchar");
    bt::DebugLines lines;
    HWND hwnd = rainbow_create_main_window(GetModuleHandleA(nullptr));
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(lines.lines, std::vector<std::string>{want});
    EXPECT_EQ(pBits, nullptr);
    EXPECT_LT(proc_value("status", "VmHWM") * 1024, resident + 64 * kMiB);
    EXPECT_LT(proc_value("io", "rchar") - read_before, 2 * kMiB + c.head.size());
    DestroyWindow(hwnd);
    rt::drain();
    if (pIStream) pIStream->Release();  // the loader keeps it; the test does not
    pIStream = nullptr;
    fs::remove(backdrop_file);
  }
  fs::current_path(home);
  fs::remove_all(dir);
}

}  // namespace
