#include "common/win/window.h"

#include <commctrl.h>

#include <iterator>
#include <random>

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
  // A move costs a trip to the window system even when nothing moves: only real ones are made.
  constexpr UINT kMoveOnly = SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE;
  if (at.x != outer.left) SetWindowPos(window, nullptr, at.x, outer.top, 0, 0, kMoveOnly);
  if (at.y != outer.top) SetWindowPos(window, nullptr, at.x, at.y, 0, 0, kMoveOnly);
}

HWND AddToolTip(HWND owner, HWND tool, const wchar_t* text, int maxWidth) {
  HWND tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                             WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
  TTTOOLINFOW info{};
  info.cbSize = sizeof(info);
  info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  info.hwnd = owner;
  info.uId = reinterpret_cast<UINT_PTR>(tool);
  info.lpszText = const_cast<wchar_t*>(text);
  SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
  SendMessageW(tip, TTM_SETMAXTIPWIDTH, 0, maxWidth);
  return tip;
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

Subclass::Subclass(HWND window, Handler handler) : window_(window), handler_(std::move(handler)) {
  if (window_) {
    SetWindowSubclass(window_, Proc, reinterpret_cast<UINT_PTR>(this), reinterpret_cast<DWORD_PTR>(this));
  }
}

Subclass::~Subclass() {
  if (window_) RemoveWindowSubclass(window_, Proc, reinterpret_cast<UINT_PTR>(this));
}

LRESULT CALLBACK Subclass::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                DWORD_PTR self) {
  auto* subclass = reinterpret_cast<Subclass*>(self);
  if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(window, Proc, id);
    subclass->window_ = nullptr;
    return DefSubclassProc(window, message, wParam, lParam);
  }
  LRESULT result = 0;
  if (subclass->handler_(message, wParam, lParam, result)) return result;
  return DefSubclassProc(window, message, wParam, lParam);
}

void KeptFocus::Remember(HWND window) {
  HWND focus = GetFocus();
  if (focus && IsChild(window, focus)) kept_ = focus;
}

void KeptFocus::Restore(HWND window, HWND fallback) const {
  HWND target = kept_;
  if (!target || !IsWindow(target) || !IsChild(window, target)) target = fallback;
  if (target) SetFocus(target);
}

bool ReflectToControl(HWND parent, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  HWND control = nullptr;
  UINT reflected = 0;
  if (message == WM_COMMAND) {
    control = reinterpret_cast<HWND>(lParam);
    reflected = kReflectedCommand;
  } else if (message == WM_NOTIFY && lParam) {
    control = reinterpret_cast<const NMHDR*>(lParam)->hwndFrom;
    reflected = kReflectedNotify;
  }
  // GA_PARENT, not GetParent: a tooltip's notification comes from a popup the parent owns.
  if (!control || GetAncestor(control, GA_PARENT) != parent) return false;
  result = SendMessageW(control, reflected, wParam, lParam);
  return true;
}

std::wstring WindowsDirectory() {
  wchar_t path[MAX_PATH * 2];
  const UINT n = GetWindowsDirectoryW(path, static_cast<UINT>(std::size(path)));
  if (n == 0 || n >= std::size(path)) return {};
  return std::wstring(path, n);
}

void VisitHomePageOccasionally() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  std::mt19937 generator(now.wHour * 3600u + now.wMinute * 60u + now.wSecond);
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  if (!ShouldVisitHomePage([&] { return uniform(generator); })) return;
  MinimizedStarter starter;
  OpenHomePage(WindowsDirectory(), starter);
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
