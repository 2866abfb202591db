#pragma once
#include "export/dialog_driver.h"

namespace tavrolin::win {

// The dialog driver's window layer over user32.
class Win32WindowLayer final : public WindowLayer {
 public:
  WindowId FindWindowAfter(WindowId parent, WindowId after, const std::wstring& className,
                           const std::wstring* text) override;
  std::optional<unsigned char> AnsiCode(wchar_t character) override;
  void PostNarrow(WindowId window, unsigned message, std::intptr_t wParam, std::intptr_t lParam) override;
  void PostWide(WindowId window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;
};

}  // namespace tavrolin::win
