// The worker draws while the window thread resizes, minimises, restores,
// repaints, presents and finally closes the window, several times over.  Run
// under ThreadSanitizer (label tsan): any report fails the run.
#include <gtest/gtest.h>

#include "program_window.h"
#include "rainbow.h"

namespace {

using namespace threaded_test;

const int kRounds = 4;
const int kActionsPerRound = 300;

// Client sizes to cycle through: ordinary, tiny, and narrower than 49 pixels
// (whose layout throws the bows off the window).
const int kSizes[][2] = {{640, 480}, {320, 200}, {1, 1}, {48, 300}, {49, 2}, {800, 90}, {123, 457}};
const int kSizeCount = sizeof kSizes / sizeof kSizes[0];

void act(HWND window, int step) {
  const int* size = kSizes[step % kSizeCount];
  switch (step % 6) {
    case 0:
      SetWindowPos(window, nullptr, 0, 0, size[0], size[1], SWP_NOMOVE | SWP_NOZORDER);
      break;
    case 1:  // as the window manager reports a user's drag
      PlatformInjectWindowEvent(window, PLATFORM_RESIZED, size[0], size[1]);
      break;
    case 2:
      PlatformInjectWindowEvent(window, PLATFORM_MINIMIZED, 0, 0);
      break;
    case 3:
      PlatformInjectWindowEvent(window, PLATFORM_RESTORED, 0, 0);
      break;
    case 4:  // a repaint erases under the worker
      InvalidateRect(window, nullptr, TRUE);
      UpdateWindow(window);
      break;
    case 5:
      PlatformInjectWindowEvent(window, PLATFORM_EXPOSED, 0, 0);
      break;
  }
}

TEST(ThreadedStress, ResizeMinimiseRestoreAndCloseWhileTheWorkerDraws) {
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE(round);
    HWND window = create_program_window();
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOWDEFAULT);
    UpdateWindow(window);
    ASSERT_TRUE(eventually([] { return samples_done > 0; }));  // drawing before the first action
    for (int step = 0; step < kActionsPerRound; ++step) {
      act(window, step + round);
      dispatch_pending();
      Sleep(1);  // the worker draws between actions
    }
    // Closing while minimised on odd rounds: the worker leaves its spin.
    if (round % 2) PlatformInjectWindowEvent(window, PLATFORM_MINIMIZED, 0, 0);
    HANDLE worker = hThread1;
    PlatformInjectWindowEvent(window, PLATFORM_CLOSE_BOX, 0, 0);
    EXPECT_EQ(run_message_loop(), 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(WaitForSingleObject(worker, 0), static_cast<DWORD>(WAIT_OBJECT_0));
    close_program_window(window);
  }
}

}  // namespace
