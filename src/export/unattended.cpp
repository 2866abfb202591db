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
  // Done, but without the report a script reads, it is not a clean run.
  if (done == t.documents) return t.reportLost ? kExitSomeFailed : kExitAllExported;
  return done > 0 ? kExitSomeFailed : kExitNoneExported;
}

std::wstring ReportLine(const DocumentResult& result, double seconds) {
  std::wstring outcome = L"exported";
  std::wstring step;
  std::wstring message = result.warning;
  switch (result.outcome) {
    case Outcome::Exported:
      // Which road made the PDF, where a failure names its step.
      step = RoadName(result.road);
      // Left running for the user: the line says so, as the window's end message does.
      for (const auto* more : {&result.note, &result.wordFate}) {
        if (!more->empty()) message += (message.empty() ? L"" : L" ") + *more;
      }
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

namespace {

// Two bytes a unit, in the order the byte-order mark gave; a lone surrogate becomes U+FFFD.
std::wstring FromUtf16(const std::string& bytes, bool bigEndian) {
  std::wstring out;
  const auto unit = [&](std::size_t i) {
    const auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
    return static_cast<char32_t>(bigEndian ? (a << 8) | b : (b << 8) | a);
  };
  for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
    char32_t c = unit(i);
    if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 && unit(i + 2) < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
      i += 2;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    if (sizeof(wchar_t) == 2 && c >= 0x10000) {
      out += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<wchar_t>(c);
    }
  }
  return out;
}

bool StartsWith(const std::string& bytes, const char* mark) { return bytes.rfind(mark, 0) == 0; }

// A path as Explorer's "Copy as path" gives it loses its quotes.
std::wstring Unquoted(std::wstring path) {
  if (path.size() >= 2 && path.front() == L'"' && path.back() == L'"') path = Trimmed(path.substr(1, path.size() - 2));
  return path;
}

// Neither "C:\...", "C:..." nor "\..." (nor a UNC path): taken from the list's folder.
bool IsRelative(const std::wstring& path) {
  if (path.empty() || path[0] == L'\\' || path[0] == L'/') return false;
  return !(path.size() >= 2 && path[1] == L':');
}

// The report's own lines; "failed" among them is fed back.
bool IsReportOutcome(const std::wstring& word) {
  for (const wchar_t* known : {L"exported", L"skipped", L"failed", L"stopped", L"total", L"note", L"error"}) {
    if (word == known) return true;
  }
  return false;
}

}  // namespace

std::wstring ListText(const std::string& bytes, const std::function<std::wstring(const std::string&)>& ansi) {
  if (StartsWith(bytes, "\xFF\xFE")) return FromUtf16(bytes, false);
  if (StartsWith(bytes, "\xFE\xFF")) return FromUtf16(bytes, true);
  if (StartsWith(bytes, "\xEF\xBB\xBF")) return FromUtf8(bytes.substr(3));
  std::wstring text = FromUtf8(bytes);
  // What is not UTF-8 does not come back the same: then it is the code page's (cmd's "dir /b >").
  if (ansi && ToUtf8(text) != bytes) return ansi(bytes);
  return text;
}

ListEntries PathsOfList(const std::wstring& text, const std::wstring& folder) {
  ListEntries list;
  const auto take = [&](std::wstring path) {
    path = Unquoted(Trimmed(path));
    if (path.empty()) return;
    list.paths.push_back(IsRelative(path) && !folder.empty() ? folder + L"\\" + path : path);
  };
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    const std::wstring line = text.substr(start, end - start);
    start = end + 1;
    const std::size_t tab = line.find(L'\t');
    if (tab == std::wstring::npos) {
      take(line);
      continue;
    }
    // outcome, seconds, path, ...
    const std::wstring outcome = line.substr(0, tab);
    const std::size_t pathStart = line.find(L'\t', tab + 1);
    if (!IsReportOutcome(outcome) || (outcome == L"failed" && pathStart == std::wstring::npos)) {
      if (!Trimmed(line).empty()) list.unread.push_back(Trimmed(line));
      continue;
    }
    if (outcome != L"failed") continue;
    const std::size_t pathEnd = line.find(L'\t', pathStart + 1);
    take(line.substr(pathStart + 1, pathEnd == std::wstring::npos ? std::wstring::npos : pathEnd - pathStart - 1));
  }
  return list;
}

std::wstring UnreadListLine(const std::wstring& line) {
  return L"note\tThe list's line \"" + OneField(line) +
         L"\" is neither a path nor a line of a report (it holds a tab); it counts as a document that failed.";
}

std::optional<DocumentResult> UnattendedReport::Starting(const std::wstring& document, const std::wstring& pdfPath) {
  documentStart_ = clock_.Now();
  const FileFacts facts = facts_.Facts(document);
  if (!facts.exists || facts.folder) {
    DocumentResult result{Outcome::Failed, document};
    result.failure = {kFinding, L"", facts.folder ? L"It is a folder, not a document."
                                                  : (facts.reason.empty() ? L"It does not exist." : facts.reason)};
    return result;
  }
  if (!skipExisting_ || HasPdfExtension(document)) return std::nullopt;
  const FileFacts pdf = facts_.Facts(pdfPath);
  // What a stopped or killed run's printer left half-written is no PDF to keep.
  if (pdf.exists && !pdf.folder && pdf.modified > facts.modified && facts_.CompletePdf(pdfPath)) {
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

void UnattendedReport::ListLinesUnread(int lines) {
  totals_.documents += lines;
  totals_.failed += lines;
}

void UnattendedReport::PrerequisiteMissing(const std::wstring& reason) {
  totals_.prerequisiteMissing = true;
  sink_.Line(L"error\t" + OneField(reason));
}

int UnattendedReport::Close() {
  // A line lost before the totals shows in their exit code, one lost with them in the code alone.
  totals_.reportLost = sink_.Lost();
  sink_.Line(TotalsLine(totals_, clock_.Now() - runStart_));
  totals_.reportLost = sink_.Lost();
  return UnattendedExitCode(totals_);
}

}  // namespace tavrolin
