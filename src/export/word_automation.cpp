#include "export/word_automation.h"

#include <algorithm>
#include <cwchar>
#include <utility>

#include "common/text.h"
#include "common/trace.h"

namespace tavrolin {
namespace {

// Whether Word is open is asked before every run: it must answer at once.
constexpr CallBounds kRunningWordBounds{0, 1};
// When the program is told to end during a run, every step that puts things right is held to
// these, so that the process ends soon after the window has gone.
constexpr CallBounds kEndingCallBounds{0, 1.5};
constexpr double kEndingQuitSeconds = 2.5;
// From ending a process to its being gone.
constexpr double kEndedSeconds = 2;

constexpr std::int32_t WordErrorCode(std::int32_t number) {
  return static_cast<std::int32_t>(0x800A0000u | static_cast<std::uint32_t>(number));
}

std::wstring NoAnswerText(double seconds) { return L"Word did not answer within " + SecondsText(seconds) + L"."; }

// A Boolean read as text: -1 (or True) is on.
bool IsOn(const std::wstring& text) { return std::wcstol(text.c_str(), nullptr, 10) != 0 || text == L"True"; }

// An option changed for the run, and its value before.
struct ChangedOption {
  std::wstring name;
  Arg before;
};

}  // namespace

namespace {

// Where a Word instance stands: answering, given up on (it is only ended from then on), or gone
// (it quit, died or was ended).
enum class WordState { Running, Hung, Gone };

// Owns the process of one instance: ends it on the way out, unless it quit.
class ProcessGuard {
 public:
  explicit ProcessGuard(std::unique_ptr<OwnedProcess> process) : process_(std::move(process)) {}
  ~ProcessGuard() { End(); }
  ProcessGuard(const ProcessGuard&) = delete;
  ProcessGuard& operator=(const ProcessGuard&) = delete;

  bool Known() const { return process_ != nullptr; }
  bool Running() const { return process_ && process_->Running(); }
  // It quit: nothing is left to end.
  void Quitted() { done_ = true; }
  // Someone else ends it now.
  std::unique_ptr<OwnedProcess> Take() {
    done_ = true;
    return std::move(process_);
  }
  // Ends it now, once; what became of it, in the user's words.
  std::wstring End() {
    if (std::exchange(done_, true)) return {};
    if (!process_) return kWordNotIdentified;
    if (!process_->Running()) return kWordGoneByItself;
    std::wstring reason;
    if (process_->End(reason)) return kWordEnded;
    return L"That Word instance could not be ended: " + reason;
  }

 private:
  std::unique_ptr<OwnedProcess> process_;  // null when it could not be told apart
  bool done_ = false;
};

// What printing switched, until it is put back: Word's active printer, and the system's default,
// which Word makes its active printer. Put back on the way out at the latest.
class PrinterGuard {
 public:
  explicit PrinterGuard(DefaultPrinter& printers) : printers_(printers) {}
  PrinterGuard(const PrinterGuard&) = delete;
  PrinterGuard& operator=(const PrinterGuard&) = delete;

  // Word's printer, while Word answers; a failure here is not the one to report.
  void PutWordsBack(Dispatch* app, WordState& state) {
    if (!wordPrinter || !app || state != WordState::Running) return;
    try {
      app->Put(L"ActivePrinter", Arg::Str(L"", *wordPrinter));
      wordPrinter.reset();
    } catch (const CallAbandoned&) {
      state = WordState::Hung;
    } catch (...) {
    }
  }
  // Only the switch Word made is undone: a default the user chose meanwhile stays.
  void RestoreSystem() {
    if (!systemPrinter) return;
    const auto now = printers_.Get();
    if (now && *now == kPdfPrinterName && *systemPrinter != kPdfPrinterName) {
      if (!printers_.Set(*systemPrinter)) return;
    }
    systemPrinter.reset();
  }
  // Once Word has quit: Windows, when it manages the default printer, makes the printer of a
  // finished job the default, after the switch was undone.
  void RestoreUser() {
    if (!userPrinter) return;
    systemPrinter = std::exchange(userPrinter, std::nullopt);
    RestoreSystem();
  }

  std::optional<std::wstring> wordPrinter;    // Word's printer before the switch, while switched
  std::optional<std::wstring> systemPrinter;  // the system's default printer before the switch
  std::optional<std::wstring> userPrinter;    // the same, kept until Word has quit

