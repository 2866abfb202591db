#pragma once
// Files and folders that the tests under Wine make for themselves and remove again.
#include <windows.h>

#include <string>

#include "doclist/win/folder_win.h"

namespace testfiles {

// Writes `bytes` as the whole content of `path`; false when not every byte was written.
inline bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size();
}

// Removes `dir` with everything in it: read-only, hidden and system entries and paths beyond
// the classic length limit too.
inline void RemoveTree(const std::wstring& dir) {
  using tavrolin::win::ListablePath;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(ListablePath(dir + L"\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = dir + L"\\" + name;
      SetFileAttributesW(ListablePath(path).c_str(), FILE_ATTRIBUTE_NORMAL);
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        DeleteFileW(ListablePath(path).c_str());
      }
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  SetFileAttributesW(ListablePath(dir).c_str(), FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryW(ListablePath(dir).c_str());
}

// A new folder under the temporary folder, named after `prefix`, this process and the time so
// that runs never share one; removed with everything in it at the end of its scope.
class TempFolder {
 public:
  explicit TempFolder(const std::wstring& prefix) {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    path_ = std::wstring(base) + prefix + std::to_wstring(GetCurrentProcessId()) + L"_" +
            std::to_wstring(GetTickCount64());
    CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~TempFolder() { RemoveTree(path_); }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
};

}  // namespace testfiles
