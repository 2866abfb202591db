#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include "common/event_pump.h"
#include "common/message_boxes.h"
#include "common/window_pointer.h"
#include "doclist/document_list.h"
#include "export/export_choices.h"
#include "export/pdf_placement.h"
#include "export/word.h"

namespace tavrolin {

class PdfAside;

// What the test for a finished PDF found at a path.
enum class PdfState { Missing, BeingWritten, Empty, NotPdf, NoEnd, Complete };

// The file system as the run needs it: the test for an old or a new PDF, setting the old one
// aside until the new one is complete, and whether the printer has finished it. Every failure
// gives false and the system's reason in `reason`.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // True exactly when something exists at `path`; never fails.
  virtual bool Exists(const std::wstring& path) = 0;
  virtual bool Delete(const std::wstring& path, std::wstring& reason) = 0;
  // Renames the file at `path` to `aside` (a free name in the same folder) and hides it. A
  // read-only file is refused: it could be renamed, but not deleted once the new PDF is there.
  virtual bool MoveAside(const std::wstring& path, const std::wstring& aside,
                         std::wstring& reason) = 0;
  // Renames `aside` back to `path`, replacing whatever is there, and shows it again.
  virtual bool PutBack(const std::wstring& aside, const std::wstring& path,
                       std::wstring& reason) = 0;
  // Complete when nobody holds the file open for writing, it is not empty and it begins
  // with "%PDF-".
  virtual PdfState CheckPdf(const std::wstring& path) = 0;
  // The file's size as it is being written; -1 when there is none.
  virtual std::int64_t FileSize(const std::wstring& path) = 0;
  // Moves a file to `to`, replacing what is there, copying across volumes where it must.
  virtual bool Move(const std::wstring& from, const std::wstring& to, std::wstring& reason) = 0;
  // A fresh path shorter than the classic limit in a folder of the program's own under the
  // user's temporary folder, for a printer that cannot take the document's own; empty when
  // none can be made. Never the name of a file that exists, so nothing left there is lost.
  virtual std::wstring ShortPdfPath() = 0;
  // `path` as the file system compares names, so that two spellings of one file give one key.
  // Letter case is folded (ASCII here; the system's own folding on Windows).
  virtual std::wstring NameKey(const std::wstring& path);
  // Makes one folder whose parent exists; true also when it is there already.
  virtual bool MakeFolder(const std::wstring& path, std::wstring& reason) = 0;
};

// The bar that shows how far the run is, 0 to 100.
class ProgressBar {
 public:
  virtual ~ProgressBar() = default;
  virtual void SetProgressValue(float value) = 0;
};

struct ExportBounds {
  // From the printer's dialog completed to the PDF on disk, and from its last growth to the
  // printer having finished writing it.
  double pdfSeconds = 300;
  // However long it keeps growing, a PDF not finished by then is given up.
  double pdfGrowingSeconds = 7200;
  // Word's road: the documents one Word exports before it is quit and replaced.
  int documentsPerWord = 50;
};

// Paths this long or longer are beyond what the printers' save dialogs take.
inline constexpr std::size_t kDialogPathLimit = 260;

struct DocumentResult;

// Follows a run document by document (an unattended run's report). With one, the run goes on
// past a failed document while Finished says so, and the end is told to it instead of shown.
class RunObserver {
 public:
  virtual ~RunObserver() = default;
  // Before `document`, whose PDF would be `pdf`: a result given here stands for it, and it is
  // not exported.
  virtual std::optional<DocumentResult> Starting(const std::wstring& document, const std::wstring& pdf) = 0;
  // Every document's result, in order; false ends the run after it.
  virtual bool Finished(const DocumentResult& result) = 0;
  // The run's results as they end it; `bound` as for RunMessages.
  virtual void Ended(const std::vector<DocumentResult>& results, int bound) = 0;
};

struct ExportPorts {
  const DocumentList& documents;
  Word& word;
  FileSystem& files;
  ProgressBar& progress;
  MessageBoxes& boxes;
  BusyMark& busy;
  EventPump& pump;
  // The run's one stop, set by the user's Yes; the same object goes to Word's waits.
  RunStop& stop;
  RunObserver* observer = nullptr;
};

// (i / n) x 100 in double precision, stored in single precision. A list that shrank below the
// position in hand would give more than 100 (or divide by 0): the bar's range caps it.
float ProgressPercent(int position, int count);

// How a run ended, for callers and tests.
enum class ExportOutcome { Idle, Done, NoFiles, Declined, Stopped, Failed };

// A step that failed, in words the user can act on.
struct StepFailure {
  std::wstring step;
  std::wstring member;  // the automation member or part that refused, if any
  std::wstring reason;
};

