#include <gtest/gtest.h>

#include <windows.h>

#include "common/event_pump.h"
#include "common/win/files.h"
#include "common/win/pump.h"
#include "common/win/window.h"

namespace tavrolin::win {
namespace {

std::wstring TempFolder() {
  wchar_t path[MAX_PATH];
  GetTempPathW(MAX_PATH, path);
  std::wstring dir = std::wstring(path) + L"tavrolin-common-test";
  CreateDirectoryW(dir.c_str(), nullptr);
  return dir;
}

TEST(FileExists, TrueOnlyForAnExistingEntryAndNeverFails) {
  const std::wstring dir = TempFolder();
  const std::wstring file = dir + L"\\present.txt";
  HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);

  SetLastError(1234);
  EXPECT_TRUE(FileExists(file));
  EXPECT_EQ(GetLastError(), 1234u) << "no error state is left behind";
  EXPECT_FALSE(FileExists(L""));
  EXPECT_FALSE(FileExists(dir + L"\\missing.txt"));
  EXPECT_FALSE(FileExists(dir + L"\\missing\\deeper\\x.txt"));
  EXPECT_FALSE(FileExists(L"C:\\bad<>|name?.txt"));
  EXPECT_FALSE(FileExists(L"Q:\\no-such-drive\\x.txt"));
  EXPECT_FALSE(FileExists(L"\\\\no-such-host-here\\share\\x.txt"));
  EXPECT_EQ(GetLastError(), 1234u);
  DeleteFileW(file.c_str());
  EXPECT_FALSE(FileExists(file));
}

TEST(ProgramDirectory, IsTheFolderOfThisProgram) {
  const std::wstring dir = ProgramDirectory();
  EXPECT_TRUE(FileExists(dir + L"\\win_common_test.exe"));
  EXPECT_NE(dir.back(), L'\\');
}

TEST(CenterForm, CentresOnTheWholeScreenAndAllowsNegativePositions) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"CenterFormTest";
  RegisterClassW(&wc);
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);

  HWND small = CreateWindowExW(0, L"CenterFormTest", L"", WS_POPUP, 5, 5, 300, 200, nullptr,
                               nullptr, wc.hInstance, nullptr);
  CenterForm(small);
  RECT r{};
  GetWindowRect(small, &r);
  EXPECT_EQ(r.left, (screenWidth - 300) / 2);
  EXPECT_EQ(r.top, (screenHeight - 200) / 2);

  HWND exact = CreateWindowExW(0, L"CenterFormTest", L"", WS_POPUP, 5, 5, screenWidth,
                               screenHeight, nullptr, nullptr, wc.hInstance, nullptr);
  CenterForm(exact);
  GetWindowRect(exact, &r);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 0);

  HWND large = CreateWindowExW(0, L"CenterFormTest", L"", WS_POPUP, 5, 5, screenWidth + 200,
                               screenHeight + 100, nullptr, nullptr, wc.hInstance, nullptr);
  CenterForm(large);
  GetWindowRect(large, &r);
  EXPECT_EQ(r.left, -100);
  EXPECT_EQ(r.top, -50);
  DestroyWindow(small);
  DestroyWindow(exact);
  DestroyWindow(large);
}

TEST(Win32Pump, WaitSecondsRunsWindowEventsAndEndsOnTime) {
  Win32Pump& pump = UiPump();
  int delivered = 0;
  WNDCLASSW wc{};
  wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    if (m == WM_APP) ++*reinterpret_cast<int*>(l);
    return DefWindowProcW(h, m, w, l);
  };
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"PumpTest";
  RegisterClassW(&wc);
  HWND sink = CreateWindowExW(0, L"PumpTest", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              wc.hInstance, nullptr);
  PostMessageW(sink, WM_APP, 0, reinterpret_cast<LPARAM>(&delivered));
  WaitSeconds(pump, 0);
  EXPECT_EQ(delivered, 0) << "a zero wait processes no event";

  const double start = pump.Now();
  WaitSeconds(pump, 0.4);
  const double elapsed = pump.Now() - start;
  EXPECT_GE(elapsed, 0.4);
  EXPECT_EQ(delivered, 1);

  // An idle wait blocks instead of spinning: a second of waiting costs little CPU.
  FILETIME created, exited, kernelBefore, userBefore, kernelAfter, userAfter;
  GetThreadTimes(GetCurrentThread(), &created, &exited, &kernelBefore, &userBefore);
  WaitSeconds(pump, 1.0);
  GetThreadTimes(GetCurrentThread(), &created, &exited, &kernelAfter, &userAfter);
  auto ticks = [](FILETIME t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
  const double cpuSeconds =
      (ticks(userAfter) - ticks(userBefore) + ticks(kernelAfter) - ticks(kernelBefore)) / 1e7;
  EXPECT_LT(cpuSeconds, 0.5) << "a spinning wait would use the whole second";
  DestroyWindow(sink);
}

TEST(LoadPointerFile, MissingFileGivesNothing) {
  EXPECT_FALSE(LoadPointerFile(ProgramDirectory() + L"\\no-such-pointer.cur"));
  EXPECT_TRUE(LoadPointerFile(ProgramDirectory() + L"\\HAND-M.CUR"));
  EXPECT_TRUE(LoadPointerFile(ProgramDirectory() + L"\\drag.ico"));
}

}  // namespace
}  // namespace tavrolin::win
