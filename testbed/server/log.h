#pragma once
// Appends one JSON line per call, message or event to the log file the test chose.
#include <windows.h>

#include <string>

#include <nlohmann/json.hpp>

namespace tavrolin::testbed {

// Builds the members of one line after the common "pid" and "kind".
class LogLine {
 public:
  explicit LogLine(const char* kind);
  LogLine& Str(const char* key, const std::wstring& value);
  LogLine& Num(const char* key, long long value);
  LogLine& UNum(const char* key, unsigned long long value);
  LogLine& Bool(const char* key, bool value);
  LogLine& Add(const char* key, nlohmann::json value);
  // Writes the line; does nothing when no log file is set.
  void Write();

 private:
  nlohmann::json line_;
};

void LogEvent(const std::wstring& event, const std::wstring& detail = L"");
// A message one of the printer dialog's windows received from outside; `posted` when it came
// through the queue, false when sent.
void LogMessage(const wchar_t* window, UINT msg, WPARAM wParam, LPARAM lParam, bool posted);
// Messages the window system makes by itself; they say nothing about who drove the dialog.
bool Generated(UINT msg);

}  // namespace tavrolin::testbed
