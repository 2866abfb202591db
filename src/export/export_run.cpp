#include "export/export_run.h"

#include <algorithm>
#include <exception>

#include "common/paths.h"
#include "common/text.h"
#include "export/pdf_files.h"

namespace tavrolin {
namespace {

constexpr wchar_t kNoFiles[] = L"No files added.";
constexpr wchar_t kDone[] = L"Done.";
constexpr wchar_t kAskStop[] = L"An export is running. Do you want to stop it?";

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

// A step of one document that failed, in words the user can act on.
struct ExportRunner::Failure {
  std::wstring step;
  std::wstring member;  // the automation member or part that refused, if any
  std::wstring reason;
};

float ProgressPercent(int position, int count) {
  if (count <= 0) return 100.0f;
  const double percent = static_cast<double>(position) / static_cast<double>(count) * 100.0;
  return static_cast<float>(std::clamp(percent, 0.0, 100.0));
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

std::wstring ExportRunner::Dismiss(std::unique_ptr<WordApplication>& word) {
  if (!word) return {};
  std::wstring fate = ports_.word.Dismiss(*word);
  word.reset();
  return fate;
}

ExportOutcome ExportRunner::Run() {
  BusyScope busy(ports_.busy);
  const DocumentList& documents = ports_.documents;
  if (documents.Count() <= 0) {
    ports_.boxes.Notify(kNoFiles);
    return ExportOutcome::NoFiles;
  }

  int bound = 0;
  int exported = 0;
  std::wstring documentPath;
  std::unique_ptr<WordApplication> word;
  std::vector<std::wstring> skipped;
  std::vector<std::wstring> warnings;
  std::optional<Failure> failure;
  std::wstring wordFate;
  std::wstring inHand;  // the document being handled, if any
  bool stopped = false;
  const auto stopRequested = ports_.stop.Test();

  // Names the step that is about to run, so that a failure can say what it was doing.
  std::wstring step = L"checking whether Word is running";
  try {
    if (ports_.word.ConfirmWordClosed()) return ExportOutcome::Declined;
    busy.Refresh();

    bound = documents.Count();
    for (int i = 1; i <= bound; ++i) {
      ThrowIfStopped();
      // Items may have been removed during a wait: nothing is left to read at this position.
      if (i > documents.Count()) break;
      documentPath = documents.Text(i);
      inHand = documentPath;
      busy.Refresh();

      // Its own output path: deleting it would destroy the document itself.
      if (HasPdfExtension(documentPath)) {
        skipped.push_back(documentPath);
        inHand.clear();
        ports_.progress.SetProgressValue(ProgressPercent(i, documents.Count()));
        continue;
      }

      const std::wstring outputPath = OutputPathFor(documentPath);
      step = L"replacing the old PDF " + outputPath;
      // Aside, not deleted: any end of this document's steps before the new PDF is complete
      // (failure, stop, unwinding) puts it back.
      PdfAside oldPdf(ports_.files, outputPath);
      if (std::wstring reason; !oldPdf.SetAside(reason)) throw Failure{step, L"", reason};
      busy.Refresh();

      step = L"opening the document in Word";
      word = ports_.word.OpenWordDocument(documentPath);
      busy.Refresh();
      ThrowIfStopped();

      step = L"printing on \"PDF Printer\"";
      if (auto warning = ports_.word.PrintToPdfPrinter(*word, outputPath); !warning.empty()) {
        warnings.push_back(documentPath + L":\n" + warning);
      }
      busy.Refresh();
      ThrowIfStopped();

      step = L"waiting for the PDF " + outputPath;
      const bool written = WaitUntil(
          ports_.pump, [&] { return stopRequested() || ports_.files.Exists(outputPath); },
          bounds_.pdfSeconds);
      ThrowIfStopped();
      if (!written) {
        throw Failure{step, L"",
                      L"The PDF did not appear within " + SecondsText(bounds_.pdfSeconds) +
                          L" after the printer's dialog was completed."};
      }
      // The printer creates the file when it starts writing: only a finished PDF counts.
      step = L"waiting for the printer to finish the PDF " + outputPath;
      const PdfState state = WaitForCompletePdf(ports_.pump, ports_.files, outputPath,
                                                bounds_.pdfSeconds, stopRequested);
      ThrowIfStopped();
      if (state != PdfState::Complete) {
        throw Failure{step, L"", IncompletePdfReason(state, bounds_.pdfSeconds)};
      }
      ++exported;
      step = L"deleting the old PDF";
      if (std::wstring reason; !oldPdf.Commit(reason)) throw Failure{step, L"", reason};

      ports_.progress.SetProgressValue(ProgressPercent(i, documents.Count()));
      // The one second before Word is told to quit; a stop cuts it short.
      WaitSeconds(ports_.pump, 1.0, stopRequested);
      ThrowIfStopped();

      step = L"closing Word";
      // Out of hand first: the instance is done with, whatever Quit comes to.
      const std::unique_ptr<WordApplication> quitting = std::move(word);
      ports_.word.Quit(*quitting);
      inHand.clear();
      busy.Refresh();
    }
  } catch (const StopRequested& e) {
    stopped = true;
    wordFate = e.wordFate();
  } catch (const Failure& f) {
    failure = f;
  } catch (const AutomationError& e) {
    failure = Failure{step, e.member(), e.reason()};
    wordFate = e.wordFate();
  } catch (const std::exception& e) {
    failure = Failure{step, L"", Widen(e.what())};
  }

  std::wstring warningText;
  if (!warnings.empty()) {
    warningText = L"Word's printer could not be switched back for these documents:";
    for (const auto& warning : warnings) warningText += L"\n\n" + warning;
  }

  if (stopped || failure) {
    if (const std::wstring fate = Dismiss(word); !fate.empty()) wordFate = fate;
    ports_.progress.SetProgressValue(0);
    // The window is gone: nothing more is shown.
    if (ports_.stop.Quitting()) return ExportOutcome::Stopped;
    const std::wstring fateText = wordFate.empty() ? L"" : L" " + wordFate;
    std::wstring text;
    if (stopped) {
      text = L"The export was stopped.";
      if (!inHand.empty()) text += L"\n\nDocument in hand: " + inHand;
      if (!wordFate.empty()) text += L"\n" + wordFate;
      text += L"\n\n" + ExportedText(exported, bound);
    } else {
      text = L"The export stopped";
      if (!documentPath.empty()) text += L" at this document:\n" + documentPath;
      text += L"\n\nStep: " + failure->step;
      if (!failure->member.empty()) text += L" (" + failure->member + L")";
      text += L"\nReason: " + (failure->reason.empty() ? L"unknown" : failure->reason) + fateText;
      if (bound > 0) text += L"\n\n" + ExportedText(exported, bound);
    }
    if (!warningText.empty()) text += L"\n\n" + warningText;
    ports_.boxes.Notify(text);
    return stopped ? ExportOutcome::Stopped : ExportOutcome::Failed;
  }

  ports_.progress.SetProgressValue(0);
  if (ports_.stop.Quitting()) return ExportOutcome::Done;
  if (!warningText.empty()) ports_.boxes.Notify(warningText);
  if (!skipped.empty()) {
    std::wstring text = L"These documents were not exported because they are PDF files already:\n";
    for (const auto& path : skipped) text += L"\n" + path;
    ports_.boxes.Notify(text);
  }
  ports_.boxes.Notify(kDone);
  return ExportOutcome::Done;
}

}  // namespace tavrolin
