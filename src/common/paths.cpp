#include "common/paths.h"

#include <cwctype>

namespace tavrolin {

std::wstring StripExtension(const std::wstring& path) {
  const auto lastSeparator = path.find_last_of(L"\\/:");
  const auto nameStart = lastSeparator == std::wstring::npos ? 0 : lastSeparator + 1;
  const auto dot = path.rfind(L'.');
  if (dot == std::wstring::npos || dot < nameStart) return path;
  return path.substr(0, dot);
}

std::wstring OutputPathFor(const std::wstring& documentPath) {
  return StripExtension(documentPath) + L".pdf";
}

std::wstring CollapseDoubleBackslashes(const std::wstring& path) {
  std::wstring result;
  result.reserve(path.size());
  std::size_t i = 0;
  if (path.rfind(L"\\\\", 0) == 0) {
    result = L"\\\\";
    i = 2;
  }
  while (i < path.size()) {
    if (path[i] == L'\\' && i + 1 < path.size() && path[i + 1] == L'\\') {
      result += L'\\';
      i += 2;
      continue;
    }
    result += path[i++];
  }
  return result;
}

bool HasPdfExtension(const std::wstring& path) {
  const std::wstring ext = L".pdf";
  if (path.size() < ext.size()) return false;
  const auto tail = path.substr(path.size() - ext.size());
  for (std::size_t i = 0; i < ext.size(); ++i) {
    if (static_cast<wchar_t>(std::towlower(tail[i])) != ext[i]) return false;
  }
  return true;
}

}  // namespace tavrolin
