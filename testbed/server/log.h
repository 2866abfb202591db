#pragma once
// Appends one JSON line per call, message or event to the log file the test chose.
#include <windows.h>

#include <string>

namespace tavrolin::testbed {

// Builds the members of one line after the common "pid" and "kind".
class LogLine {
 public:
  explicit LogLine(const char* kind);
  LogLine& Str(const char* key, const std::wstring& value);
  LogLine& Num(const char* key, long long value);
  LogLine& UNum(const char* key, unsigned long long value);
  LogLine& Bool(const char* key, bool value);
  LogLine& Raw(const char* key, const std::string& json);
  // Writes the line; does nothing when no log file is set.
  void Write();

 private:
  std::string text_;
};

void LogEvent(const std::wstring& event, const std::wstring& detail = L"");

}  // namespace tavrolin::testbed
