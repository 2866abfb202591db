#pragma once
#include <optional>
#include <string>
#include <vector>

#include "common/event_pump.h"
#include "common/messages.h"
#include "common/window_pointer.h"
#include "doclist/document_list.h"
#include "export/word.h"

namespace tavrolin {

// The file system as the run needs it: the test for an old or a new PDF, and deleting an old one.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // True exactly when something exists at `path`; never fails.
  virtual bool Exists(const std::wstring& path) = 0;
  // Deletes the file at `path`. On failure gives false and the system's reason in `reason`.
  virtual bool Delete(const std::wstring& path, std::wstring& reason) = 0;
};

// The bar that shows how far the run is, 0 to 100.
class ProgressBar {
 public:
  virtual ~ProgressBar() = default;
  virtual void SetProgressValue(float value) = 0;
};

struct ExportBounds {
  // From the printer's dialog completed to the PDF on disk.
  double pdfSeconds = 300;
};

struct ExportPorts {
  const DocumentList& documents;
  Word& word;
  FileSystem& files;
  ProgressBar& progress;
  Messages& messages;
  BusyMark& busy;
  EventPump& pump;
};

// (i / n) x 100 in double precision, stored in single precision. A list that shrank below the
// position in hand would give more than 100 (or divide by 0): the bar's range caps it.
float ProgressPercent(int position, int count);

// How a run ended, for callers and tests.
enum class ExportOutcome { Idle, Done, NoFiles, Declined, Stopped, Failed };

// "Export to PDF": one run at a time over the document list, each document in a Word instance
// of its own. A press during a run asks whether to stop it instead of starting another.
class ExportRunner {
 public:
  ExportRunner(ExportPorts ports, ExportBounds bounds) : ports_(ports), bounds_(bounds) {}
  ExportRunner(const ExportRunner&) = delete;
  ExportRunner& operator=(const ExportRunner&) = delete;

  // The button was pressed (its value already taken back to 0).
  void Press();
  // The program is ending in the middle of the run: what the run holds is put right within a few
  // seconds, handling no window events.
  void EndForExit();
  bool Running() const { return running_; }
  // The user answered Yes to stopping the run in hand.
  bool StopAsked() const { return stopRequested_; }
  ExportOutcome LastOutcome() const { return lastOutcome_; }

 private:
  struct Failure;
  ExportOutcome Run();
  void AskToStop();
  void ThrowIfStopped() const;
  // Lets go of the Word instance in hand after a failure or a stop; says what became of it.
  std::wstring Dismiss(std::unique_ptr<WordApplication>& word);

  ExportPorts ports_;
  ExportBounds bounds_;
  bool running_ = false;
  bool stopRequested_ = false;
  ExportOutcome lastOutcome_ = ExportOutcome::Idle;
};

// Shortened waits for the automated tests only, never a user setting: the text of the
// environment variable TAVROLIN_TEST_BOUNDS, "name=seconds" pairs joined by ";", for example
// "dialog=5;pdf=10;call=20". Unknown names and malformed pairs are ignored.
struct TestBounds {
  std::optional<double> dialog;
  std::optional<double> pdf;
  std::optional<double> call;
};
TestBounds ParseTestBounds(const std::wstring& text);

}  // namespace tavrolin