 private:
  DefaultPrinter& printers_;
};

}  // namespace

// One Word instance this program started: where it stands, and the guards of what it changed.
class AutomatedWord::Instance final : public WordApplication {
 public:
  Instance(std::unique_ptr<Dispatch> app, std::unique_ptr<OwnedProcess> process, DefaultPrinter& printers,
           WordState state = WordState::Running)
      : app(std::move(app)), state(state), process(std::move(process)), printers(printers) {}
  // Whatever is still switched goes back, then the process is ended unless it quit.
  ~Instance() override {
    printers.PutWordsBack(app.get(), state);
    printers.RestoreSystem();
    printers.RestoreUser();
    process.End();
  }

  std::unique_ptr<Dispatch> app;  // null when its creation was given up
  WordState state;
  ProcessGuard process;
  PrinterGuard printers;
  std::unique_ptr<Dispatch> document;  // the one it opened, closed alone when the user has work there
  WindowId dialog = 0;  // the printer's dialog that was completed
  std::vector<ChangedOption> options;  // Word's options changed for the run, until put back
};

namespace {

AutomatedWord::Instance* Ours(WordApplication& word) { return dynamic_cast<AutomatedWord::Instance*>(&word); }

AutomatedWord::Instance& OursOrThrow(WordApplication& word, const wchar_t* step) {
  auto* ours = Ours(word);
  if (!ours) throw AutomationError(step, L"The Word application was not started by this program.");
  return *ours;
}

}  // namespace

Arg Arg::Str(std::wstring name, std::wstring text) {
  return Arg{std::move(name), ArgType::Bstr, std::move(text), 0};
}
Arg Arg::StrByRef(std::wstring name, std::wstring text) {
  return Arg{std::move(name), ArgType::BstrByRef, std::move(text), 0};
}
Arg Arg::I2(std::wstring name, std::int16_t value) { return Arg{std::move(name), ArgType::I2, {}, value}; }
Arg Arg::I4(std::wstring name, std::int32_t value) { return Arg{std::move(name), ArgType::I4, {}, value}; }
Arg Arg::Bool(std::wstring name, bool value) {
  return Arg{std::move(name), ArgType::Bool, {}, value ? -1 : 0};
}

std::vector<Arg> PrintOutArguments() {
  return {
      Arg::Str(L"FileName", L""),
      Arg::I4(L"Range", 0),
      Arg::I4(L"Item", 0),
      Arg::I2(L"Copies", 1),
      Arg::Str(L"Pages", L""),
      Arg::I4(L"PageType", 0),
      Arg::Bool(L"ManualDuplexPrint", false),
      Arg::Bool(L"Collate", true),
      Arg::Bool(L"Background", true),
      Arg::Bool(L"PrintToFile", false),
      Arg::I2(L"PrintZoomColumn", 0),
      Arg::I2(L"PrintZoomRow", 0),
      Arg::I2(L"PrintZoomPaperWidth", 0),
      Arg::I2(L"PrintZoomPaperHeight", 0),
  };
}

std::vector<Arg> OpenArguments(const std::wstring& documentPath) {
  return {
      Arg::StrByRef(L"", documentPath),
      Arg::Bool(L"ConfirmConversions", false),
      Arg::Bool(L"ReadOnly", true),
      Arg::Bool(L"AddToRecentFiles", false),
      Arg::Str(L"PasswordDocument", kNoDocumentPassword),
      Arg::Bool(L"NoEncodingDialog", true),
  };
}

double TurnSeconds(const WordBounds& bounds) {
  constexpr double kMarginSeconds = 30;
  return bounds.callSeconds + bounds.dialog.dialogSeconds + kMarginSeconds;
}

std::vector<Arg> ExportAsFixedFormatArguments(const std::wstring& outputPath, const PdfOptions& options) {
  std::vector<Arg> args = {
      Arg::Str(L"OutputFileName", outputPath),
      Arg::I4(L"ExportFormat", kWordPdfFormat),
      Arg::Bool(L"OpenAfterExport", false),
      Arg::I4(L"OptimizeFor", 0),  // wdExportOptimizeForPrint
      Arg::I4(L"Range", 0),        // wdExportAllDocument
      Arg::I4(L"Item", options.markup ? kExportWithMarkup : kExportContent),
      Arg::Bool(L"IncludeDocProps", true),
      Arg::Bool(L"KeepIRM", true),
      Arg::I4(L"CreateBookmarks", 1),  // wdExportCreateHeadingBookmarks
      Arg::Bool(L"DocStructureTags", true),
      Arg::Bool(L"BitmapMissingFonts", true),
  };
  // Only when asked: a Word that predates it then still exports a plain PDF.
  if (options.pdfa) args.push_back(Arg::Bool(L"UseISO19005_1", true));
  return args;
}

std::wstring SavedAsPdfNote(const std::wstring& reason) {
  return L"Word did not take ExportAsFixedFormat (" + reason +
         L"); the PDF was saved through SaveAs2 instead, with Word's default PDF settings.";
}

bool IsWordRunning(Automation& automation) {
  std::unique_ptr<Dispatch> word;
  try {
    word = automation.RunningObject(kWordClass, kRunningWordBounds);
  } catch (...) {
    return false;
  }
  if (!word) return false;
  try {
    return word->GetString(L"") == kWordName;
  } catch (const AutomationError& e) {
    // A busy Word is an open Word.
    return e.busy();
  } catch (const CallAbandoned&) {
    return true;
  } catch (...) {
    return false;
  }
}

AutomatedWord::AutomatedWord(WordPorts ports, WordBounds bounds) : ports_(ports), bounds_(bounds) {}

// The window may be gone by now: every wait here is bounded and pumped.
AutomatedWord::~AutomatedWord() { EndRun(); }

namespace {

// A call given up is Word not answering; from then on the instance is only ended.
[[noreturn]] void GiveUp(AutomatedWord::Instance& word, const CallAbandoned& e) {
  word.state = WordState::Hung;
  if (e.why() != CallAbandoned::Why::NoAnswer) throw StopRequested();
  throw AutomationError(e.member(), NoAnswerText(e.seconds()));
}

}  // namespace

template <typename F>
void AutomatedWord::Guarded(Instance& word, F&& calls) {
  try {
    calls();
  } catch (const CallAbandoned& e) {
    GiveUp(word, e);
  }
}

std::unique_ptr<OwnedProcess> AutomatedWord::Identify(const std::wstring& program,
                                                      const std::vector<ProcessInfo>& before) {
  if (program.empty()) return nullptr;
  const auto found = NewProcess(before, ports_.processes.List(program));
  return found ? ports_.processes.Open(*found) : nullptr;
}

bool AutomatedWord::ConfirmWordClosed() {
  const bool running = IsWordRunning(ports_.automation);
  // Told to end while asking: the question would show after the window.
  if (ports_.stop.Requested()) throw StopRequested();
  if (!running) return false;
  return ports_.boxes.AskYesNo(kWordRunningQuestion) != Answer::Yes;
}

class AutomatedWord::Turn {
 public:
  explicit Turn(SessionLock* held) : held_(held) {}
  ~Turn() {
    if (held_) held_->Give();
  }
  Turn(Turn&& other) noexcept : held_(std::exchange(other.held_, nullptr)) {}
  Turn(const Turn&) = delete;
  Turn& operator=(const Turn&) = delete;
  Turn& operator=(Turn&&) = delete;

