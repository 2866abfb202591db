#include "common/win/trace_file.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "common/trace.h"
#include "common/win/pump.h"

namespace tavrolin::win {
namespace {

HANDLE traceFile = INVALID_HANDLE_VALUE;
CRITICAL_SECTION traceLock;

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(n > 0 ? n : 0, '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
  for (char& c : bytes) {
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  }
  return bytes;
}

void WriteMark(const wchar_t* what, const std::wstring& detail) {
  char head[64];
  std::snprintf(head, sizeof head, "%.7f\t%lu\t", MonotonicSeconds(), GetCurrentThreadId());
  const std::string line = head + Utf8(what) + "\t" + Utf8(detail) + "\n";
  EnterCriticalSection(&traceLock);
  DWORD written = 0;
  WriteFile(traceFile, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  LeaveCriticalSection(&traceLock);
}

}  // namespace

void StartTraceIfAsked() {
  wchar_t path[4096];
  const DWORD n = GetEnvironmentVariableW(kTraceVariable, path, static_cast<DWORD>(std::size(path)));
  if (n == 0 || n >= std::size(path)) return;
  traceFile = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (traceFile == INVALID_HANDLE_VALUE) return;
  InitializeCriticalSection(&traceLock);
  trace::SetSink(WriteMark);
}

}  // namespace tavrolin::win
