#include "export/word_process.h"

#include <algorithm>
#include <cwctype>

namespace tavrolin {

std::optional<ProcessInfo> NewProcess(const std::vector<ProcessInfo>& before,
                                      const std::vector<ProcessInfo>& after) {
  std::optional<ProcessInfo> found;
  for (const auto& process : after) {
    if (std::find(before.begin(), before.end(), process) != before.end()) continue;
    if (found) return std::nullopt;
    found = process;
  }
  return found;
}

std::wstring ServerProgramName(const std::wstring& commandLine) {
  std::wstring path;
  const auto start = commandLine.find_first_not_of(L" \t");
  if (start == std::wstring::npos) return {};
  if (commandLine[start] == L'"') {
    const auto end = commandLine.find(L'"', start + 1);
    path = commandLine.substr(start + 1, end == std::wstring::npos ? std::wstring::npos : end - start - 1);
  } else {
    // Unquoted paths may hold blanks: the program ends at its ".exe".
    std::wstring lower = commandLine;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    const auto exe = lower.find(L".exe", start);
    const auto end = exe != std::wstring::npos ? exe + 4 : commandLine.find_first_of(L" \t", start);
    path = commandLine.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
  }
  const auto slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

}  // namespace tavrolin
