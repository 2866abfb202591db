#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/event_pump.h"
#include "common/message_boxes.h"
#include "export/export_run.h"

namespace tavrolin {

// The exit codes of an unattended run.
enum ExitCode : int {
  kExitAllExported = 0,
  kExitSomeFailed = 1,
  kExitNoneExported = 2,
  kExitBadCommandLine = 3,
  kExitPrerequisiteMissing = 4,
  kExitStopped = 5,
};

// Where an unattended run tells what happened: the report file and the console, a line at a time.
class ReportSink {
 public:
  virtual ~ReportSink() = default;
  virtual void Line(const std::wstring& line) = 0;
  // Whether a line could not be kept (the report file could not be written).
  virtual bool Lost() const { return false; }
};

// What an unattended run needs to know of a path before it hands it to Word.
struct FileFacts {
  bool exists = false;
  bool folder = false;
  std::int64_t modified = 0;  // the last change, in the file system's units
  std::wstring reason;        // why it could not be seen, when !exists
};

class DocumentFacts {
 public:
  virtual ~DocumentFacts() = default;
  virtual FileFacts Facts(const std::wstring& path) = 0;
  // Whether the PDF at `path` is finished, by the export run's own check.
  virtual bool CompletePdf(const std::wstring& path) = 0;
};

// The boxes of an unattended run: nothing is shown. A question counts as Yes; both go to the report.
class UnattendedBoxes final : public MessageBoxes {
 public:
  explicit UnattendedBoxes(ReportSink& sink) : sink_(sink) {}
  void Notify(const std::wstring& text) override;
  Answer AskYesNo(const std::wstring& text) override;

 private:
  ReportSink& sink_;
};

// The counts an unattended run ends with.
struct UnattendedTotals {
  int documents = 0;  // the run's list
  int exported = 0;
  int skipped = 0;
  int failed = 0;
  bool stopped = false;              // by the user, or the window closed
  bool prerequisiteMissing = false;  // nothing could be exported on this system
  bool reportLost = false;           // a line of the report could not be written
};

int UnattendedExitCode(const UnattendedTotals& totals);

// One line of the report, tab-separated: outcome (exported, skipped, failed, stopped), seconds,
// path, and for a failure the step and the message the window would have shown.
std::wstring ReportLine(const DocumentResult& result, double seconds);
std::wstring TotalsLine(const UnattendedTotals& totals, double seconds);

// The text of a list file as Windows programs write it: UTF-16 (LE or BE) by its byte-order mark,
// UTF-8 with or without one, otherwise the system's ANSI code page (`ansi` decodes it).
std::wstring ListText(const std::string& bytes, const std::function<std::wstring(const std::string&)>& ansi);

struct ListEntries {
  std::vector<std::wstring> paths;
  std::vector<std::wstring> unread;  // lines that are neither a path nor a line of a report
};

// The paths of a list's text: one a line (CR LF or LF), blank lines, surrounding spaces and
// surrounding double quotes ignored; a relative path is taken from `folder`, the list file's own.
// A line holding a tab is a line of a report (no path holds one): the path of a failed document
// is taken and the report's other lines are skipped, so a report can be fed back.
ListEntries PathsOfList(const std::wstring& text, const std::wstring& folder);

// The folder of a full path, without its last backslash.
std::wstring FolderOf(const std::wstring& path);

// The report's note for a line of the list that was not taken.
std::wstring UnreadListLine(const std::wstring& line);


// Follows an unattended run document by document: checks each path first (not a file: failed;
// with skip-existing, a complete PDF newer than the document: skipped), reports each result as it comes
// and the totals at the end, and ends the run when Word refuses the PDF printer before any
// document was exported, since every later one would fail the same way.
class UnattendedReport final : public RunObserver {
 public:
  // `documents`: the length of the list the run sets out to export.
  UnattendedReport(ReportSink& sink, DocumentFacts& facts, EventPump& clock, bool skipExisting, int documents)
      : sink_(sink), facts_(facts), clock_(clock), skipExisting_(skipExisting), runStart_(clock.Now()) {
    totals_.documents = documents;
  }

  std::optional<DocumentResult> Starting(const std::wstring& document) override;
  bool Finished(const DocumentResult& result) override;
  void Ended(const std::vector<DocumentResult>& results, int bound) override;

  // Lines of the list that were not taken: each counts as a document that failed.
  void ListLinesUnread(int lines);
  // Before any document: the run cannot start on this system.
  void PrerequisiteMissing(const std::wstring& reason);
  // Writes the totals line; the exit code.
  int Close();
  const UnattendedTotals& totals() const { return totals_; }

 private:
  ReportSink& sink_;
  DocumentFacts& facts_;
  EventPump& clock_;
  bool skipExisting_;
  double runStart_;
  double documentStart_ = 0;
  UnattendedTotals totals_;
};

}  // namespace tavrolin
