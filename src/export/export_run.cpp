#include "export/export_run.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "common/paths.h"
#include "common/text.h"
#include "common/trace.h"
#include "export/pdf_files.h"

namespace tavrolin {
namespace {

constexpr wchar_t kNoFiles[] = L"No files added.";
constexpr wchar_t kDone[] = L"Done.";
constexpr wchar_t kAskStop[] = L"An export is running. Do you want to stop it?";
constexpr wchar_t kAskWordRoad[] =
    L"Word cannot print on \"PDF Printer\". Export with Word's own PDF export instead?";
// A printer may hold its unfinished file a moment after its Word is gone.
constexpr double kUnfinishedPdfSeconds = 2;

std::wstring Widen(const char* text) {
  std::wstring result;
  for (const char* p = text; *p; ++p) result += static_cast<wchar_t>(static_cast<unsigned char>(*p));
  return result;
}

std::wstring ExportedText(int exported, int bound) {
  return L"Documents exported: " + std::to_wstring(exported) + L" of " + std::to_wstring(bound) +
         L".";
}

}  // namespace

std::wstring FileSystem::NameKey(const std::wstring& path) {
  std::wstring key = path;
  for (auto& c : key) {
    if (c == L'/') c = L'\\';
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
  }
  return key;
}

float ProgressPercent(int position, int count) {
  if (count <= 0) return 100.0f;
  const double percent = static_cast<double>(position) / static_cast<double>(count) * 100.0;
  return static_cast<float>(std::clamp(percent, 0.0, 100.0));
}

namespace {

using Outcome = DocumentResult::Outcome;

// Runs one step; what it throws, other than a stop or a failure already named, is a failure of
// that step.
template <typename F>
auto InStep(const std::wstring& step, F&& run) {
  try {
    return run();
  } catch (const StopRequested&) {
    throw;
  } catch (const StepFailure&) {
    throw;
  } catch (const AutomationError& e) {
    throw StepFailure{step, e.member(), e.reason()};
  } catch (const std::exception& e) {
    throw StepFailure{step, L"", Widen(e.what())};
  }
}

// Called in a catch: the stop or step failure in flight becomes `result`'s outcome; anything
// else goes on up.
void TakeOutcome(DocumentResult& result) {
  try {
    throw;
  } catch (const StopRequested&) {
    result.outcome = Outcome::Stopped;
  } catch (const StepFailure& f) {
    result.outcome = Outcome::Failed;
    result.failure = f;
  }
}

// Runs `steps` for `result`, turning a stop or a failure into its outcome. True when neither.
template <typename F>
bool Settled(DocumentResult& result, F&& steps) {
  try {
    steps();
    return true;
  } catch (...) {
    TakeOutcome(result);
  }
  return false;
}

// A later document of the run whose PDF an earlier one has: it is not exported.
DocumentResult SamePdf(const std::wstring& document, const std::wstring& earlier, const std::wstring& pdf) {
  DocumentResult result{Outcome::Failed, document};
  result.failure = {L"checking its PDF's path", L"",
                    document + L" has the same PDF as " + earlier + L", which comes first in this run: " + pdf +
                        L". That PDF is left to the first one; rename one of the two documents to export both."};
  return result;
}

std::wstring StoppedText(const DocumentResult& last, int exported, int bound) {
  std::wstring text = L"The export was stopped.";
  if (!last.document.empty()) text += L"\n\nDocument in hand: " + last.document;
  if (!last.wordFate.empty()) text += L"\n" + last.wordFate;
  if (!last.pdfFate.empty()) text += L"\n" + last.pdfFate;
  // Stopped before the documents were counted (during the Word check): no count to give.
  if (bound > 0) text += L"\n\n" + ExportedText(exported, bound);
  return text;
}

std::wstring FailedText(const DocumentResult& last, int exported, int bound) {
  const StepFailure& failure = last.failure;
  std::wstring text = L"The export stopped";
  if (!last.document.empty()) text += L" at this document:\n" + last.document;
  text += L"\n\nStep: " + failure.step;
  if (!failure.member.empty()) text += L" (" + failure.member + L")";
  text += L"\nReason: " + (failure.reason.empty() ? L"unknown" : failure.reason);
  if (!last.wordFate.empty()) text += L" " + last.wordFate;
  if (!last.pdfFate.empty()) text += L"\n" + last.pdfFate;
  if (bound > 0) text += L"\n\n" + ExportedText(exported, bound);
  return text;
}

}  // namespace

std::vector<std::wstring> RunMessages(const std::vector<DocumentResult>& results, int bound) {
  int exported = 0;
  std::wstring warnings;
  std::wstring oldCopies;
  std::wstring skipped;
  std::wstring leftRunning;
  std::wstring notes;
  for (const auto& result : results) {
    if (!result.note.empty()) notes += L"\n\n" + result.document + L":\n" + result.note;
    if (result.pdfWritten) ++exported;
    if (result.outcome == Outcome::Exported && !result.wordFate.empty()) {
      leftRunning += L"\n\n" + result.document + L":\n" + result.wordFate;
    }
    if (!result.warning.empty()) warnings += L"\n\n" + result.document + L":\n" + result.warning;
    if (!result.oldPdfKept.empty()) oldCopies += L"\n\n" + result.document + L":\n" + result.oldPdfKept;
    if (result.outcome == Outcome::SkippedAsPdf) skipped += L"\n" + result.document;
  }
  if (!warnings.empty()) warnings = L"Word's printer could not be switched back for these documents:" + warnings;
  if (!oldCopies.empty()) {
    if (!warnings.empty()) warnings += L"\n\n";
    warnings += L"These documents were exported, but a copy of the old PDF is still beside them; "
                L"delete it once nothing holds it:" + oldCopies;
  }
  if (!leftRunning.empty()) {
    if (!warnings.empty()) warnings += L"\n\n";
    warnings += L"Word was left running after these documents:" + leftRunning;
  }
  if (!notes.empty()) {
    if (!warnings.empty()) warnings += L"\n\n";
    warnings += L"Word made these PDFs otherwise than asked:" + notes;
  }

  const Outcome last = results.empty() ? Outcome::Exported : results.back().outcome;
  if (last == Outcome::Stopped || last == Outcome::Failed) {
    std::wstring text = last == Outcome::Stopped ? StoppedText(results.back(), exported, bound)
                                                 : FailedText(results.back(), exported, bound);
    if (!warnings.empty()) text += L"\n\n" + warnings;
    return {text};
  }
  std::vector<std::wstring> messages;
  if (!warnings.empty()) messages.push_back(warnings);
  if (!skipped.empty()) {
    messages.push_back(L"These documents were not exported because they are PDF files already:\n" + skipped);
  }
  messages.push_back(kDone);
  return messages;
}

void ExportRunner::Press() {
  if (running_) {
    AskToStop();
    return;
  }
  running_ = true;
  ports_.stop.Clear();
  struct Reset {
    bool& running;
    ~Reset() { running = false; }
  } reset{running_};
  lastOutcome_ = Run();
}

void ExportRunner::AskToStop() {
  if (ports_.stop.Requested()) return;
  if (ports_.boxes.AskYesNo(kAskStop) == Answer::Yes) ports_.stop.Ask();
}

void ExportRunner::ThrowIfStopped() const {
  if (ports_.stop.Requested()) throw StopRequested();
}

ExportOutcome ExportRunner::Run() {
  BusyScope busy(ports_.busy);
  if (ports_.documents.Count() <= 0) {
    ports_.boxes.Notify(kNoFiles);
    return ExportOutcome::NoFiles;
  }
  std::vector<DocumentResult> results(1);
  bool declined = false;
  if (!Settled(results[0], [&] {
        declined = InStep(L"checking whether Word is running", [&] { return ports_.word.ConfirmWordClosed(); });
      })) {
    return Report(results, 0);
  }
  if (declined) return ExportOutcome::Declined;
  results.clear();
  claims_.clear();
  const int bound = ports_.documents.Count();
  bound_ = bound;
  std::vector<std::wstring> listed;
  for (int i = 1; i <= bound; ++i) listed.push_back(ports_.documents.Text(i));
  placement_ = choices_.folder.empty() ? PdfPlacement() : PdfPlacement(choices_.folder, listed);
  busy.Refresh();

  for (int i = 1; i <= bound; ++i) {
    if (ports_.stop.Requested()) {
      results.push_back({Outcome::Stopped});
      break;
    }
    // Items may have been removed during a wait: nothing is left to read at this position.
    if (i > ports_.documents.Count()) break;
    results.push_back(Next(i));
    if (TakeWordRoadInstead(results)) results.back() = Next(i);
    if (!GoOn(results.back())) break;
  }
  QuitKeptWord(results);
  ports_.word.EndRun();
  return Report(results, bound);
}

DocumentResult ExportRunner::Next(int position) {
  // A copy: the list may lose, reorder or outgrow this item at any wait of the document's
  // steps, and the document in hand stays the one read here.
  const std::wstring document = ports_.documents.Text(position);
  const auto settle = [&](DocumentResult result) {
    ports_.progress.SetProgressValue(ProgressPercent(position, ports_.documents.Count()));
    return result;
  };
  // A PDF document is not exported: its own output path is the document itself.
  const bool writesPdf = !HasPdfExtension(document);
  const std::wstring pdf = placement_.PdfPathFor(document);
  std::wstring key;
  if (writesPdf) {
    key = ports_.files.NameKey(pdf);
    if (const std::wstring* earlier = EarlierClaim(document, key)) return settle(SamePdf(document, *earlier, pdf));
  }
  if (ports_.observer) {
    if (auto settled = ports_.observer->Starting(document, pdf)) {
      if (settled->outcome == Outcome::SkippedUpToDate) claims_.emplace(key, document);
      return settle(*settled);
    }
  }
  if (!writesPdf) return settle({Outcome::SkippedAsPdf, document});
  claims_.emplace(key, document);
  if (choices_.road == ExportRoad::Word) return ExportOneByWord(document, pdf, position);
  return ExportOne(document, pdf, position);
}

bool ExportRunner::TakeWordRoadInstead(const std::vector<DocumentResult>& results) {
  const DocumentResult& last = results.back();
  // An unattended run asks nobody: its report says why it ended.
  if (ports_.observer || choices_.road != ExportRoad::Printer || last.outcome != Outcome::Failed ||
      last.failure.member != L"ActivePrinter") {
    return false;
  }
  for (const auto& result : results) {
    if (result.pdfWritten) return false;
  }
  if (ports_.boxes.AskYesNo(kAskWordRoad) != Answer::Yes) return false;
  choices_.road = ExportRoad::Word;
  return true;
}

const std::wstring* ExportRunner::EarlierClaim(const std::wstring& document, const std::wstring& pdfKey) {
  const auto claim = claims_.find(pdfKey);
  if (claim == claims_.end()) return nullptr;
  // The same document listed twice writes the same PDF again: harmless.
  if (ports_.files.NameKey(claim->second) == ports_.files.NameKey(document)) return nullptr;
  return &claim->second;
}

bool ExportRunner::GoOn(const DocumentResult& result) {
  if (ports_.observer && !ports_.observer->Finished(result)) return false;
  if (result.outcome == Outcome::Stopped) return false;
  return result.outcome != Outcome::Failed || ports_.observer;
}

DocumentResult ExportRunner::ExportOne(const std::wstring& document, const std::wstring& outputPath, int position) {
  trace::Mark(L"document", document);
  ports_.busy.Refresh();
  DocumentResult result{Outcome::Exported, document};
  // Aside, not deleted: any end of this document's steps before the new PDF is complete
  // (failure, stop, unwinding) puts it back, once Word can no longer print over it.
  PdfAside oldPdf(ports_.files, outputPath);
  std::unique_ptr<WordApplication> word;
  std::wstring printed;  // the short path the printer was given, until its PDF is in place
  bool pathIsOurs = false;  // nothing of the user's is at the output path any more
  try {
    ClearPath(oldPdf, outputPath);
    pathIsOurs = true;
    InStep(L"opening the document in Word", [&] { ports_.word.OpenWordDocument(document, word); });
    ports_.busy.Refresh();
    ThrowIfStopped();
    // The printers' save dialogs take no path this long: the printer writes to a short one of
    // ours, and the finished PDF is moved to its place.
    if (outputPath.size() >= kDialogPathLimit) printed = ports_.files.ShortPdfPath();
    const std::wstring& printerPath = printed.empty() ? outputPath : printed;
    result.warning = InStep(L"printing on \"PDF Printer\"", [&] { return ports_.word.PrintToPdfPrinter(*word, printerPath); });
    ports_.busy.Refresh();
    ThrowIfStopped();
    double pauseStart = 0;
    const auto finishPdf = [&] {
      WaitForPdf(printerPath);
      if (!printed.empty()) MoveIntoPlace(std::exchange(printed, std::wstring()), outputPath);
      KeepPdf(oldPdf, result, position);
      trace::Mark(L"pause");
      pauseStart = ports_.pump.Now();
    };
    // Word's start, the longest wait of a document, is made for the next one meanwhile.
    if (position < ports_.documents.Count()) {
      ports_.word.PrepareNext(finishPdf);
    } else {
      finishPdf();
    }
    // The one second from the PDF's completion before Word is told to quit; a stop cuts it
    // short, and the document still counts as exported (its PDF is in place): the run stops
    // after it.
    WaitSeconds(ports_.pump, std::max(0.0, 1.0 - (ports_.pump.Now() - pauseStart)), ports_.stop.Test());
    trace::Mark(L"paused");
    // Out of hand first: the instance is done with, whatever Quit comes to.
    const std::unique_ptr<WordApplication> quitting = std::move(word);
    result.wordFate = InStep(L"closing Word", [&] { return ports_.word.Quit(*quitting); });
    ports_.busy.Refresh();
    trace::Mark(L"document-done");
    return result;
  } catch (...) {
    TakeOutcome(result);
  }
  Unwind(word, pathIsOurs ? &oldPdf : nullptr, outputPath, result);
  // A PDF the printer left at our short path is not the user's: it goes.
  if (std::wstring ignored; !printed.empty()) ports_.files.Delete(printed, ignored);
  return result;
}

// No printer, no dialog and no pause: Word writes the PDF itself before its call returns.
DocumentResult ExportRunner::ExportOneByWord(const std::wstring& document, const std::wstring& outputPath,
                                             int position) {
  trace::Mark(L"document", document);
  ports_.busy.Refresh();
  DocumentResult result{Outcome::Exported, document};
  result.road = ExportRoad::Word;
  PdfAside oldPdf(ports_.files, outputPath);
  // The instance of the documents before, when one was kept: this document's from here on, and
  // dismissed with it on a failure or a stop.
  std::unique_ptr<WordApplication> word = std::move(keptWord_);
  std::wstring written;  // a short path of ours for a path Word cannot save to, until moved
  bool pathIsOurs = false;
  try {
    ClearPath(oldPdf, outputPath);
    pathIsOurs = true;
    InStep(L"opening the document in Word", [&] {
      if (word) return ports_.word.OpenNextDocument(document, *word);
      keptFor_ = 0;
      ports_.word.OpenWordDocument(document, word);
    });
    ports_.busy.Refresh();
    ThrowIfStopped();
    // Word saves to no path of the classic limit or longer either.
    if (outputPath.size() >= kDialogPathLimit) written = ports_.files.ShortPdfPath();
    const std::wstring& target = written.empty() ? outputPath : written;
    result.note = InStep(L"exporting with Word's own PDF export",
                         [&] { return ports_.word.ExportToPdf(*word, target, choices_.pdf); });
    ports_.busy.Refresh();
    ThrowIfStopped();
    CheckExportedPdf(target);
    if (!written.empty()) MoveIntoPlace(std::exchange(written, std::wstring()), outputPath);
    KeepPdf(oldPdf, result, position);
    result.wordFate = PassOn(word, position);
    ports_.busy.Refresh();
    trace::Mark(L"document-done");
    return result;
  } catch (...) {
    TakeOutcome(result);
  }
  Unwind(word, pathIsOurs ? &oldPdf : nullptr, outputPath, result);
  if (std::wstring ignored; !written.empty()) ports_.files.Delete(written, ignored);
  return result;
}

std::wstring ExportRunner::PassOn(std::unique_ptr<WordApplication>& word, int position) {
  // Replaced now and then: a Word that has held many documents grows and slows.
  const bool more = ++keptFor_ < bounds_.documentsPerWord && position < bound_ && !ports_.stop.Requested();
  if (more) {
    try {
      ports_.word.CloseDocument(*word);
      keptWord_ = std::move(word);
      return {};
    } catch (...) {
      // Its PDF is in place either way: only this Word goes, and the next document starts its own.
      // Said of an exported document only when that Word is left to the user.
      const std::unique_ptr<WordApplication> failed = std::move(word);
      const std::wstring fate = ports_.word.Dismiss(*failed);
      return fate == kWordLeftToUser ? fate : std::wstring();
    }
  }
  const std::unique_ptr<WordApplication> quitting = std::move(word);
  return ports_.word.Quit(*quitting);
}

void ExportRunner::QuitKeptWord(std::vector<DocumentResult>& results) {
  if (!keptWord_) return;
  const std::unique_ptr<WordApplication> quitting = std::move(keptWord_);
  const std::wstring fate = ports_.word.Quit(*quitting);
  // Said with the last document it exported: the user's work is in it.
  for (auto it = results.rbegin(); !fate.empty() && it != results.rend(); ++it) {
    if (it->road == ExportRoad::Word && it->pdfWritten) {
      it->wordFate = fate;
      break;
    }
  }
}

void ExportRunner::ClearPath(PdfAside& oldPdf, const std::wstring& outputPath) {
  const std::wstring replacing = L"replacing the old PDF " + outputPath;
  InStep(replacing, [&] {
    if (std::wstring reason; !oldPdf.SetAside(reason)) throw StepFailure{replacing, L"", reason};
  });
  if (!placement_.IntoFolder()) return;
  const std::wstring making = L"making the PDF's folder";
  InStep(making, [&] {
    if (std::wstring reason; !MakeFoldersFor(ports_.files, outputPath, reason)) throw StepFailure{making, L"", reason};
  });
}

void ExportRunner::KeepPdf(PdfAside& oldPdf, DocumentResult& result, int position) {
  result.pdfWritten = true;
  // A copy held by a sync client or a scanner is only a warning: the new PDF is there.
  if (std::wstring reason; !oldPdf.Commit(reason)) result.oldPdfKept = reason;
  ports_.progress.SetProgressValue(ProgressPercent(position, ports_.documents.Count()));
}

void ExportRunner::Unwind(std::unique_ptr<WordApplication>& word, PdfAside* oldPdf, const std::wstring& outputPath,
                          DocumentResult& result) {
  if (word) result.wordFate = ports_.word.Dismiss(*word);
  // Only once Word is dealt with, which could otherwise still write over it.
  if (oldPdf) PutPathRight(*oldPdf, outputPath, result);
}

void ExportRunner::PutPathRight(PdfAside& oldPdf, const std::wstring& outputPath, DocumentResult& result) {
  const bool oldComesBack = oldPdf.Holding();
  if (std::wstring reason; !oldPdf.Restore(reason)) {
    result.pdfFate = reason;
  } else if (!oldComesBack && !result.pdfWritten) {
    DropUnfinishedPdf(outputPath, result);
  }
}

void ExportRunner::DropUnfinishedPdf(const std::wstring& outputPath, DocumentResult& result) {
  std::wstring reason;
  const auto gone = [&] { return !ports_.files.Exists(outputPath) || ports_.files.Delete(outputPath, reason); };
  if (gone() || WaitUntil(ports_.pump, gone, kUnfinishedPdfSeconds)) return;
  result.pdfFate = L"The printer's unfinished PDF " + outputPath + L" could not be deleted: " + reason;
}

void ExportRunner::WaitForPdf(const std::wstring& outputPath) {
  const auto stopped = ports_.stop.Test();
  const std::wstring appearing = L"waiting for the PDF " + outputPath;
  trace::Mark(L"pdf-wait");
  const bool written = InStep(appearing, [&] {
    return WaitUntil(ports_.pump, [&] { return stopped() || ports_.files.Exists(outputPath); }, bounds_.pdfSeconds);
  });
  ThrowIfStopped();
  if (!written) {
    throw StepFailure{appearing, L"",
                      L"The PDF did not appear within " + SecondsText(bounds_.pdfSeconds) +
                          L" after the printer's dialog was completed."};
  }
  // The printer creates the file when it starts writing: only a finished PDF counts.
  const std::wstring finishing = L"waiting for the printer to finish the PDF " + outputPath;
  double gaveUpAfter = bounds_.pdfSeconds;
  const PdfState state = InStep(finishing, [&] {
    return WaitForCompletePdf(ports_.pump, ports_.files, outputPath, bounds_.pdfSeconds, bounds_.pdfGrowingSeconds,
                              stopped, &gaveUpAfter);
  });
  ThrowIfStopped();
  if (state != PdfState::Complete) throw StepFailure{finishing, L"", IncompletePdfReason(state, gaveUpAfter)};
  trace::Mark(L"pdf-complete");
}

void ExportRunner::CheckExportedPdf(const std::wstring& path) {
  const std::wstring step = L"checking the PDF " + path;
  double gaveUpAfter = bounds_.pdfSeconds;
  const PdfState state = InStep(step, [&] {
    return WaitForCompletePdf(ports_.pump, ports_.files, path, bounds_.pdfSeconds, bounds_.pdfGrowingSeconds,
                              ports_.stop.Test(), &gaveUpAfter);
  });
  ThrowIfStopped();
  if (state == PdfState::Complete) return;
  std::wstring reason = IncompletePdfReason(state, gaveUpAfter);
  if (state == PdfState::Missing) reason = L"Word gave no error, but there is no PDF.";
  if (state == PdfState::BeingWritten) reason = L"The PDF was still held open for writing after " + SecondsText(gaveUpAfter) + L".";
  throw StepFailure{step, L"", reason};
}

void ExportRunner::MoveIntoPlace(const std::wstring& printed, const std::wstring& outputPath) {
  const std::wstring step = L"moving the PDF to " + outputPath;
  std::wstring reason;
  if (ports_.files.Move(printed, outputPath, reason)) return;
  throw StepFailure{step, L"", L"The PDF is complete, but it could not be moved from " + printed + L": " + reason +
                                   L" It was left there."};
}

ExportOutcome ExportRunner::Report(const std::vector<DocumentResult>& results, int bound) {
  ports_.progress.SetProgressValue(0);
  const Outcome last = results.empty() ? Outcome::Exported : results.back().outcome;
  const ExportOutcome outcome = last == Outcome::Stopped  ? ExportOutcome::Stopped
                                : last == Outcome::Failed ? ExportOutcome::Failed
                                                          : ExportOutcome::Done;
  if (ports_.observer) {
    ports_.observer->Ended(results, bound);
    return outcome;
  }
  // The window is gone: nothing more is shown.
  if (ports_.stop.Quitting()) return outcome;
  for (const auto& text : RunMessages(results, bound)) ports_.boxes.Notify(text);
  return outcome;
}

}  // namespace tavrolin

