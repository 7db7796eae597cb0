// Win32's answers that programs build on: which key messages TranslateMessage
// turns into characters, the icons LoadIconA finds, the calls only a
// window's own thread may make, and the one code each refusal sets.
#include <gtest/gtest.h>
#include <rainbow_platform.h>

#include <functional>
#include <vector>

#include "support.h"

namespace {

LRESULT CALLBACK PlainProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

class Answers : public testing::Test {
 protected:
  void SetUp() override {
    rt::register_class("answers_test", PlainProc, CS_HREDRAW | CS_VREDRAW, BLACK_BRUSH);
    hwnd = rt::create_window("answers_test", 64, 48);
    ASSERT_NE(hwnd, nullptr);
    rt::drain();
  }
  void TearDown() override {
    DestroyWindow(hwnd);
    rt::drain();
  }
  // Removes what is queued, without translating or dispatching it.
  std::vector<MSG> queued() {
    std::vector<MSG> out;
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) out.push_back(m);
    return out;
  }
  HWND hwnd = nullptr;
};

TEST_F(Answers, TranslateMessageMakesCharactersOfKeyDowns) {
  struct Case {
    UINT message;
    WPARAM key;
    BOOL result;
    UINT made;  // 0: nothing posted
  };
  const Case cases[] = {
      {WM_KEYDOWN, VK_SPACE, TRUE, WM_CHAR},
      {WM_KEYDOWN, 'A', TRUE, WM_CHAR},
      {WM_KEYDOWN, '7', TRUE, WM_CHAR},
      {WM_KEYDOWN, VK_ESCAPE, TRUE, WM_CHAR},
      {WM_KEYDOWN, VK_RETURN, TRUE, WM_CHAR},
      {WM_KEYDOWN, VK_BACK, TRUE, WM_CHAR},
      {WM_KEYDOWN, VK_TAB, TRUE, WM_CHAR},
      {WM_SYSKEYDOWN, 'A', TRUE, WM_SYSCHAR},
      {WM_SYSKEYDOWN, VK_SPACE, TRUE, WM_SYSCHAR},
      // Nonzero for every key message, character or not.
      {WM_KEYDOWN, VK_F1, TRUE, 0},
      {WM_KEYDOWN, VK_LEFT, TRUE, 0},
      {WM_SYSKEYDOWN, VK_MENU, TRUE, 0},
      {WM_KEYUP, 'A', TRUE, 0},
      {WM_SYSKEYUP, VK_F10, TRUE, 0},
      // Anything else is no key message.
      {WM_CHAR, 'A', FALSE, 0},
      {WM_USER, 'A', FALSE, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "message 0x" << std::hex << c.message << " key 0x" << c.key);
    const MSG key = {hwnd, c.message, c.key, 0x00390001, 0, {0, 0}};
    EXPECT_EQ(TranslateMessage(&key), c.result);
    const std::vector<MSG> made = queued();
    ASSERT_EQ(made.size(), c.made ? 1u : 0u);
    if (!c.made) continue;
    EXPECT_EQ(made[0].hwnd, hwnd);
    EXPECT_EQ(made[0].message, c.made);
    EXPECT_EQ(made[0].wParam, c.key) << "the character of a fixed key is its code";
    EXPECT_EQ(made[0].lParam, key.lParam);
  }
  EXPECT_FALSE(TranslateMessage(nullptr));

  // The character comes before a key-up already waiting.
  PostMessageA(hwnd, WM_KEYUP, VK_SPACE, static_cast<LPARAM>(0xC0390001u));
  const MSG down = {hwnd, WM_KEYDOWN, VK_SPACE, 0x00390001, 0, {0, 0}};
  TranslateMessage(&down);
  const std::vector<MSG> order = queued();
  ASSERT_EQ(order.size(), 2u);
  EXPECT_EQ(order[0].message, static_cast<UINT>(WM_CHAR));
  EXPECT_EQ(order[1].message, static_cast<UINT>(WM_KEYUP));
}

