#include "app/test_bounds.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>

namespace tavrolin {

TestBounds ParseTestBounds(const std::wstring& text) {
  TestBounds bounds;
  std::size_t start = 0;
  while (start <= text.size()) {
    const auto end = std::min(text.find(L';', start), text.size());
    const std::wstring pair = text.substr(start, end - start);
    start = end + 1;
    const auto eq = pair.find(L'=');
    if (eq == std::wstring::npos) continue;
    std::wstring name = pair.substr(0, eq);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    const std::wstring value = pair.substr(eq + 1);
    wchar_t* rest = nullptr;
    const double seconds = std::wcstod(value.c_str(), &rest);
    if (name == L"spare" && (value == L"0" || value == L"1")) bounds.spare = value == L"1";
    if (name == L"perword" && seconds >= 1 && *rest == L'\0') bounds.perWord = static_cast<int>(seconds);
    if (value.empty() || rest == value.c_str() || *rest != L'\0' || !(seconds > 0)) continue;
    if (name == L"dialog") bounds.dialog = seconds;
    if (name == L"pdf") bounds.pdf = seconds;
    if (name == L"call") bounds.call = seconds;
  }
  return bounds;
}

}  // namespace tavrolin