 private:
  SessionLock* held_;
};

AutomatedWord::Turn AutomatedWord::TakeTurn(SessionLock* lock, const std::wstring& busy) {
  if (!lock || lock->TryTake()) return Turn(lock);
  ports_.busy.Refresh();
  trace::Mark(L"lock-wait", busy);
  const auto stop = ports_.stop.Test();
  const double seconds = TurnSeconds(bounds_);
  bool held = false;
  WaitUntil(ports_.pump, [&] { return stop() || (held = lock->TryTake()); }, seconds);
  Turn turn(held ? lock : nullptr);
  ports_.busy.Refresh();
  if (stop()) throw StopRequested();
  if (!held) {
    throw AutomationError(L"", L"Another Tavrolin export kept " + busy + L" for " + SecondsText(seconds) +
                                   L", so this document was not exported.");
  }
  return turn;
}

void AutomatedWord::StartInstance(std::unique_ptr<Instance>& word, const std::function<void()>& meanwhile) {
  // The processes of Word's program just before and just after the creation: the one that is
  // new is this instance. Another export's start waits for this one's; a Word the user starts
  // meanwhile makes two, and then none is taken.
  if (!program_) program_ = ports_.processes.ServerProgram(kWordClass);
  const std::wstring& program = *program_;
  std::optional<Turn> starting;
  starting.emplace(TakeTurn(ports_.startLock, L"the start of Word"));
  std::vector<ProcessInfo> before;
  if (!program.empty()) before = ports_.processes.List(program);
  std::unique_ptr<Dispatch> app;
  try {
    app = ports_.automation.CreateObjectAlongside(kWordClass, meanwhile);
  } catch (const CallAbandoned& e) {
    // Given up while Word was starting: the one new process is its, and only ended.
    word = std::make_unique<Instance>(nullptr, Identify(program, before), ports_.printers, WordState::Hung);
    if (e.why() != CallAbandoned::Why::NoAnswer) throw StopRequested();
    throw AutomationError(kWordClass, NoAnswerText(e.seconds()));
  }
  word = std::make_unique<Instance>(std::move(app), Identify(program, before), ports_.printers);
  starting.reset();
  Instance& instance = *word;
  ports_.busy.Refresh();
  Guarded(instance, [&] {
    instance.app->Put(L"AutomationSecurity", Arg::I4(L"", kAutomationSecurityForceDisable));
    instance.app->Put(L"DisplayAlerts", Arg::I4(L"", kDisplayAlertsNone));
    KeepFieldsFromAsking(instance);
  });
}

void AutomatedWord::OpenWordDocument(const std::wstring& documentPath, std::unique_ptr<WordApplication>& word) {
  std::unique_ptr<Instance> started;
  std::exception_ptr failure;
  if (spare_) {
    started = std::move(spare_->word);
    failure = spare_->failure;
    spare_.reset();
  } else {
    FinishDeparting();
    try {
      StartInstance(started);
    } catch (...) {
      failure = std::current_exception();
    }
  }
  word = std::move(started);
  if (failure) std::rethrow_exception(failure);
  OpenIn(static_cast<Instance&>(*word), documentPath);
}

void AutomatedWord::OpenNextDocument(const std::wstring& documentPath, WordApplication& word) {
  Instance& w = OursOrThrow(word, kOpenNoRepairDialog);
  ports_.busy.Refresh();
  OpenIn(w, documentPath);
}

void AutomatedWord::CloseDocument(WordApplication& word) {
  Instance& w = OursOrThrow(word, L"Close");
  if (!w.document) return;
  Guarded(w, [&] { w.document->CallMethod(L"Close", {Arg::I4(L"SaveChanges", 0)}); });
  w.document.reset();
  ports_.busy.Refresh();
}

void AutomatedWord::OpenIn(Instance& instance, const std::wstring& documentPath) {
  try {
    Guarded(instance, [&] {
      auto documents = instance.app->GetDispatch(L"Documents");
      try {
        instance.document = documents->CallForObject(kOpenNoRepairDialog, OpenArguments(documentPath));
      } catch (const AutomationError& e) {
        if (e.code() != kUnknownName) throw;
        instance.document = documents->CallForObject(L"Open", OpenArguments(documentPath));
      }
    });
  } catch (const AutomationError& e) {
    // Only a protected document refuses the password no document uses.
    if (e.code() != WordErrorCode(kWordErrorPasswordIncorrect)) throw;
    AutomationError protectedDocument(e.member(), kPasswordNeeded);
    protectedDocument.SetCode(e.code());
    throw protectedDocument;
  }
  ports_.busy.Refresh();
}

void AutomatedWord::PrepareNext(const std::function<void()>& pdf) {
  // The PDF's wait runs once, whichever way the start goes; what it throws is this document's,
  // and comes out only once the spare is settled.
  bool waited = false;
  std::exception_ptr pdfFailure;
  const std::function<void()> waitForPdf = [&] {
    waited = true;
    try {
      pdf();
    } catch (...) {
      pdfFailure = std::current_exception();
    }
  };
  if (bounds_.startAhead && !spare_) {
    // The one that quit last is gone first: never more than two at once.
    FinishDeparting();
    if (!ports_.stop.Requested()) {
      auto spare = std::make_unique<Spare>();
      try {
        StartInstance(spare->word, waitForPdf);
      } catch (...) {
        spare->failure = std::current_exception();
      }
      spare_ = std::move(spare);
    }
  }
  if (!waited) waitForPdf();
  // A stop meanwhile ends the run after this document: no document will take it.
  if (ports_.stop.Requested()) DropSpare();
  if (pdfFailure) std::rethrow_exception(pdfFailure);
}

void AutomatedWord::DropSpare() {
  if (!spare_) return;
  const std::unique_ptr<Spare> spare = std::move(spare_);
  if (!spare->word) return;
  Instance& w = *spare->word;
  if (w.state == WordState::Running && ports_.stop.Quitting()) w.app->Limit(kEndingCallBounds);
  QuitAndEnd(w);
}

void AutomatedWord::FinishDeparting() {
  if (!departing_) return;
  const std::unique_ptr<Instance> word = std::move(departing_);
  double left = std::max(0.0, departingUntil_ - ports_.pump.Now());
  if (ports_.stop.Quitting()) left = std::min(left, kEndingQuitSeconds);
  trace::Mark(L"word-exit-wait");
  if (WaitUntil(ports_.pump, [&] { return !word->process.Running(); }, left)) {
    trace::Mark(L"word-gone");
    Closed(*word);
  } else {
    EndNow(*word);
  }
  word->printers.RestoreUser();
}

void AutomatedWord::EndRun() {
  DropSpare();
  FinishDeparting();
}

void AutomatedWord::KeepFieldsFromAsking(Instance& word) {
  std::unique_ptr<Dispatch> options;
  try {
    options = word.app->GetDispatch(L"Options");
    if (!IsOn(options->GetString(kUpdateFieldsAtPrint))) return;
  } catch (const AutomationError&) {
    return;  // unknown, so left as it is: the export goes on as before
  }
  // Noted first: a put that fails half-way is put back all the same.
  word.options.push_back({kUpdateFieldsAtPrint, Arg::Bool(L"", true)});
  try {
    options->Put(kUpdateFieldsAtPrint, Arg::Bool(L"", false));
  } catch (const AutomationError&) {
  }
}

bool AutomatedWord::PutOptionsBack(Instance& word) {
  if (word.options.empty()) return true;
  try {
    Guarded(word, [&] {
      auto options = word.app->GetDispatch(L"Options");
      for (const auto& option : word.options) options->Put(option.name, option.before);
    });
  } catch (...) {
    return false;
  }
  word.options.clear();
  return true;
}

void AutomatedWord::SwitchToPdfPrinter(Instance& w) {
  Guarded(w, [&] {
    const std::wstring saved = w.app->GetString(L"ActivePrinter");
    // Word makes its active printer the system's default: that is put back too.
    w.printers.systemPrinter = ports_.printers.Get();
    // Windows, when it manages the default printer, may have made "PDF Printer" the default
    // after an earlier document of this run: the user's own is the one seen before that.
    const auto& system = w.printers.systemPrinter;
    if (system && *system != kPdfPrinterName) usersPrinter_ = system;
    w.printers.userPrinter = usersPrinter_ ? usersPrinter_ : system;
    w.app->Put(L"ActivePrinter", Arg::Str(L"", kPdfPrinterName));
    w.printers.wordPrinter = saved;
  });
}

std::wstring AutomatedWord::PrintToPdfPrinter(WordApplication& word, const std::wstring& outputPath) {
  Instance& w = OursOrThrow(word, L"PrintOut");
  // From before the printer is switched until it is switched back: another export then never
  // meets this one's dialog, nor this one's printer as the user's default.
  const Turn turn = TakeTurn(ports_.printLock, L"the printer's save dialog");
  SwitchToPdfPrinter(w);
  const std::wstring savedPrinter = *w.printers.wordPrinter;
  try {
    ports_.busy.Refresh();
    const DialogSnapshot before = SnapshotSaveAsDialogs(ports_.windows, ports_.pump);
    // A printer may ask on the printing thread, so that PrintOut returns only once its dialog
    // is completed: the dialog is looked for from the moment PrintOut is sent.
    w.app->CallMethodAlongside(L"PrintOut", PrintOutArguments(), [&](const std::function<bool()>& printFailed) {
      ports_.busy.Refresh();
      w.dialog = CompleteSaveAsDialog(outputPath, before, ports_.windows, ports_.pump, ports_.stop.Test(),
                                      bounds_.dialog, printFailed);
    });
    ports_.busy.Refresh();
  } catch (const CallAbandoned& e) {
    w.printers.RestoreSystem();
    GiveUp(w, e);
  } catch (...) {
    // Word's printer goes back before the failure is reported, while Word still answers.
    w.printers.PutWordsBack(w.app.get(), w.state);
    w.printers.RestoreSystem();
    throw;
  }
  // A printer that cannot be switched back is told at the end; the PDF is still on its way.
  std::wstring warning;
  try {
    Guarded(w, [&] { w.app->Put(L"ActivePrinter", Arg::Str(L"", savedPrinter)); });
    w.printers.wordPrinter.reset();
  } catch (const AutomationError& e) {
    warning = L"Word could not be switched back to the printer \"" + savedPrinter + L"\": " + e.reason();
  }
  w.printers.RestoreSystem();
  return warning;
}

std::wstring AutomatedWord::ExportToPdf(WordApplication& word, const std::wstring& outputPath,
                                       const PdfOptions& options) {
  Instance& w = OursOrThrow(word, L"ExportAsFixedFormat");
  if (!w.document) throw AutomationError(L"Documents.Open", L"Word gave no document object for the opened document.");
  std::wstring note;
  ports_.busy.Refresh();
  Guarded(w, [&] {
    try {
      trace::Mark(L"export-call");
      w.document->CallMethod(L"ExportAsFixedFormat", ExportAsFixedFormatArguments(outputPath, options));
    } catch (const AutomationError& e) {
      if (e.code() != kUnknownName) throw;
      // Once, with no options: a Word that cannot take those cannot take them here either.
      w.document->CallMethod(L"SaveAs2", {Arg::Str(L"FileName", outputPath), Arg::I4(L"FileFormat", kWordPdfFormat)});
      note = SavedAsPdfNote(e.reason());
    }
  });
  ports_.busy.Refresh();
  return note;
}

AutomatedWord::Printing AutomatedWord::WaitForBackgroundPrinting(Instance& word) {
  if (word.state != WordState::Running) return Printing::Done;
  const auto stop = ports_.stop.Test();
  const double start = ports_.pump.Now();
  for (;;) {
    std::wstring jobs;
    try {
      Guarded(word, [&] { jobs = word.app->GetString(L"BackgroundPrintingStatus"); });
    } catch (...) {
      // Unknown: Quit and its bound decide (a call given up has marked the instance hung).
      return Printing::Done;
    }
    if (std::wcstol(jobs.c_str(), nullptr, 10) <= 0) return Printing::Done;
    if (stop()) return Printing::Stopped;
    if (ports_.pump.Now() - start >= bounds_.printingSeconds) return Printing::StillPrinting;
    WaitSeconds(ports_.pump, bounds_.printingPollSeconds, stop);
  }
}

std::wstring AutomatedWord::EndNow(Instance& word) {
  word.state = WordState::Gone;
  std::wstring fate = word.process.End();
  // What it held (the document, the printer's file) is let go of once it is gone: waited for
  // here, pumping, so that the window answers meanwhile.
  WaitUntil(ports_.pump, [&] { return !word.process.Running(); }, kEndedSeconds);
  return fate;
}

std::wstring AutomatedWord::Closed(Instance& word) {
  word.state = WordState::Gone;
  word.process.Quitted();
  return kWordClosed;
}

std::wstring AutomatedWord::QuitAndEnd(Instance& word, bool handOff) {
  if (word.state == WordState::Gone) return {};
  const double seconds = ports_.stop.Quitting() ? kEndingQuitSeconds : bounds_.quitSeconds;
  if (word.state == WordState::Hung) return EndNow(word);
  if (word.process.Known() && !word.process.Running()) return EndNow(word);  // gone by itself
  const double start = ports_.pump.Now();
  bool quitAnswered = false;
  try {
    word.app->Limit(CallBounds{std::min(bounds_.busyRetrySeconds, seconds), seconds});
    // Quit writes Word's options for its next start: a Word whose options could not be put back
    // is ended instead, which writes nothing.
    if (!PutOptionsBack(word) && (word.state == WordState::Hung || word.process.Known())) return EndNow(word);
    // Quit would close the user's documents too, unsaved.
    if (HoldsUsersWork(word)) return LeaveToUser(word);
    if (word.state == WordState::Hung) return EndNow(word);
    // Let go of before Quit, while Word still answers its release.
    word.document.reset();
    Guarded(word, [&] { word.app->CallMethod(L"Quit", {Arg::I4(L"Savechanges", 0)}); });
    quitAnswered = true;
  } catch (...) {
    // Not answered or refused: the process is ended below.
  }
  if (!word.process.Known()) return quitAnswered ? Closed(word) : EndNow(word);
  if (word.state == WordState::Running) {
    const double left = std::max(0.0, seconds - (ports_.pump.Now() - start));
    if (handOff && quitAnswered) {
      // It keeps the user's printer to put back once it is gone; this one has nothing left.
      departing_ = std::make_unique<Instance>(std::move(word.app), word.process.Take(), ports_.printers);
      departing_->printers.userPrinter = std::exchange(word.printers.userPrinter, std::nullopt);
      departingUntil_ = ports_.pump.Now() + left;
      word.state = WordState::Gone;
      return kWordClosed;
    }
    trace::Mark(L"word-exit-wait");
    if (WaitUntil(ports_.pump, [&] { return !word.process.Running(); }, left)) {
      trace::Mark(L"word-gone");
      return Closed(word);
    }
  }
  return EndNow(word);
}

bool AutomatedWord::HoldsUsersWork(Instance& word) {
  // Each read on its own: one Word refuses does not hide what the others tell.
  const auto read = [&](const std::function<std::wstring()>& get) {
    std::wstring value;
    if (word.state != WordState::Running) return value;
    try {
      Guarded(word, [&] { value = get(); });
    } catch (...) {
      // Unknown: counts as nothing (a call given up has marked the instance hung).
    }
    return value;
  };
  const std::wstring count = read([&] { return word.app->GetDispatch(L"Documents")->GetString(L"Count"); });
  const std::wstring visible = read([&] { return word.app->GetString(L"Visible"); });
  const std::wstring userControl = read([&] { return word.app->GetString(L"UserControl"); });
  // A spare has no document of ours: any there is the user's.
  const long ours = word.document ? 1 : 0;
  return std::wcstol(count.c_str(), nullptr, 10) > ours || IsOn(visible) || IsOn(userControl);
}

std::wstring AutomatedWord::LeaveToUser(Instance& word) {
  try {
    Guarded(word, [&] {
      if (word.document) word.document->CallMethod(L"Close", {Arg::I4(L"SaveChanges", 0)});
    });
  } catch (...) {
    // Not closed: still no reason to take the user's Word down with it.
  }
  word.document.reset();
  word.state = WordState::Gone;
  word.process.Quitted();
  return kWordLeftToUser;
}

std::wstring AutomatedWord::Quit(WordApplication& word) {
  Instance& w = OursOrThrow(word, L"Quit");
  FinishDeparting();
  // With the next one up, its document does not wait for this one's process to go.
  const bool handOff = spare_ && spare_->word && !spare_->failure && !ports_.stop.Requested();
  // A stop does not wait for Word's printing; Quit now would wait on its question, so a Word
  // that can be told apart is ended instead.
  std::wstring fate;
  if (WaitForBackgroundPrinting(w) == Printing::Stopped && w.process.Known()) {
    EndNow(w);
  } else {
    fate = QuitAndEnd(w, handOff);
  }
  w.printers.RestoreUser();
  return fate == kWordLeftToUser ? fate : std::wstring();
}

std::wstring AutomatedWord::Dismiss(WordApplication& word) {
  Instance* w = Ours(word);
  if (!w || w->state == WordState::Gone) return {};
  if (w->state == WordState::Running) {
    if (ports_.stop.Quitting()) w->app->Limit(kEndingCallBounds);
    CancelSaveAsDialog(w->dialog, ports_.windows, ports_.pump);
    w->printers.PutWordsBack(w->app.get(), w->state);
  }
  std::wstring fate = QuitAndEnd(*w);
  w->printers.RestoreSystem();
  w->printers.RestoreUser();
  return fate;
}

}  // namespace tavrolin
