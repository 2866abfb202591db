#pragma once
#include <string>

namespace tavrolin {

// Every message box and input box carries the program's title as its caption.
inline constexpr wchar_t kAppTitle[] = L"Tavrolin";

enum class Answer { Ok, Yes, No };

// Modal message boxes of the main window.
class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // A notice with an OK button only and no icon.
  virtual void Notify(const std::wstring& text) = 0;
  // A question with Yes (the default) and No, no icon.
  virtual Answer AskYesNo(const std::wstring& text) = 0;
};

}  // namespace tavrolin