// What became of one document, or of the run's start when `document` is empty.
struct DocumentResult {
  // SkippedUpToDate: its PDF is newer than it (an unattended run's choice).
  enum class Outcome { Exported, SkippedAsPdf, Failed, Stopped, SkippedUpToDate };
  Outcome outcome = Outcome::Exported;
  std::wstring document;    // empty: no document was in hand
  bool pdfWritten = false;  // its new PDF was complete, also when a later step failed
  StepFailure failure;      // Failed
  std::wstring wordFate;    // what became of its Word instance, if said (Exported: left to the user)
  std::wstring warning;     // Word's printer could not be switched back
  std::wstring oldPdfKept;  // Exported: the old PDF's copy could not be deleted (where it is)
  std::wstring pdfFate;     // Failed, Stopped: the old PDF could not be put back (where each is)
  ExportRoad road = ExportRoad::Printer;  // the road it went
  std::wstring note;        // Word's road: how Word made the PDF when not as asked
};

// The messages that end a run, in the order they show. `results` are in list order; a last one
// that failed or was stopped ended the run. `bound` is the number of documents the run set out
// to export (0 when it failed before counting them).
std::vector<std::wstring> RunMessages(const std::vector<DocumentResult>& results, int bound);

// "Export to PDF": one run at a time over the document list, each document in a Word instance
// of its own, on the road `choices` name. A press during a run asks whether to stop it instead
// of starting another.
class ExportRunner {
 public:
  ExportRunner(ExportPorts ports, ExportBounds bounds, ExportChoices choices = {})
      : ports_(ports), bounds_(bounds), choices_(std::move(choices)) {}
  ExportRunner(const ExportRunner&) = delete;
  ExportRunner& operator=(const ExportRunner&) = delete;

  // The button was pressed (its value already taken back to 0). A run the program is told to
  // end in the middle of unwinds (Word dealt with, the old PDF back) and shows nothing more.
  void Press();
  bool Running() const { return running_; }
  ExportOutcome LastOutcome() const { return lastOutcome_; }
  // As the run ended them: Word's road when the user took it for a printer Word refused.
  const ExportChoices& Choices() const { return choices_; }

 private:
  ExportOutcome Run();
  void AskToStop();
  // The `position`th document, through the observer's check first when there is one.
  DocumentResult Next(int position);
  // The document whose PDF `document` would write over, if an earlier one of the run has it.
  const std::wstring* EarlierClaim(const std::wstring& document, const std::wstring& pdfKey);
  // Whether the run goes on after `result`.
  bool GoOn(const DocumentResult& result);
  // After Word refused the printer before any PDF of the run: whether the user takes Word's own
  // export instead (then the choice is made).
  bool TakeWordRoadInstead(const std::vector<DocumentResult>& results);
  // One document, the `position`th of the list, from the old PDF set aside to Word quit: printed
  // on the PDF printer, or exported by Word itself.
  DocumentResult ExportOne(const std::wstring& document, const std::wstring& outputPath, int position);
  DocumentResult ExportOneByWord(const std::wstring& document, const std::wstring& outputPath, int position);
  // What both roads share: the old PDF aside and the PDF's folders made before Word starts; the
  // new PDF kept once complete; on a failure or stop Word dealt with, then the path put right.
  void ClearPath(PdfAside& oldPdf, const std::wstring& outputPath);
  void KeepPdf(PdfAside& oldPdf, DocumentResult& result, int position);
  void Unwind(std::unique_ptr<WordApplication>& word, PdfAside* oldPdf, const std::wstring& outputPath,
              DocumentResult& result);
  // Word's road, after a PDF: the instance kept for the next document (its document closed), or
  // quit after the last of the run or its share of documents; what became of it.
  std::wstring PassOn(std::unique_ptr<WordApplication>& word, int position);
  // At the end of a run: Word's road's kept instance quit.
  void QuitKeptWord(std::vector<DocumentResult>& results);
  void WaitForPdf(const std::wstring& outputPath);
  // The PDF Word says it wrote, complete by the run's own test, bounded as the printer's.
  void CheckExportedPdf(const std::wstring& path);
  // The PDF the printer wrote at a short path of ours, moved to its place beside the document.
  void MoveIntoPlace(const std::wstring& printed, const std::wstring& outputPath);
  ExportOutcome Report(const std::vector<DocumentResult>& results, int bound);
  void ThrowIfStopped() const;
  // After a failure or a stop, once Word is dealt with: the old PDF back, or else what the
  // printer began at `outputPath` gone; where they are in `result` when that fails.
  void PutPathRight(PdfAside& oldPdf, const std::wstring& outputPath, DocumentResult& result);
  void DropUnfinishedPdf(const std::wstring& outputPath, DocumentResult& result);

  ExportPorts ports_;
  ExportBounds bounds_;
  ExportChoices choices_;
  PdfPlacement placement_;  // the run's, from its choices and its list at the start
  int bound_ = 0;           // the documents the run set out to export
  // Word's road: one instance for many documents, between two of them, and how many it did.
  std::unique_ptr<WordApplication> keptWord_;
  int keptFor_ = 0;
  bool running_ = false;
  ExportOutcome lastOutcome_ = ExportOutcome::Idle;
  // The run's PDFs by NameKey, each with the document that has it: a later one never touches it.
  std::unordered_map<std::wstring, std::wstring> claims_;
};

}  // namespace tavrolin
