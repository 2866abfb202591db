#include "log.h"

#include "testbed/client/testbed_client.h"
#include "testbed/client/utf8.h"

namespace tavrolin::testbed {

namespace {

// Seconds on the performance counter, the clock the program's own trace takes too.
double CounterSeconds() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

LogLine::LogLine(const char* kind)
    : line_{{"pid", GetCurrentProcessId()}, {"kind", kind}, {"t", CounterSeconds()}} {}

LogLine& LogLine::Str(const char* key, const std::wstring& value) { return Add(key, ToUtf8(value)); }
LogLine& LogLine::Num(const char* key, long long value) { return Add(key, value); }
LogLine& LogLine::UNum(const char* key, unsigned long long value) { return Add(key, value); }
LogLine& LogLine::Bool(const char* key, bool value) { return Add(key, value); }

LogLine& LogLine::Add(const char* key, nlohmann::json value) {
  line_[key] = std::move(value);
  return *this;
}

void LogLine::Write() {
  std::wstring path = Current().logFile;
  if (path.empty()) return;
  // ASCII only (non-ASCII as \u escapes), and a name Wine could not convert is replaced
  // rather than thrown on.
  std::string line = line_.dump(-1, ' ', true, nlohmann::json::error_handler_t::replace) + "\n";
  // Several stand-in processes share the file: one writer at a time, one write per line.
  HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Local\\TavrolinTestbedLog");
  if (mutex) WaitForSingleObject(mutex, 5000);
  HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    SetFilePointer(file, 0, nullptr, FILE_END);
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
  }
  if (mutex) {
    ReleaseMutex(mutex);
    CloseHandle(mutex);
  }
}

void LogEvent(const std::wstring& event, const std::wstring& detail) {
  LogLine("event").Str("event", event).Str("detail", detail).Write();
}

void LogMessage(const wchar_t* window, UINT msg, WPARAM wParam, LPARAM lParam, bool posted) {
  LogLine("msg")
      .Str("window", window)
      .Bool("posted", posted)
      .UNum("msg", msg)
      .UNum("wParam", static_cast<unsigned long long>(wParam))
      .Num("lParam", static_cast<long long>(lParam))
      .Write();
}

bool Generated(UINT msg) { return msg == WM_PAINT || msg == WM_TIMER || msg == 0x118 /* WM_SYSTIMER */; }

}  // namespace tavrolin::testbed
