#include "common/win/files.h"

#include <windows.h>

#include <vector>

#include "common/long_path.h"

namespace tavrolin::win {

bool FileExists(const std::wstring& path) { return EntryExists(LongPathForm(path)); }

bool EntryExists(const std::wstring& path) {
  if (path.empty()) return false;
  const DWORD savedError = GetLastError();
  // No "insert disk" box for an empty drive: the answer is simply false.
  const UINT savedMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  WIN32_FILE_ATTRIBUTE_DATA data{};
  const bool found = GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) != 0;
  SetErrorMode(savedMode);
  SetLastError(savedError);
  return found;
}

std::wstring ProgramDirectory() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return L".";
    if (n < buffer.size()) {
      std::wstring path(buffer.data(), n);
      const auto slash = path.find_last_of(L"\\/");
      return slash == std::wstring::npos ? L"." : path.substr(0, slash);
    }
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace tavrolin::win
