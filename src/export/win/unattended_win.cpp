#include "export/win/unattended_win.h"

#include <objbase.h>

#include "common/command_line.h"
#include "common/long_path.h"
#include "common/win/system_error.h"
#include "export/win/files_win.h"

namespace tavrolin::win {
namespace {

constexpr DWORD kMaxListBytes = 64 * 1024 * 1024;

std::wstring LastErrorText() {
  const std::wstring text = SystemMessage(GetLastError());
  return text.empty() ? L"Error " + std::to_wstring(GetLastError()) + L"." : text + L".";
}

bool WriteAll(HANDLE handle, const std::string& bytes) {
  DWORD written = 0;
  return WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

}  // namespace

bool ParentConsole::Attach() {
  if (out_) return true;
  if (!AttachConsole(ATTACH_PARENT_PROCESS)) return false;
  // Redirected output came with the process; otherwise the console itself.
  HANDLE given = GetStdHandle(STD_OUTPUT_HANDLE);
  const DWORD type = given && given != INVALID_HANDLE_VALUE ? GetFileType(given) : FILE_TYPE_UNKNOWN;
  if (type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE) {
    out_ = given;
    return true;
  }
  HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
  if (console == INVALID_HANDLE_VALUE) return false;
  out_ = console;
  console_ = true;
  return true;
}

void ParentConsole::Line(const std::wstring& text) {
  if (!out_) return;
  const std::wstring line = text + L"\r\n";
  if (console_) {
    DWORD written = 0;
    WriteConsoleW(out_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    return;
  }
  WriteAll(out_, ToUtf8(line));
}

ReportWriter::~ReportWriter() {
  if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
}

bool ReportWriter::Open(const std::wstring& path, std::wstring& reason) {
  file_ = CreateFileW(LongPathForm(FullPath(path)).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                      FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file_ != INVALID_HANDLE_VALUE) {
    path_ = path;
    return true;
  }
  reason = L"The report file " + path + L" cannot be written: " + LastErrorText();
  return false;
}

void ReportWriter::Line(const std::wstring& line) {
  // Later lines are still tried: a share that comes back keeps the rest of the run.
  if (file_ != INVALID_HANDLE_VALUE && !WriteAll(file_, ToUtf8(line + L"\r\n")) && !lost_) {
    lost_ = true;
    console_.Line(L"The report file " + path_ + L" could not be written: " + LastErrorText());
  }
  console_.Line(line);
}

FileFacts Win32DocumentFacts::Facts(const std::wstring& path) {
  FileFacts facts;
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(LongPathForm(path).c_str(), GetFileExInfoStandard, &data)) {
    facts.reason = LastErrorText();
    return facts;
  }
  facts.exists = true;
  facts.folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  facts.modified = static_cast<std::int64_t>((static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                                             data.ftLastWriteTime.dwLowDateTime);
  return facts;
}

bool Win32DocumentFacts::CompletePdf(const std::wstring& path) {
  Files files;
  return files.CheckPdf(path) == PdfState::Complete;
}

std::wstring MissingPrerequisite() {
  USEROBJECTFLAGS flags{};
  HWINSTA station = GetProcessWindowStation();
  if (station && GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof(flags), nullptr) &&
      !(flags.dwFlags & WSF_VISIBLE)) {
    return L"There is no interactive desktop (started as a service or a scheduled task that runs whether the "
           L"user is logged on or not): the printer's \"Save As\" dialog needs one.";
  }
  CLSID clsid{};
  const HRESULT hr = CLSIDFromProgID(L"Word.Application", &clsid);
  if (FAILED(hr)) {
    const std::wstring why = SystemMessage(static_cast<DWORD>(hr));
    return L"Word is not registered for automation (\"Word.Application\" is unknown to this system)" +
           (why.empty() ? std::wstring(L".") : L": " + why + L".");
  }
  return {};
}

bool ReadSmallFile(const std::wstring& path, std::string& bytes, std::wstring& reason) {
  HANDLE file = CreateFileW(LongPathForm(FullPath(path)).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    reason = L"The list file " + path + L" cannot be read: " + LastErrorText();
    return false;
  }
  LARGE_INTEGER size{};
  bool ok = GetFileSizeEx(file, &size) && size.QuadPart <= kMaxListBytes;
  if (ok) {
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    DWORD read = 0;
    ok = bytes.empty() || (ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
                           read == bytes.size());
  }
  if (!ok) reason = L"The list file " + path + L" cannot be read: " + LastErrorText();
  CloseHandle(file);
  return ok;
}

std::wstring AnsiText(const std::string& bytes) {
  if (bytes.empty()) return {};
  const int size = static_cast<int>(bytes.size());
  const int length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
  std::wstring text(length > 0 ? length : 0, L'\0');
  if (length > 0) MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, text.data(), length);
  return text;
}

std::wstring FullPath(const std::wstring& path) {
  if (path.empty()) return path;
  const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return path;
  std::wstring full(size, L'\0');
  const DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return path;
  full.resize(length);
  return full;
}

}  // namespace tavrolin::win
