#pragma once
#include <optional>
#include <string>

namespace tavrolin {

// Shortened waits for the automated tests only, never a user setting and not documented as one:
// the text of this environment variable, read once when the window starts, is "name=seconds"
// pairs joined by ";", for example "dialog=5;pdf=10;call=20". Unknown names and malformed pairs
// are ignored.
inline constexpr wchar_t kTestBoundsVariable[] = L"TAVROLIN_TEST_BOUNDS";

struct TestBounds {
  std::optional<double> dialog;
  std::optional<double> pdf;
  std::optional<double> call;
  // "spare=0": each document's Word is started only after the last one quit.
  std::optional<bool> spare;
  // "perword=N": Word's road quits and replaces its Word after N documents.
  std::optional<int> perWord;
};
TestBounds ParseTestBounds(const std::wstring& text);

}  // namespace tavrolin