TEST_F(Answers, LoadIconAFindsTheProgramsIconAndSaysWhyNot) {
  static const unsigned char kNotAPicture[] = "not a PNG";
  PlatformAddIconResource(901, kNotAPicture, sizeof kNotAPicture);
  HINSTANCE self = GetModuleHandleA(nullptr);
  struct Case {
    HINSTANCE instance;
    LPCSTR name;
    DWORD error;  // 0: found
  };
  const Case cases[] = {
      {self, MAKEINTRESOURCEA(303), 0},  // the icon every program's class uses
      {nullptr, IDI_APPLICATION, 0},
      {self, MAKEINTRESOURCEA(304), ERROR_RESOURCE_NAME_NOT_FOUND},
      {self, MAKEINTRESOURCEA(901), ERROR_INVALID_DATA},
      {nullptr, MAKEINTRESOURCEA(303), ERROR_NOT_SUPPORTED},  // no such system icon
      {self, "rainbow", ERROR_NOT_SUPPORTED},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "icon " << reinterpret_cast<uintptr_t>(c.name)
                                    << (c.instance ? " of the program" : " of the system"));
    SetLastError(0);
    HICON icon = LoadIconA(c.instance, c.name);
    EXPECT_EQ(icon == nullptr, c.error != 0);
    EXPECT_EQ(GetLastError(), c.error);
    if (icon) {
      EXPECT_EQ(LoadIconA(c.instance, c.name), icon) << "one shared icon";
    }
  }
}

struct Destroyer {
  HWND hwnd;
  BOOL destroyed;
  DWORD error;
};

DWORD WINAPI DestroyFromElsewhere(LPVOID param) {
  auto* d = static_cast<Destroyer*>(param);
  SetLastError(0);
  d->destroyed = DestroyWindow(d->hwnd);
  d->error = GetLastError();
  return 0;
}

DWORD WINAPI Nothing(LPVOID) {
  return 0;
}

TEST_F(Answers, ThreadsHaveIdsAndOnlyTheWindowsThreadDestroysIt) {
  Destroyer d = {hwnd, TRUE, 0};
  DWORD ids[2] = {0, 0};
  const HANDLE threads[2] = {CreateThread(nullptr, 0, DestroyFromElsewhere, &d, 0, &ids[0]),
                             CreateThread(nullptr, 0, Nothing, nullptr, 0, &ids[1])};
  for (int i = 0; i < 2; ++i) {
    ASSERT_NE(threads[i], nullptr);
    EXPECT_EQ(WaitForSingleObject(threads[i], 5000), WAIT_OBJECT_0);
    EXPECT_NE(ids[i], 0u);
    EXPECT_NE(ids[i], HandleToULong(threads[i])) << "an id is not a handle";
    CloseHandle(threads[i]);
  }
  EXPECT_NE(ids[0], ids[1]);
  EXPECT_FALSE(d.destroyed);
  EXPECT_EQ(d.error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(IsWindow(hwnd));
  EXPECT_TRUE(DestroyWindow(hwnd)) << "its own thread may";
}

// Each refusal sets one code, whatever else it says.
TEST_F(Answers, RefusalsSetOneCode) {
  std::vector<HDC> held;
  const struct {
    const char* what;
    std::function<bool()> refused;
    DWORD error;
  } cases[] = {
      {"GetDC beyond the pool",
       [&] {
         for (HDC dc; held.size() < 200 && (dc = GetDC(hwnd)) != nullptr;) held.push_back(dc);
         return held.size() < 200;
       },
       ERROR_NOT_ENOUGH_MEMORY},
      {"MessageBoxA with an icon (MB_ICONERROR)",
       [] { return MessageBoxA(nullptr, "text", "caption", 0x10) == 0; }, ERROR_NOT_SUPPORTED},
      {"CreateThread suspended (CREATE_SUSPENDED)",
       [] { return CreateThread(nullptr, 0, Nothing, nullptr, 4, nullptr) == nullptr; },
       ERROR_NOT_SUPPORTED},
  };
  for (const auto& c : cases) {
    SetLastError(0);
    EXPECT_TRUE(c.refused()) << c.what;
    EXPECT_EQ(GetLastError(), c.error) << c.what;
  }
  for (HDC dc : held) ReleaseDC(hwnd, dc);
}

}  // namespace
