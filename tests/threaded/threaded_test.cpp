// The threaded program's window procedure and worker, headless: start and
// its failure, the stop order, keys and closing, no drawing without an area,
// and the worker's picture against the plain program's.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "program_window.h"
#include "rainbow.h"

namespace {

using namespace threaded_test;

const int kWidth = 240;
const int kHeight = 180;

// A window of another class that only keeps the sky layout: the plain
// program's picture is drawn into it, and WM_CREATE is sent to the threaded
// procedure by hand beside it.
LRESULT CALLBACK ReferenceProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SIZE) {
    rainbow_update_layout(lParam);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND create_reference_window(int width, int height) {
  static const ATOM registered = [] {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = ReferenceProc;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = "reference";
    return RegisterClassExA(&wc);
  }();
  if (!registered) return nullptr;
  HWND window = CreateWindowExA(0, "reference", "reference", WS_OVERLAPPEDWINDOW, 0, 0, width,
                                height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (window) SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
  return window;
}

std::vector<COLORREF> read_client(HWND window, int width, int height) {
  std::vector<COLORREF> px(static_cast<size_t>(width) * static_cast<size_t>(height), 0xFFFFFFFF);
  EXPECT_TRUE(PlatformReadClient(window, px.data(), width, height));
  return px;
}

size_t lit_pixels(const std::vector<COLORREF>& px) {
  size_t n = 0;
  for (COLORREF c : px) n += c != 0;
  return n;
}

void collect_line(const char* line, void* lines) {
  static_cast<std::vector<std::string>*>(lines)->push_back(line);
}

const unsigned long kInFlight = 2;  // samples that may still count once the size is 0

const DWORD kWaitDone = WAIT_OBJECT_0;
const DWORD kWaitRunning = WAIT_TIMEOUT;

class ThreadedProgram : public ::testing::Test {
 protected:
  void TearDown() override {
    close_program_window(window_);
    if (other_) DestroyWindow(other_);
  }
  HWND window_ = nullptr;  // the program's window
  HWND other_ = nullptr;   // a reference window
};

struct CreateCase {
  const char* name;
  DWORD fail_with;         // error CreateThread reports; 0: it succeeds
  LRESULT result;          // of WM_CREATE
  const char* debug_line;  // null: none
};

const CreateCase kCreateCases[] = {
    {"worker starts", 0, 0, nullptr},
    {"out of memory", ERROR_NOT_ENOUGH_MEMORY, 1, "Vesk:Error 8 in Creating thread\n"},
    {"access denied", ERROR_ACCESS_DENIED, 1, "Vesk:Error 5 in Creating thread\n"},
    {"code above INT_MAX", 0x80070008, 1, "Vesk:Error 2147942408 in Creating thread\n"},
};

TEST_F(ThreadedProgram, CreateZeroesTheSizeAndStartsTheWorkerOrReportsWhyNot) {
  other_ = create_reference_window(kWidth, kHeight);
  ASSERT_NE(other_, nullptr);
  for (const CreateCase& c : kCreateCases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> lines;
    PlatformSetDebugSink(collect_line, &lines);
    PlatformFailNextCreateThread(c.fail_with);
    keep_running = 0;
    rainbow_update_layout(MAKELPARAM(kWidth, kHeight));  // a size left from before

    EXPECT_EQ(WndProc(other_, WM_CREATE, 0, 0), c.result);
    EXPECT_EQ(cxClient.load(), 0);
    EXPECT_EQ(cyClient.load(), 0);
    EXPECT_EQ(keep_running.load(), 1);
    if (c.debug_line) {
      EXPECT_EQ(hThread1, nullptr);
      EXPECT_EQ(lines, std::vector<std::string>{c.debug_line});
    } else {
      ASSERT_NE(hThread1, nullptr);
      EXPECT_EQ(WaitForSingleObject(hThread1, 0), kWaitRunning);
      EXPECT_TRUE(lines.empty());
    }

    EXPECT_EQ(WndProc(other_, WM_DESTROY, 0, 0), 0);
    if (hThread1) {
      EXPECT_EQ(WaitForSingleObject(hThread1, 0), kWaitDone);
    }
    close_program_window(nullptr);
  }
}

TEST_F(ThreadedProgram, DestroyLowersTheFlagJoinsTheWorkerThenPostsQuit) {
  window_ = create_program_window(kWidth, kHeight);
  ASSERT_NE(window_, nullptr);
  ASSERT_TRUE(eventually([] { return samples_done > 0; }));  // drawing, not idle
  HANDLE worker = hThread1;

  ASSERT_TRUE(DestroyWindow(window_));
  // The worker has ended by the time the handler returned, and stays ended.
  EXPECT_EQ(keep_running.load(), 0);
  EXPECT_EQ(WaitForSingleObject(worker, 0), kWaitDone);
  const unsigned long samples = samples_done;
  Sleep(20);
  EXPECT_EQ(samples_done.load(), samples);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 0u);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));  // one quit only
}

