#include "export/unattended.h"

#include <cmath>

#include "common/command_line.h"
#include "common/paths.h"

namespace tavrolin {
namespace {

using Outcome = DocumentResult::Outcome;

constexpr wchar_t kFinding[] = L"finding the document";

// A message as one field of a line: its line breaks and tabs become single spaces.
std::wstring OneField(const std::wstring& text) {
  std::wstring out;
  for (wchar_t c : text) {
    const bool space = c == L'\n' || c == L'\r' || c == L'\t' || c == L' ';
    if (space && (out.empty() || out.back() == L' ')) continue;
    out += space ? L' ' : c;
  }
  while (!out.empty() && out.back() == L' ') out.pop_back();
  return out;
}

// Tenths, with a point whatever the user's locale: scripts read it.
std::wstring Seconds(double seconds) {
  const long long tenths = std::llround(seconds < 0 ? 0 : seconds * 10);
  return std::to_wstring(tenths / 10) + L"." + std::to_wstring(tenths % 10);
}

std::wstring Trimmed(const std::wstring& text) {
  const auto first = text.find_first_not_of(L" \t\r");
  if (first == std::wstring::npos) return {};
  return text.substr(first, text.find_last_not_of(L" \t\r") - first + 1);
}

}  // namespace

void UnattendedBoxes::Notify(const std::wstring& text) { sink_.Line(L"note\t" + OneField(text)); }

Answer UnattendedBoxes::AskYesNo(const std::wstring& text) {
  sink_.Line(L"note\t" + OneField(text) + L" Answered Yes (unattended).");
  return Answer::Yes;
}

int UnattendedExitCode(const UnattendedTotals& t) {
  if (t.stopped) return kExitStopped;
  if (t.prerequisiteMissing) return kExitPrerequisiteMissing;
  if (t.documents <= 0) return kExitBadCommandLine;
  const int done = t.exported + t.skipped;
  if (done == t.documents) return kExitAllExported;
  return done > 0 ? kExitSomeFailed : kExitNoneExported;
}

std::wstring ReportLine(const DocumentResult& result, double seconds) {
  std::wstring outcome = L"exported";
  std::wstring step;
  std::wstring message = result.warning;
  switch (result.outcome) {
    case Outcome::Exported:
      break;
    case Outcome::SkippedAsPdf:
      outcome = L"skipped";
      message = L"It is a PDF file already.";
      break;
    case Outcome::SkippedUpToDate:
      outcome = L"skipped";
      message = L"Its PDF is newer than the document.";
      break;
    case Outcome::Failed:
      outcome = L"failed";
      step = result.failure.step;
      if (!result.failure.member.empty()) step += L" (" + result.failure.member + L")";
      message = result.failure.reason.empty() ? L"unknown" : result.failure.reason;
      if (!result.wordFate.empty()) message += L" " + result.wordFate;
      if (!result.warning.empty()) message += L" " + result.warning;
      break;
    case Outcome::Stopped:
      outcome = L"stopped";
      message = result.wordFate;
      break;
  }
  for (const auto* more : {&result.oldPdfKept, &result.pdfFate}) {
    if (!more->empty()) message += (message.empty() ? L"" : L" ") + *more;
  }
  std::wstring line = outcome + L"\t" + Seconds(seconds) + L"\t" + result.document;
  if (!step.empty() || !message.empty()) line += L"\t" + OneField(step) + L"\t" + OneField(message);
  return line;
}

std::wstring TotalsLine(const UnattendedTotals& t, double seconds) {
  std::wstring text = std::to_wstring(t.documents) + (t.documents == 1 ? L" document: " : L" documents: ") +
                      std::to_wstring(t.exported) + L" exported, " + std::to_wstring(t.skipped) + L" skipped, " +
                      std::to_wstring(t.failed) + L" failed";
  const int notReached = t.documents - t.exported - t.skipped - t.failed;
  if (notReached > 0) text += L", " + std::to_wstring(notReached) + L" not reached";
  if (t.stopped) text += L"; stopped";
  return L"total\t" + Seconds(seconds) + L"\t" + text + L"\texit code " + std::to_wstring(UnattendedExitCode(t));
}

std::vector<std::wstring> PathsOfList(const std::string& utf8) {
  std::wstring text = FromUtf8(utf8);
  if (!text.empty() && text[0] == L'\xFEFF') text.erase(0, 1);
  std::vector<std::wstring> paths;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    const std::wstring line = text.substr(start, end - start);
    start = end + 1;
    const std::size_t tab = line.find(L'\t');
    if (tab == std::wstring::npos) {
      if (auto path = Trimmed(line); !path.empty()) paths.push_back(path);
      continue;
    }
    // outcome, seconds, path, ...
    if (line.substr(0, tab) != L"failed") continue;
    const std::size_t pathStart = line.find(L'\t', tab + 1);
    if (pathStart == std::wstring::npos) continue;
    const std::size_t pathEnd = line.find(L'\t', pathStart + 1);
    if (auto path = Trimmed(line.substr(pathStart + 1, pathEnd == std::wstring::npos ? std::wstring::npos
                                                                                       : pathEnd - pathStart - 1));
        !path.empty()) {
      paths.push_back(path);
    }
  }
  return paths;
}

