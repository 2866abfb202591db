#include "export/win/files_win.h"

#include "common/win/files.h"

namespace tavrolin::win {

std::wstring SystemErrorText(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = length ? std::wstring(buffer, length) : std::wstring();
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
    text.pop_back();
  }
  if (text.empty()) text = L"Windows error " + std::to_wstring(code) + L".";
  return text;
}

bool Files::Exists(const std::wstring& path) { return FileExists(path); }

bool Files::Delete(const std::wstring& path, std::wstring& reason) {
  if (DeleteFileW(path.c_str())) return true;
  reason = SystemErrorText(GetLastError());
  return false;
}

}  // namespace tavrolin::win
