// Win32's answers that programs build on: which key messages TranslateMessage
// turns into characters, the icons LoadIconA finds, and the one code each
// refusal sets (another thread's DestroyWindow among them).
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
  HWND hwnd = nullptr;
};

// Removes what is queued, without translating or dispatching it.
std::vector<MSG> queued() {
  std::vector<MSG> out;
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) out.push_back(m);
  return out;
}

TEST_F(Answers, TranslateMessageMakesCharactersOfKeyDowns) {
  const struct {
    UINT message;
    WPARAM key;
    BOOL result;
    UINT made;  // 0: nothing posted
  } cases[] = {
      {WM_KEYDOWN, VK_SPACE, TRUE, WM_CHAR},  {WM_KEYDOWN, 'A', TRUE, WM_CHAR},
      {WM_KEYDOWN, VK_ESCAPE, TRUE, WM_CHAR}, {WM_SYSKEYDOWN, '7', TRUE, WM_SYSCHAR},
      {WM_KEYDOWN, VK_F1, TRUE, 0},           {WM_KEYUP, 'A', TRUE, 0},
      {WM_SYSKEYUP, VK_MENU, TRUE, 0},        {WM_CHAR, 'A', FALSE, 0},
  };
  for (const auto& c : cases) {
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
  // The character comes before a key-up already waiting.
  PostMessageA(hwnd, WM_KEYUP, VK_SPACE, static_cast<LPARAM>(0xC0390001u));
  const MSG down = {hwnd, WM_KEYDOWN, VK_SPACE, 0x00390001, 0, {0, 0}};
  TranslateMessage(&down);
  const std::vector<MSG> order = queued();
  ASSERT_EQ(order.size(), 2u);
  EXPECT_EQ(order[0].message, static_cast<UINT>(WM_CHAR));
}

TEST_F(Answers, LoadIconAFindsTheProgramsIconAndTheSystemsOwn) {
  const struct {
    HINSTANCE instance;
    LPCSTR name;
  } found[] = {{GetModuleHandleA(nullptr), MAKEINTRESOURCEA(303)}, {nullptr, IDI_APPLICATION}};
  for (const auto& c : found) {
    HICON icon = LoadIconA(c.instance, c.name);
    EXPECT_NE(icon, nullptr) << reinterpret_cast<uintptr_t>(c.name);
    EXPECT_EQ(LoadIconA(c.instance, c.name), icon) << "one shared icon";
  }
}

struct Destroyer {
  HWND hwnd;
  DWORD error;
};

DWORD WINAPI DestroyFromElsewhere(LPVOID param) {
  auto* d = static_cast<Destroyer*>(param);
  if (d && !DestroyWindow(d->hwnd)) d->error = GetLastError();
  return 0;
}

TEST_F(Answers, ThreadIdsAreNotHandles) {
  if (rt::on_page()) GTEST_SKIP() << "this page's build has no threads (windows.h, 25c)";
  DWORD ids[2] = {0, 0};
  for (DWORD& id : ids) {
    HANDLE t = CreateThread(nullptr, 0, DestroyFromElsewhere, nullptr, 0, &id);
    EXPECT_NE(id, HandleToULong(t));
    WaitForSingleObject(t, 5000);
    CloseHandle(t);
  }
  EXPECT_NE(ids[0], 0u);
  EXPECT_NE(ids[0], ids[1]);
}

// Each refusal sets one code, whatever else it says.
TEST_F(Answers, RefusalsSetOneCode) {
  static const unsigned char kNotAPicture[] = "not a PNG";
  PlatformAddIconResource(901, kNotAPicture, sizeof kNotAPicture);
  HINSTANCE self = GetModuleHandleA(nullptr);
  HWND window = hwnd;
  const struct {
    const char* what;
    std::function<bool()> refused;
    DWORD error;
  } cases[] = {
      {"an icon the program lacks", [=] { return !LoadIconA(self, MAKEINTRESOURCEA(304)); },
       ERROR_RESOURCE_NAME_NOT_FOUND},
      {"a broken icon", [=] { return !LoadIconA(self, MAKEINTRESOURCEA(901)); },
       ERROR_INVALID_DATA},
      {"a system icon not IDI_APPLICATION",
       [] { return !LoadIconA(nullptr, MAKEINTRESOURCEA(303)); }, ERROR_NOT_SUPPORTED},
      {"an icon by name", [=] { return !LoadIconA(self, "rainbow"); }, ERROR_NOT_SUPPORTED},
      {"MessageBoxA with an icon (MB_ICONERROR)",
       [] { return MessageBoxA(nullptr, "text", "caption", 0x10) == 0; }, ERROR_NOT_SUPPORTED},
      {"CreateThread suspended (CREATE_SUSPENDED)",
       [] { return !CreateThread(nullptr, 0, DestroyFromElsewhere, nullptr, 4, nullptr); },
       ERROR_NOT_SUPPORTED},
      {"DestroyWindow on another thread",
       [=] {
         Destroyer d = {window, 0};
         HANDLE t = CreateThread(nullptr, 0, DestroyFromElsewhere, &d, 0, nullptr);
         WaitForSingleObject(t, 5000);
         CloseHandle(t);
         SetLastError(d.error);
         return IsWindow(window) != FALSE;
       },
       ERROR_ACCESS_DENIED},
  };
  for (const auto& c : cases) {
    // A page has no threads (windows.h, 25c) and decodes no icon (25f).
    if (rt::on_page() && (c.error == ERROR_ACCESS_DENIED || c.error == ERROR_INVALID_DATA))
      continue;
    SetLastError(0);
    EXPECT_TRUE(c.refused()) << c.what;
    EXPECT_EQ(GetLastError(), c.error) << c.what;
  }
}

}  // namespace