std::optional<DocumentResult> UnattendedReport::Starting(const std::wstring& document) {
  documentStart_ = clock_.Now();
  const FileFacts facts = facts_.Facts(document);
  if (!facts.exists || facts.folder) {
    DocumentResult result{Outcome::Failed, document};
    result.failure = {kFinding, L"", facts.folder ? L"It is a folder, not a document."
                                                  : (facts.reason.empty() ? L"It does not exist." : facts.reason)};
    return result;
  }
  if (!skipExisting_ || HasPdfExtension(document)) return std::nullopt;
  const FileFacts pdf = facts_.Facts(OutputPathFor(document));
  // What a stopped or killed run's printer left half-written is no PDF to keep.
  if (pdf.exists && !pdf.folder && pdf.modified > facts.modified && facts_.CompletePdf(OutputPathFor(document))) {
    return DocumentResult{Outcome::SkippedUpToDate, document};
  }
  return std::nullopt;
}

bool UnattendedReport::Finished(const DocumentResult& result) {
  sink_.Line(ReportLine(result, clock_.Now() - documentStart_));
  switch (result.outcome) {
    case Outcome::Exported:
      ++totals_.exported;
      break;
    case Outcome::SkippedAsPdf:
    case Outcome::SkippedUpToDate:
      ++totals_.skipped;
      break;
    case Outcome::Failed:
      ++totals_.failed;
      break;
    case Outcome::Stopped:
      totals_.stopped = true;
      break;
  }
  // Word refusing the printer is no fault of the document: the next one would meet it too.
  if (result.outcome == Outcome::Failed && result.failure.member == L"ActivePrinter" && totals_.exported == 0) {
    totals_.prerequisiteMissing = true;
    sink_.Line(L"error\tWord refused the printer \"PDF Printer\"; the run ends here.");
    return false;
  }
  return true;
}

void UnattendedReport::Ended(const std::vector<DocumentResult>& results, int) {
  if (results.empty() || !results.back().document.empty()) return;
  // Ended before a document was in hand: the check for Word, or a stop between two documents.
  const DocumentResult& last = results.back();
  if (last.outcome == Outcome::Stopped) totals_.stopped = true;
  if (last.outcome == Outcome::Failed) {
    sink_.Line(L"error\t" + OneField(last.failure.step + L": " + last.failure.reason));
  }
}

void UnattendedReport::PrerequisiteMissing(const std::wstring& reason) {
  totals_.prerequisiteMissing = true;
  sink_.Line(L"error\t" + OneField(reason));
}

int UnattendedReport::Close() {
  sink_.Line(TotalsLine(totals_, clock_.Now() - runStart_));
  return UnattendedExitCode(totals_);
}

}  // namespace tavrolin
