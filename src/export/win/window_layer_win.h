#pragma once
#include "export/dialog_driver.h"

namespace tavrolin::win {

// The dialog driver's window layer over user32.
class Win32WindowLayer : public WindowLayer {
 public:
  WindowId FindWindowAfter(WindowId parent, WindowId after, const std::wstring& className,
                           const std::wstring* text) override;
  std::vector<WindowId> Children(WindowId parent) override;
  WindowId Parent(WindowId window) override;
  std::wstring ClassName(WindowId window) override;
  int ControlId(WindowId window) override;
  std::wstring Caption(WindowId window) override;
  bool Exists(WindowId window) override;
  bool Shown(WindowId window) override;
  bool OfThisProcess(WindowId window) override;
  std::vector<WindowId> OwnedWindows(WindowId owner) override;
  std::optional<std::wstring> ReadText(WindowId window) override;
  std::optional<std::wstring> ReadTextUpTo(WindowId window, std::size_t count) override;
  bool SetText(WindowId window, const std::wstring& text) override;
  bool Responds(WindowId window) override;
  std::optional<unsigned char> AnsiCode(wchar_t character) override;
  bool PostNarrow(WindowId window, unsigned message, std::intptr_t wParam, std::intptr_t lParam) override;
  bool PostWide(WindowId window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;
};

}  // namespace tavrolin::win
