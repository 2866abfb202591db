#pragma once
#include <windows.h>

#include <string>

#include "export/unattended.h"

namespace tavrolin::win {

// The console the program was started from, if any: attached once, written as lines. Output
// redirected to a file or a pipe gets UTF-8; a console gets the text as it is.
class ParentConsole {
 public:
  // Attaches to the parent's console; false when there is none (started from the shell).
  bool Attach();
  bool Attached() const { return out_ != nullptr; }
  void Line(const std::wstring& text);

 private:
  HANDLE out_ = nullptr;
  bool console_ = false;
};

// The report of an unattended run: a UTF-8 file (when asked for) and the console, line by line,
// each line on disk at once, so that what was done survives whatever ends the program.
class ReportWriter final : public ReportSink {
 public:
  explicit ReportWriter(ParentConsole& console) : console_(console) {}
  ~ReportWriter() override;
  ReportWriter(const ReportWriter&) = delete;
  ReportWriter& operator=(const ReportWriter&) = delete;

  // Creates (or empties) the report file; false with the system's reason.
  bool Open(const std::wstring& path, std::wstring& reason);
  bool IsOpen() const { return file_ != INVALID_HANDLE_VALUE; }
  // A line the file does not take is said once on the console; the run's exit code shows it.
  void Line(const std::wstring& line) override;
  bool Lost() const override { return lost_; }

 private:
  ParentConsole& console_;
  HANDLE file_ = INVALID_HANDLE_VALUE;
  std::wstring path_;
  bool lost_ = false;
};

// Documents and PDFs as the file system sees them, beyond the classic path limit too.
class Win32DocumentFacts final : public DocumentFacts {
 public:
  FileFacts Facts(const std::wstring& path) override;
  bool CompletePdf(const std::wstring& path) override;
};

// Why no document could be exported on this system (no interactive desktop for the printer's
// dialog, Word not registered for automation); empty when nothing is missing.
std::wstring MissingPrerequisite();

// The whole file, for a list; false with the system's reason. Bounded: a list is text.
bool ReadSmallFile(const std::wstring& path, std::string& bytes, std::wstring& reason);

// Text in the system's ANSI code page (a list that cmd's "dir /b >" wrote).
std::wstring AnsiText(const std::string& bytes);

// A path as the program's current folder makes it full; unchanged when the system cannot.
std::wstring FullPath(const std::wstring& path);

}  // namespace tavrolin::win
