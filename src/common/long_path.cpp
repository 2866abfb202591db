#include "common/long_path.h"

#include <vector>

namespace tavrolin {
namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// The parts of `path` from `begin` on, with "." dropped and ".." taking the part before it
// away; a ".." at the root stays at the root, as the system's own resolution does.
std::vector<std::wstring> ResolvedParts(const std::wstring& path, std::size_t begin) {
  std::vector<std::wstring> parts;
  std::size_t i = begin;
  while (i < path.size()) {
    std::size_t end = i;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    std::wstring part = path.substr(i, end - i);
    i = end + 1;
    if (part.empty() || part == L".") continue;
    if (part == L"..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(std::move(part));
  }
  return parts;
}

}  // namespace

std::wstring LongPathForm(const std::wstring& path) {
  if (path.size() >= 4 && path[0] == L'\\' && path[1] == L'\\' &&
      (path[2] == L'?' || path[2] == L'.') && path[3] == L'\\') {
    return path;
  }
  std::wstring root;
  std::size_t rest = 0;
  if (path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == L':' && IsSeparator(path[2])) {
    root = L"\\\\?\\" + path.substr(0, 2);
    rest = 3;
  } else if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    // The server and the share are the root: ".." never climbs above them.
    std::size_t i = 2;
    std::wstring names[2];
    for (auto& name : names) {
      while (i < path.size() && IsSeparator(path[i])) ++i;
      const std::size_t start = i;
      while (i < path.size() && !IsSeparator(path[i])) ++i;
      name = path.substr(start, i - start);
      if (name.empty() || name == L"." || name == L"..") return path;
    }
    root = L"\\\\?\\UNC\\" + names[0] + L"\\" + names[1];
    rest = i;
  } else {
    return path;
  }
  std::wstring result = root;
  for (const auto& part : ResolvedParts(path, rest)) result += L"\\" + part;
  // A folder keeps its closing backslash, and a drive's root needs one.
  const bool closing = IsSeparator(path.back());
  if (result.size() == root.size() ? rest == 3 || closing : closing) result += L'\\';
  return result;
}

}  // namespace tavrolin
