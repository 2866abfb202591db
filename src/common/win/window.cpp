#include "common/win/window.h"

#include <iterator>

#include "common/placement.h"

namespace tavrolin::win {

void CenterForm(HWND window) {
  RECT outer{};
  GetWindowRect(window, &outer);
  const int width = outer.right - outer.left;
  const int height = outer.bottom - outer.top;
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  const Point at = CenteredPosition(screenWidth, screenHeight, width, height);
  SetWindowPos(window, nullptr, at.x, outer.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(window, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

UniqueCursor LoadPointerFile(const std::wstring& path) {
  auto cursor = static_cast<HCURSOR>(
      LoadImageW(nullptr, path.c_str(), IMAGE_CURSOR, 0, 0, LR_LOADFROMFILE | LR_DEFAULTSIZE));
  if (!cursor) {
    // An .ico file holds an icon, which serves as a pointer just as well.
    cursor = static_cast<HCURSOR>(
        LoadImageW(nullptr, path.c_str(), IMAGE_ICON, 0, 0, LR_LOADFROMFILE | LR_DEFAULTSIZE));
  }
  return UniqueCursor(cursor);
}

std::wstring WindowsDirectory() {
  wchar_t path[MAX_PATH * 2];
  const UINT n = GetWindowsDirectoryW(path, static_cast<UINT>(std::size(path)));
  if (n == 0 || n >= std::size(path)) return {};
  return std::wstring(path, n);
}

bool MinimizedStarter::Start(const std::wstring& program, const std::wstring& commandLine) {
  std::wstring line = commandLine;  // CreateProcessW may write to it
  STARTUPINFOW startup{sizeof(startup)};
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWMINIMIZED;
  PROCESS_INFORMATION process{};
  // The application name is given, so the command line's first word is never searched for.
  if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

}  // namespace tavrolin::win
