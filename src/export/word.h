#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace tavrolin {

// A failed automation call or step, with what the user should read: the member or step that
// failed and the reason (Word's own description where it gave one).
// `busy`: the server refused the call as busy for the whole retry bound.
class AutomationError : public std::runtime_error {
 public:
  AutomationError(std::wstring member, std::wstring reason, bool busy = false)
      : std::runtime_error("automation error"), member_(std::move(member)), reason_(std::move(reason)), busy_(busy) {}
  const std::wstring& member() const { return member_; }
  const std::wstring& reason() const { return reason_; }
  bool busy() const { return busy_; }
  // The failure's HRESULT as the server reported it (Word's own errors are 0x800A0000 + its
  // error number); 0 when none is known.
  std::int32_t code() const { return code_; }
  void SetCode(std::int32_t code) { code_ = code; }

 private:
  std::wstring member_;
  std::wstring reason_;
  bool busy_ = false;
  std::int32_t code_ = 0;
};

// Thrown out of a wait when the run's stop was asked (by the user, or by the window closed).
class StopRequested : public std::exception {
 public:
  const char* what() const noexcept override { return "stop requested"; }
};

// What Word's own PDF export is asked for beyond a plain PDF.
struct PdfOptions {
  bool pdfa = false;    // PDF/A-1b, for archiving
  bool markup = false;  // comments and tracked changes shown
  bool operator==(const PdfOptions&) const = default;
};

// What Quit and Dismiss say of a Word that also held work of the user's: a document the user
// opens while an invisible, automated Word runs can land in it (and show it).
inline constexpr wchar_t kWordLeftToUser[] =
    L"That Word instance also held a document of the user's or had been shown to the user: only "
    L"this document was closed, without saving, and that Word was left running.";

// One Word application object, started for one document. Released when destroyed.
class WordApplication {
 public:
  virtual ~WordApplication() = default;
};

// What the export run asks of Word and of the printer's dialog. Late-bound automation
// implements it; tests use fakes. Failures throw AutomationError; a stop throws StopRequested.
class Word {
 public:
  virtual ~Word() = default;
  // False when the export may start; true when Word is running and the user chose to stop.
  // Throws StopRequested when the program is told to end meanwhile, so that nothing is asked.
  virtual bool ConfirmWordClosed() = 0;
  // A new, invisible Word instance with the document open. `word` holds the instance from the
  // moment it exists, so that on a failure the caller dismisses it (and learns its fate).
  virtual void OpenWordDocument(const std::wstring& documentPath, std::unique_ptr<WordApplication>& word) = 0;
  // Word's road: the next document opened in `word`, an instance that exported an earlier one
  // and closed it (CloseDocument); as OpenWordDocument does it, with no new instance.
  virtual void OpenNextDocument(const std::wstring& documentPath, WordApplication& word) = 0;
  // Word's road: the open document closed without saving; the instance stays for the next one.
  // Throws when Word does not answer or refuses: then the instance is dismissed.
  virtual void CloseDocument(WordApplication& word) = 0;
  // Prints on "PDF Printer" and completes the printer's "Save As" dialog with `outputPath`.
  // The waits inside observe the run's stop and throw StopRequested when it is asked.
  // Gives a warning for the end of the run when Word's printer could not be switched back.
  virtual std::wstring PrintToPdfPrinter(WordApplication& word, const std::wstring& outputPath) = 0;
  // Word's own PDF export of the open document to `outputPath`: no printer, no dialog. Word's
  // refusal throws with its own description. Gives a note for the end of the run when the PDF
  // had to be made another way (a Word that does not know the export).
  virtual std::wstring ExportToPdf(WordApplication& word, const std::wstring& outputPath,
                                   const PdfOptions& options) = 0;
  // Quit without saving ("Savechanges" = 0), once Word has no background print job left (else
  // Quit would ask whether to cancel it); an instance that has not ended within a short bound
  // is ended. Never throws: the document in hand is done either way. Says what became of the
  // instance when the user must know (left running for a document of the user's); else empty.
  virtual std::wstring Quit(WordApplication& word) = 0;
  // After a failure or a stop: the printer put back, a "Save As" dialog given up on cancelled,
  // Quit, and the process ended if it does not go; when the program is told to end, all of it
  // within a few seconds. Never throws; says what became of it (empty when it was dealt with
  // already).
  virtual std::wstring Dismiss(WordApplication& word) = 0;
  // Once a document's dialog is completed, when another document follows: the next document's
  // Word is started while `pdf` (the wait for this document's PDF) runs beside it, since nothing
  // else is asked of Word then. Throws only what `pdf` threw, once the start is settled; a start
  // that failed is the next OpenWordDocument's failure.
  virtual void PrepareNext(const std::function<void()>& pdf) { pdf(); }
  // Once at the end of a run, on every way out: a Word started for a document that never came,
  // and one still on its way out, are dealt with. Never throws.
  virtual void EndRun() {}
};

}  // namespace tavrolin