TEST_F(ThreadedProgram, WithoutAWorkerTheWindowStaysBlackAndClosesNormally) {
  std::vector<std::string> lines;
  PlatformSetDebugSink(collect_line, &lines);
  PlatformFailNextCreateThread(ERROR_NOT_ENOUGH_MEMORY);
  window_ = create_program_window(kWidth, kHeight);
  ASSERT_NE(window_, nullptr);  // the failure does not stop creation
  EXPECT_EQ(lines, std::vector<std::string>{"Vesk:Error 8 in Creating thread\n"});
  ShowWindow(window_, SW_SHOWDEFAULT);
  UpdateWindow(window_);
  EXPECT_EQ(dispatch_pending(), -1);
  Sleep(20);
  EXPECT_EQ(lit_pixels(read_client(window_, kWidth, kHeight)), 0u);

  PlatformInjectWindowEvent(window_, PLATFORM_CLOSE_BOX, 0, 0);
  EXPECT_EQ(run_message_loop(), 0);
  EXPECT_FALSE(IsWindow(window_));
}

void press(HWND window, const char* key, BOOL alt) {
  PlatformInjectKey(window, key, TRUE, alt);
  PlatformInjectKey(window, key, FALSE, alt);
}
void close_box(HWND window) {
  PlatformInjectWindowEvent(window, PLATFORM_CLOSE_BOX, 0, 0);
}
void alt_f4(HWND window) {
  press(window, "F4", TRUE);
}
void escape(HWND window) {
  press(window, "Escape", FALSE);
}
void letter(HWND window) {
  press(window, "A", FALSE);
}

struct CloseCase {
  const char* name;
  bool minimised;
  void (*act)(HWND);
  bool closes;
};

const CloseCase kCloseCases[] = {
    {"close box", false, close_box, true}, {"close box while minimised", true, close_box, true},
    {"Alt+F4", false, alt_f4, true},       {"Alt+F4 while minimised", true, alt_f4, true},
    {"Escape", false, escape, false},      {"Escape while minimised", true, escape, false},
    {"a letter", false, letter, false},
};

TEST_F(ThreadedProgram, KeysAreThePlatformsAndClosingEndsTheLoopWithZero) {
  for (const CloseCase& c : kCloseCases) {
    SCOPED_TRACE(c.name);
    window_ = create_program_window(kWidth, kHeight);
    ASSERT_NE(window_, nullptr);
    ShowWindow(window_, SW_SHOWDEFAULT);
    UpdateWindow(window_);
    ASSERT_TRUE(eventually([] { return samples_done > 0; }));
    if (c.minimised) {
      PlatformInjectWindowEvent(window_, PLATFORM_MINIMIZED, 0, 0);
      dispatch_pending();
      ASSERT_EQ(cxClient.load(), 0);  // the worker spins without drawing
    }
    HANDLE worker = hThread1;

    c.act(window_);
    if (c.closes) {
      EXPECT_EQ(run_message_loop(), 0);
      EXPECT_FALSE(IsWindow(window_));
      EXPECT_EQ(WaitForSingleObject(worker, 0), kWaitDone);
    } else {
      EXPECT_EQ(dispatch_pending(), -1);
      EXPECT_TRUE(IsWindow(window_));
      EXPECT_EQ(WaitForSingleObject(worker, 0), kWaitRunning);
      if (!c.minimised) {
        const unsigned long samples = samples_done;
        EXPECT_TRUE(eventually([=] { return samples_done > samples; }));
      }
    }
    close_program_window(window_);
  }
}

