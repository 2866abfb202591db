#include "export/win/window_layer_win.h"

#include <windows.h>

namespace tavrolin::win {
namespace {
HWND Hwnd(WindowId id) { return reinterpret_cast<HWND>(id); }
}  // namespace

WindowId Win32WindowLayer::FindWindowAfter(WindowId parent, WindowId after, const std::wstring& className,
                                           const std::wstring* text) {
  return reinterpret_cast<WindowId>(
      FindWindowExW(Hwnd(parent), Hwnd(after), className.c_str(), text ? text->c_str() : nullptr));
}

std::optional<unsigned char> Win32WindowLayer::AnsiCode(wchar_t character) {
  // A UTF-8 code page has one byte only for ASCII, and refuses the "default used" query.
  if (GetACP() == CP_UTF8) {
    if (character < 0x80) return static_cast<unsigned char>(character);
    return std::nullopt;
  }
  char bytes[4];
  BOOL usedDefault = FALSE;
  const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, &character, 1, bytes, sizeof bytes, nullptr,
                                    &usedDefault);
  if (n != 1 || usedDefault) return std::nullopt;
  return static_cast<unsigned char>(bytes[0]);
}

void Win32WindowLayer::PostNarrow(WindowId window, unsigned message, std::intptr_t wParam,
                                  std::intptr_t lParam) {
  PostMessageA(Hwnd(window), message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam));
}

void Win32WindowLayer::PostWide(WindowId window, unsigned message, std::uintptr_t wParam,
                                std::intptr_t lParam) {
  PostMessageW(Hwnd(window), message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam));
}

}  // namespace tavrolin::win
