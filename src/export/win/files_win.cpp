#include "export/win/files_win.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <string>

#include "common/win/files.h"
#include "common/win/system_error.h"

namespace tavrolin::win {
namespace {

// Closes a file handle at the end of its scope.
class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() {
    if (valid()) CloseHandle(handle_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

}  // namespace

std::wstring SystemErrorText(DWORD code) {
  const std::wstring text = SystemMessage(code);
  return text.empty() ? L"Windows error " + std::to_wstring(code) + L"." : text + L".";
}

// The run's paths come in their long form already (LongPathFiles).
bool Win32FileCalls::Exists(const std::wstring& path) { return EntryExists(path); }

bool Win32FileCalls::Delete(const std::wstring& path, std::wstring& reason) {
  if (DeleteFileW(path.c_str())) return true;
  reason = SystemErrorText(GetLastError());
  return false;
}

bool Win32FileCalls::MoveAside(const std::wstring& path, const std::wstring& aside,
                               std::wstring& reason) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    reason = SystemErrorText(GetLastError());
    return false;
  }
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    reason = SystemErrorText(ERROR_ACCESS_DENIED) + L" (the file is read-only)";
    return false;
  }
  // No replacing: the name is free unless someone made a file of that name meanwhile.
  if (!MoveFileExW(path.c_str(), aside.c_str(), 0)) {
    reason = SystemErrorText(GetLastError());
    return false;
  }
  // Only a mark for the user's view of the folder; the copy is safe without it.
  SetFileAttributesW(aside.c_str(), (attributes & ~FILE_ATTRIBUTE_NORMAL) | FILE_ATTRIBUTE_HIDDEN);
  return true;
}

bool Win32FileCalls::PutBack(const std::wstring& aside, const std::wstring& path,
                             std::wstring& reason) {
  const DWORD attributes = GetFileAttributesW(aside.c_str());
  if (!MoveFileExW(aside.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    reason = SystemErrorText(GetLastError());
    return false;
  }
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    const DWORD shown = attributes & ~FILE_ATTRIBUTE_HIDDEN;
    SetFileAttributesW(path.c_str(), shown ? shown : FILE_ATTRIBUTE_NORMAL);
  }
  return true;
}

PdfState Win32FileCalls::CheckPdf(const std::wstring& path) {
  // Never shared for writing: a printer still writing keeps us out. Shared for deletion, so a
  // printer that renames or replaces its file is not held up by this look.
  FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return PdfState::Missing;
    // A sharing violation is a writer at work; anything else is not ready for us either.
    return PdfState::BeingWritten;
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) return PdfState::BeingWritten;
  if (size.QuadPart == 0) return PdfState::Empty;
  char head[5] = {};
  DWORD got = 0;
  if (!ReadFile(file.get(), head, sizeof head, &got, nullptr)) return PdfState::BeingWritten;
  if (got != sizeof head || std::memcmp(head, "%PDF-", sizeof head) != 0) return PdfState::NotPdf;
  // A PDF is finished with its end-of-file mark; a writer may add trailing line ends or padding.
  constexpr LONGLONG kTailBytes = 1024;
  const LONGLONG tailSize = std::min(size.QuadPart, kTailBytes);
  LARGE_INTEGER at{};
  at.QuadPart = size.QuadPart - tailSize;
  std::string tail(static_cast<std::size_t>(tailSize), '\0');
  if (!SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN) ||
      !ReadFile(file.get(), tail.data(), static_cast<DWORD>(tailSize), &got, nullptr)) {
    return PdfState::BeingWritten;
  }
  tail.resize(got);
  return tail.find("%%EOF") != std::string::npos ? PdfState::Complete : PdfState::NoEnd;
}

std::int64_t Win32FileCalls::FileSize(const std::wstring& path) {
  // Read from the file system's own record, which a writer that refuses readers does not block.
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

bool Win32FileCalls::Move(const std::wstring& from, const std::wstring& to, std::wstring& reason) {
  if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  reason = SystemErrorText(GetLastError());
  return false;
}

std::wstring Win32FileCalls::ShortPdfPath() {
  wchar_t temp[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
  if (length == 0 || length > MAX_PATH) return {};
  const std::wstring folder = std::wstring(temp) + L"Tavrolin";
  if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return {};
  // The process and the moment it asks: a later process of the same number never repeats it. A
  // file of that name is left alone (it may be a PDF an earlier export left there for the user):
  // the next name is taken.
  static unsigned counter = 0;
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  wchar_t stamp[32];
  swprintf(stamp, 32, L"%lx%08lx", static_cast<unsigned long>(now.dwHighDateTime),
           static_cast<unsigned long>(now.dwLowDateTime));
  constexpr unsigned kTries = 100;
  for (unsigned i = 0; i < kTries; ++i) {
    const std::wstring path = folder + L"\\" + std::to_wstring(GetCurrentProcessId()) + L"-" + stamp + L"-" +
                              std::to_wstring(++counter) + L".pdf";
    if (path.size() >= MAX_PATH) return {};
    if (!EntryExists(path)) return path;
  }
  return {};
}

std::wstring Win32FileCalls::NameKey(const std::wstring& path) {
  std::wstring key = FileSystem::NameKey(path);
  if (key.empty()) return key;
  const int n = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, key.c_str(), static_cast<int>(key.size()),
                              nullptr, 0, nullptr, nullptr, 0);
  if (n <= 0) return key;
  std::wstring upper(static_cast<std::size_t>(n), L'\0');
  LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, key.c_str(), static_cast<int>(key.size()), upper.data(), n,
                nullptr, nullptr, 0);
  return upper;
}

}  // namespace tavrolin::win
