// One picture of the plain program, pinned: created, sized, shown and
// painted as rainbow_render does it, then a fixed number of idle steps.
#include <gtest/gtest.h>
#include <rainbow_platform.h>

#include <vector>

#include "bow_scan.h"
#include "golden.h"
#include "rainbow.h"
#include "shell.h"
#include "support.h"

namespace {

TEST(Golden, PlainPictureIsPinned) {
  rainbow_srand(1);  // where a fresh program's generator starts
  HWND hwnd = rainbow_create_main_window(GetModuleHandleA(nullptr));
  ASSERT_NE(hwnd, nullptr);
  SetWindowPos(hwnd, nullptr, 0, 0, rt::kGoldenWidth, rt::kGoldenHeight, SWP_NOMOVE | SWP_NOZORDER);
  ShowWindow(hwnd, SW_SHOWDEFAULT);
  UpdateWindow(hwnd);
  for (unsigned long i = 0; i < rt::kGoldenSteps; ++i) display_current_operation(hwnd);
  const std::vector<COLORREF> px = rt::read_client(hwnd, rt::kGoldenWidth, rt::kGoldenHeight);
  ASSERT_FALSE(px.empty());

  // The facts behind the picture first, so a changed hash can be explained.
  const rt::BowScan s = rt::scan_bows(px.data(), rt::kGoldenWidth, rt::kGoldenHeight);
  const char* why = "";
  EXPECT_TRUE(rt::bows_in_order(s, &why)) << why;
  EXPECT_EQ(s.foreign, 0);
  EXPECT_EQ(s.below_horizon, 0);
  EXPECT_EQ(s.beyond_sky, 0);
  EXPECT_EQ(s.secondary[4].count + s.secondary[5].count, 0);
  testing::Message counts;
  for (int k = 0; k < 6; ++k)
    counts << " colour " << k << ": " << s.primary[k].count << "+" << s.secondary[k].count;
  EXPECT_EQ(rt::fnv1a(px), rt::kGoldenHash) << "lit " << s.lit << counts;
  DestroyWindow(hwnd);
}

}  // namespace
