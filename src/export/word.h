#pragma once
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace tavrolin {

// A failed automation call or step, with what the user should read: the member or step that
// failed and the reason (Word's own description where it gave one).
class AutomationError : public std::runtime_error {
 public:
  AutomationError(std::wstring member, std::wstring reason)
      : std::runtime_error("automation error"), member_(std::move(member)), reason_(std::move(reason)) {}
  const std::wstring& member() const { return member_; }
  const std::wstring& reason() const { return reason_; }

 private:
  std::wstring member_;
  std::wstring reason_;
};

// Thrown out of a wait when the user asked to stop the export.
class StopRequested : public std::exception {
 public:
  const char* what() const noexcept override { return "stop requested"; }
};

// One Word application object, started for one document. Released when destroyed.
class WordApplication {
 public:
  virtual ~WordApplication() = default;
};

// What the export run asks of Word and of the printer's dialog. The Win32 side implements it
// with late-bound automation; tests use fakes. Failures throw AutomationError.
class Word {
 public:
  virtual ~Word() = default;
  // False when the export may start; true when Word is running and the user chose to stop.
  virtual bool ConfirmWordClosed() = 0;
  // A new, invisible Word instance with the document open.
  virtual std::unique_ptr<WordApplication> OpenWordDocument(const std::wstring& documentPath) = 0;
  // Prints on "PDF Printer" and completes the printer's "Save As" dialog with `outputPath`.
  // `stopRequested` is polled by the waits inside; when it gives true they throw StopRequested.
  virtual void PrintToPdfPrinter(WordApplication& word, const std::wstring& outputPath,
                                 const std::function<bool()>& stopRequested) = 0;
  // Quit without saving ("Savechanges" = 0).
  virtual void Quit(WordApplication& word) = 0;
};

}  // namespace tavrolin