void never_sized(HWND) {}
void size_it(HWND window) {
  SetWindowPos(window, nullptr, 0, 0, kWidth, kHeight, SWP_NOMOVE | SWP_NOZORDER);
}
void size_and_minimise(HWND window) {
  size_it(window);
  ShowWindow(window, SW_SHOWDEFAULT);
  ASSERT_TRUE(eventually([] { return samples_done > 0; }));
  PlatformInjectWindowEvent(window, PLATFORM_MINIMIZED, 0, 0);
  dispatch_pending();
}
void restore(HWND window) {
  PlatformInjectWindowEvent(window, PLATFORM_RESTORED, 0, 0);
  dispatch_pending();
}

struct NoAreaCase {
  const char* name;
  void (*take_area)(HWND);
  void (*give_area)(HWND);
};

const NoAreaCase kNoAreaCases[] = {
    {"before the first size", never_sized, size_it},
    {"while minimised", size_and_minimise, restore},
};

TEST_F(ThreadedProgram, WorkerSamplesNothingWithoutAnAreaAndResumesOnWmSize) {
  for (const NoAreaCase& c : kNoAreaCases) {
    SCOPED_TRACE(c.name);
    window_ = create_program_window();
    ASSERT_NE(window_, nullptr);
    c.take_area(window_);
    ASSERT_EQ(cxClient.load(), 0);
    // A sample begun before the size fell still ends and counts, however late
    // the worker is scheduled, and the count read here may still miss the one
    // before it; no sample begins after.  A worker that ignored the size
    // would count thousands within the window.
    const unsigned long samples = samples_done;
    EXPECT_FALSE(eventually([=] { return samples_done > samples + kInFlight; }, 100))
        << samples_done.load() << " samples after " << samples;
    EXPECT_EQ(WaitForSingleObject(hThread1, 0), kWaitRunning);  // spinning, not ended

    c.give_area(window_);
    EXPECT_TRUE(eventually([=] { return samples_done > samples + kInFlight; }));
    EXPECT_TRUE(eventually([&] { return lit_pixels(read_client(window_, kWidth, kHeight)) > 0; }));
    close_program_window(window_);
  }
}

// The worker runs unhindered; once it is stopped, the samples it counted say
// how many steps the plain program needs for the same picture.
TEST_F(ThreadedProgram, PictureEqualsThePlainProgramsAfterAsManySteps) {
  window_ = create_program_window(kWidth, kHeight);
  ASSERT_NE(window_, nullptr);
  ASSERT_TRUE(eventually([] { return samples_done >= 200000; }));
  SendMessageA(window_, WM_DESTROY, 0, 0);  // stops the worker, keeps the pixels
  const unsigned long samples = samples_done;
  const std::vector<COLORREF> worker_picture = read_client(window_, kWidth, kHeight);
  ASSERT_GT(lit_pixels(worker_picture), 1000u);
  close_program_window(window_);

  other_ = create_reference_window(kWidth, kHeight);
  ASSERT_NE(other_, nullptr);
  HWND reference = other_;
  // A new thread, whose generator starts at 1 like the plain program's.
  std::thread plain([=] {
    for (unsigned long i = 0; i < samples; ++i) display_current_operation(reference);
  });
  plain.join();
  const std::vector<COLORREF> plain_picture = read_client(other_, kWidth, kHeight);

  size_t differing = 0;
  for (size_t i = 0; i < plain_picture.size(); ++i)
    differing += plain_picture[i] != worker_picture[i];
  EXPECT_EQ(differing, 0u) << "after " << samples << " samples";
}

}  // namespace
