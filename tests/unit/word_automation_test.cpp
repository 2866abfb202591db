// The Word sequences over a fake automation server: call order, variant types, the running-Word
// question, and the printer put back on every way out.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "export/word_automation.h"
#include "fakes/fake_pump.h"
#include "fakes/fake_window_layer.h"
#include "shared/fake_pointer.h"

namespace tavrolin {
namespace {

using tavrolin::testing::FakePointer;

using testing::FakePump;
using testing::FakeWindowLayer;

// Every call any fake object receives, in order, as "Object.verb Member".
struct CallLog {
  struct Call {
    std::wstring what;
    std::vector<Arg> args;
  };
  std::vector<Call> calls;
  std::map<std::wstring, AutomationError> failures;  // "Object.verb Member" -> what it throws
  std::map<std::wstring, std::function<void()>> effects;
  std::map<std::wstring, CallAbandoned::Why> abandoned;  // calls the runner gives up on

  void Record(const std::wstring& what, std::vector<Arg> args = {}) {
    calls.push_back({what, std::move(args)});
    if (auto e = effects.find(what); e != effects.end()) e->second();
    if (auto a = abandoned.find(what); a != abandoned.end()) throw CallAbandoned(what, a->second, 120);
    if (auto f = failures.find(what); f != failures.end()) throw f->second;
  }
  std::vector<std::wstring> Names() const {
    std::vector<std::wstring> names;
    for (const auto& c : calls) names.push_back(c.what);
    return names;
  }
  void Fail(const std::wstring& what, const std::wstring& reason) {
    failures.insert_or_assign(what, AutomationError(what, reason));
  }
};

class FakeObject final : public Dispatch {
 public:
  FakeObject(std::wstring name, CallLog& log, std::map<std::wstring, std::wstring>& strings)
      : name_(std::move(name)), log_(log), strings_(strings) {}
  std::wstring GetString(const std::wstring& member) override {
    log_.Record(name_ + L".get " + member);
    return strings_[member];
  }
  std::unique_ptr<Dispatch> GetDispatch(const std::wstring& member) override {
    log_.Record(name_ + L".get " + member);
    return std::make_unique<FakeObject>(member, log_, strings_);
  }
  void Put(const std::wstring& member, const Arg& value) override {
    log_.Record(name_ + L".put " + member, {value});
    strings_[member] = value.type == ArgType::Bstr ? value.text : std::to_wstring(value.number);
  }
  void CallMethod(const std::wstring& member, const std::vector<Arg>& args) override {
    log_.Record(name_ + L".call " + member, args);
  }
  std::unique_ptr<Dispatch> CallForObject(const std::wstring& member, const std::vector<Arg>& args) override {
    log_.Record(name_ + L".call " + member, args);
    return std::make_unique<FakeObject>(L"Document", log_, strings_);
  }
  void Limit(const CallBounds&) override {}

 private:
  std::wstring name_;
  CallLog& log_;
  std::map<std::wstring, std::wstring>& strings_;
};

class FakeAutomation final : public Automation {
 public:
  explicit FakeAutomation(CallLog& log) : log_(log) {}
  std::unique_ptr<Dispatch> CreateObject(const std::wstring& progId) override {
    log_.Record(L"create " + progId);
    return std::make_unique<FakeObject>(L"App", log_, strings);
  }
  std::unique_ptr<Dispatch> RunningObject(const std::wstring& progId, const CallBounds&) override {
    log_.Record(L"running " + progId);
    if (runningName.empty()) throw AutomationError(progId, L"none running");
    auto object = std::make_unique<FakeObject>(L"Running", log_, runningStrings);
    runningStrings[L""] = runningName;
    return object;
  }
  std::map<std::wstring, std::wstring> strings{{L"ActivePrinter", L"Office Laser on LPT1:"}};
  std::map<std::wstring, std::wstring> runningStrings;
  std::wstring runningName;  // empty: nothing running

 private:
  CallLog& log_;
};

class ScriptedMessages final : public MessageBoxes {
 public:
  void Notify(const std::wstring& text) override { notices.push_back(text); }
  Answer AskYesNo(const std::wstring& text) override {
    questions.push_back(text);
    return answer;
  }
  Answer answer = Answer::Yes;
  std::vector<std::wstring> questions;
  std::vector<std::wstring> notices;
};

// Word's server processes: each creation starts one more unless told otherwise; `Open` hands out
// a process that records being ended.
class FakeProcesses final : public Processes {
 public:
  struct State {
    bool running = true;
    bool ended = false;
    int looksToGo = 0;  // once ended, it is still seen running this many times
  };
  std::wstring ServerProgram(const std::wstring&) override { return program; }
  std::vector<ProcessInfo> List(const std::wstring& name) override {
    ++lists;
    if (name != program) return {};
    // A creation happens between the two lists of one OpenWordDocument.
    if (lists % 2 == 0 && startsOne) running.push_back({next++, 7});
    if (lists % 2 == 0 && strangerStarts) running.push_back({next++, 7});
    return running;
  }
  std::unique_ptr<OwnedProcess> Open(const ProcessInfo& info) override {
    opened.push_back(info.id);
    struct Owned final : OwnedProcess {
      explicit Owned(State& s) : state(s) {}
      bool Running() override {
        if (state.ended && state.looksToGo > 0 && --state.looksToGo == 0) state.running = false;
        return state.running;
      }
      bool End(std::wstring&) override {
        state.ended = true;
        state.running = state.looksToGo > 0;
        return true;
      }
      State& state;
    };
    return std::make_unique<Owned>(states[info.id]);
  }
  std::wstring program = L"WINWORD.EXE";
  std::vector<ProcessInfo> running{{100, 1}};  // the user's own Word
  std::map<std::uint32_t, State> states;
  std::vector<std::uint32_t> opened;
  std::uint32_t next = 200;
  int lists = 0;
  bool startsOne = true;
  bool strangerStarts = false;
};

class FakeDefaultPrinter final : public DefaultPrinter {
 public:
  std::optional<std::wstring> Get() override { return name; }
  bool Set(const std::wstring& printer) override {
    sets.push_back(printer);
    name = printer;
    return true;
  }
  std::wstring name = L"Office Laser";
  std::vector<std::wstring> sets;
};

// Another export's turn at the printer until `freeAt` (never, when negative); taken and given
// back by this one.
class FakeSessionLock final : public SessionLock {
 public:
  explicit FakeSessionLock(FakePump& pump) : pump_(pump) {}
  bool TryTake() override {
    if (freeAt < 0 || pump_.now < freeAt) return false;
    ++held;
    return true;
  }
  void Give() override { --held; }
  double freeAt = 0;
  int held = 0;

 private:
  FakePump& pump_;
};

class WordSequenceTest : public ::testing::Test {
 protected:
  WordSequenceTest() {
    // The printer's dialog shows a moment after PrintOut returns.
    log.effects[L"App.call PrintOut"] = [this] { pump.At(pump.now + 0.5, [this] { dialog = windows.AddSaveAs(); }); };
    // As Word does: its printer becomes the system's default, and Quit ends its process.
    log.effects[L"App.put ActivePrinter"] = [this] {
      printers.name = log.calls.back().args.at(0).text == L"PDF Printer" ? L"PDF Printer" : L"Office Laser";
    };
    log.effects[L"App.call Quit"] = [this] {
      for (auto& [id, state] : processes.states) state.running = false;
    };
  }
  // Opens as the run does.
  std::unique_ptr<WordApplication> Open(const std::wstring& path) {
    std::unique_ptr<WordApplication> app;
    word.OpenWordDocument(path, app);
    return app;
  }
  // Opens as the run does, expecting a failure: its reason, and what dismissing the instance
  // (as the run then does) says became of it.
  std::pair<std::wstring, std::wstring> OpenFailing(const std::wstring& path) {
    std::unique_ptr<WordApplication> app;
    std::wstring reason = L"(no failure)";
    try {
      word.OpenWordDocument(path, app);
    } catch (const AutomationError& e) {
      reason = e.reason();
    }
    return {reason, app ? word.Dismiss(*app) : L"(no instance)"};
  }
  std::size_t Count(const std::wstring& what) const {
    const auto names = log.Names();
    return static_cast<std::size_t>(std::count(names.begin(), names.end(), what));
  }

  CallLog log;
  FakeAutomation automation{log};
  ScriptedMessages messages;
  FakePointer pointer;
  BusyMark busy{pointer};
  FakePump pump;
  FakeWindowLayer windows{pump};
  FakeWindowLayer::Dialog dialog{};
  FakeProcesses processes;
  FakeDefaultPrinter printers;
  RunStop stop{pump};
  FakeSessionLock printLock{pump};
  FakeSessionLock startLock{pump};
  AutomatedWord word{
      WordPorts{automation, processes, printers, messages, busy, windows, pump, stop, &printLock, &startLock}};
};

TEST_F(WordSequenceTest, OpenStartsANewWordWithMacrosAndAlertsOffAndOpensWithoutAnyPrompt) {
  auto app = Open(L"C:\\Docs\\Report.docx");
  ASSERT_TRUE(app);
  EXPECT_EQ((std::vector<std::wstring>{L"create Word.Application", L"App.put AutomationSecurity",
                                       L"App.put DisplayAlerts", L"App.get Options", L"Options.get UpdateFieldsAtPrint",
                                       L"App.get Documents", L"Documents.call OpenNoRepairDialog"}),
            log.Names());
  EXPECT_EQ(Arg::I4(L"", 3), log.calls[1].args.at(0));
  EXPECT_EQ(Arg::I4(L"", 0), log.calls[2].args.at(0)) << "wdAlertsNone";
  // The path by reference and position; then no conversion or encoding question, read-only, not
  // among the recent files, and a password no document has.
  EXPECT_EQ((std::vector<Arg>{Arg::StrByRef(L"", L"C:\\Docs\\Report.docx"), Arg::Bool(L"ConfirmConversions", false),
                              Arg::Bool(L"ReadOnly", true), Arg::Bool(L"AddToRecentFiles", false),
                              Arg::Str(L"PasswordDocument", L"#Tavrolin-none#"), Arg::Bool(L"NoEncodingDialog", true)}),
            log.calls[6].args);
  EXPECT_EQ(0, Arg::Bool(L"", false).number);
  EXPECT_EQ(kPointerHourglass, pointer.value);
  EXPECT_EQ(2u, pointer.history.size());

  Open(L"C:\\Docs\\Other.docx");
  const auto names = log.Names();
  EXPECT_EQ(2, std::count(names.begin(), names.end(), L"create Word.Application"))
      << "never attaches to an instance already there";
}

// Word before 2007 has no OpenNoRepairDialog: the same arguments go to Open.
TEST_F(WordSequenceTest, AWordWithoutOpenNoRepairDialogOpensThroughOpen) {
  AutomationError unknown(L"OpenNoRepairDialog", L"Word does not know this member.");
  unknown.SetCode(kUnknownName);
  log.failures.insert_or_assign(L"Documents.call OpenNoRepairDialog", unknown);
  Open(L"C:\\Docs\\Report.docx");
  ASSERT_EQ(L"Documents.call Open", log.calls.back().what);
  EXPECT_EQ(OpenArguments(L"C:\\Docs\\Report.docx"), log.calls.back().args);
  EXPECT_EQ(log.calls[log.calls.size() - 2].args, log.calls.back().args);
  // Any other failure is the document's: nothing else is tried.
  log.Fail(L"Documents.call OpenNoRepairDialog", L"We're sorry. We can't open Damaged.docx.");
  EXPECT_EQ(L"We're sorry. We can't open Damaged.docx.", OpenFailing(L"C:\\Docs\\Damaged.docx").first);
  EXPECT_EQ(1u, Count(L"Documents.call Open"));
}

// Word keeps its options and writes them when it quits: "Update fields before printing" is off
// for the run and the user's value is back before every Quit; a Word that cannot be given it
// back is ended, which writes nothing.
TEST_F(WordSequenceTest, UpdateFieldsAtPrintIsOffForTheRunAndTheUsersBeforeQuit) {
  automation.strings[L"UpdateFieldsAtPrint"] = L"-1";
  using Seen = std::vector<std::pair<std::wstring, std::int32_t>>;
  const auto putsAndQuits = [this] {
    Seen seen;
    for (const auto& c : log.calls) {
      if (c.what == L"Options.put UpdateFieldsAtPrint") {
        seen.emplace_back(c.args.at(0).type == ArgType::Bool ? L"put" : L"put, not a Boolean", c.args.at(0).number);
      }
      if (c.what == L"App.call Quit" || c.what == L"App.call PrintOut") seen.emplace_back(c.what, 0);
    }
    return seen;
  };
  const Seen offPrintBackQuit = {{L"put", 0}, {L"App.call PrintOut", 0}, {L"put", -1}, {L"App.call Quit", 0}};
  auto app = Open(L"C:\\Docs\\Letter.docx");
  word.PrintToPdfPrinter(*app, L"C:\\Docs\\Letter.pdf");
  word.Quit(*app);
  EXPECT_EQ(offPrintBackQuit, putsAndQuits());
  {
    SCOPED_TRACE("a failure after the open: dismissed, and the option back before Quit");
    log.calls.clear();
    log.Fail(L"App.call PrintOut", L"There is a printer error.");
    auto failing = Open(L"C:\\Docs\\Letter.docx");
    EXPECT_THROW(word.PrintToPdfPrinter(*failing, L"C:\\Docs\\Letter.pdf"), AutomationError);
    EXPECT_EQ(kWordClosed, word.Dismiss(*failing));
    EXPECT_EQ(offPrintBackQuit, putsAndQuits());
    log.failures.clear();
  }
  {
    SCOPED_TRACE("the option cannot be put back: that Word is ended, not quit");
    log.calls.clear();
    auto refusing = Open(L"C:\\Docs\\Letter.docx");
    log.Fail(L"Options.put UpdateFieldsAtPrint", L"The value is out of range.");
    word.Quit(*refusing);
    EXPECT_EQ(0u, Count(L"App.call Quit"));
    EXPECT_TRUE(processes.states[202].ended);
    log.failures.clear();
  }
  {
    SCOPED_TRACE("off already: nothing is changed, so nothing is put back");
    automation.strings[L"UpdateFieldsAtPrint"] = L"0";
    log.calls.clear();
    auto off = Open(L"C:\\Docs\\Letter.docx");
    word.Quit(*off);
    EXPECT_EQ(0u, Count(L"Options.put UpdateFieldsAtPrint"));
    EXPECT_EQ(1u, Count(L"App.call Quit"));
  }
}

TEST_F(WordSequenceTest, AWordThatCouldNotOpenTheDocumentIsQuitAndTheErrorKept) {
  log.Fail(L"Documents.call OpenNoRepairDialog", L"Sorry, we couldn't find your file.");
  EXPECT_EQ((std::pair<std::wstring, std::wstring>{L"Sorry, we couldn't find your file.", kWordClosed}),
            OpenFailing(L"C:\\missing.docx"));
  ASSERT_EQ(L"App.call Quit", log.calls.back().what);
  EXPECT_EQ((std::vector<Arg>{Arg::I4(L"Savechanges", 0)}), log.calls.back().args);

  // A Quit that fails too does not hide why the document could not be opened.
  log.Fail(L"App.call Quit", L"gone");
  EXPECT_EQ(L"Sorry, we couldn't find your file.", OpenFailing(L"C:\\missing.docx").first);
}

TEST_F(WordSequenceTest, AProtectedDocumentEndsWithAMessageThatItNeedsAPassword) {
  AutomationError wrongPassword(L"Open", L"The password is incorrect. Word cannot open the document.");
  wrongPassword.SetCode(static_cast<std::int32_t>(0x800A1520));  // Word's error 5408
  log.failures.insert_or_assign(L"Documents.call OpenNoRepairDialog", wrongPassword);
  const auto [reason, fate] = OpenFailing(L"C:\\Docs\\Secret.docx");
  EXPECT_EQ(kPasswordNeeded, reason);
  EXPECT_EQ(kWordClosed, fate);
  // Any other failure of Open keeps Word's own words.
  log.Fail(L"Documents.call OpenNoRepairDialog", L"The password is incorrect.");
  try {
    Open(L"C:\\Docs\\Other.docx");
    FAIL();
  } catch (const AutomationError& e) {
    EXPECT_EQ(L"The password is incorrect.", e.reason());
  }
}

// Quit while Word still prints in the background would wait on Word's question whether to
// cancel the job.
TEST_F(WordSequenceTest, QuitWaitsUntilWordHasNoBackgroundPrintJobLeft) {
  auto app = Open(L"C:\\Docs\\Report.docx");
  word.PrintToPdfPrinter(*app, L"C:\\Docs\\Report.pdf");
  automation.strings[L"BackgroundPrintingStatus"] = L"1";
  const double printingEnds = pump.now + 3;
  pump.At(printingEnds, [this] { automation.strings[L"BackgroundPrintingStatus"] = L"0"; });
  double quitAt = -1;
  log.effects[L"App.call Quit"] = [&] {
    quitAt = pump.now;
    for (auto& [id, state] : processes.states) state.running = false;
  };
  // Windows, managing the default printer, made the PDF printer the default when the job ended.
  printers.name = L"PDF Printer";
  log.calls.clear();
  word.Quit(*app);
  EXPECT_GE(quitAt, printingEnds);
  EXPECT_LT(quitAt, printingEnds + 0.5);
  EXPECT_GE(Count(L"App.get BackgroundPrintingStatus"), 2u);
  EXPECT_EQ(L"App.call Quit", log.calls.back().what);
  EXPECT_FALSE(processes.states[200].ended);
  EXPECT_EQ(L"Office Laser", printers.name) << "the user's default again, after Word quit";

  {
    SCOPED_TRACE("printing that never ends: Quit after the bound, and its own bound ends Word");
    auto second = Open(L"C:\\Docs\\Other.docx");
    automation.strings[L"BackgroundPrintingStatus"] = L"1";
    const double start = pump.now;
    log.effects.erase(L"App.call Quit");  // Word asks whether to cancel the job
    word.Quit(*second);
    EXPECT_GE(quitAt = pump.now - start, 30.0);
    EXPECT_LT(quitAt, 30.0 + 10.0 + 1.0);
    EXPECT_TRUE(processes.states[201].ended);
  }
  {
    SCOPED_TRACE("a stop ends the wait and that Word at once");
    auto third = Open(L"C:\\Docs\\Third.docx");
    pump.At(pump.now + 1, [this] { stop.Ask(); });
    const double start = pump.now;
    const auto quits = Count(L"App.call Quit");
    word.Quit(*third);
    EXPECT_LT(pump.now - start, 2.0);
    EXPECT_EQ(quits, Count(L"App.call Quit"));
    EXPECT_TRUE(processes.states[202].ended);
  }
}

TEST_F(WordSequenceTest, ADefaultPrinterTheUserChoseMeanwhileStaysAfterQuit) {
  auto app = Open(L"C:\\Docs\\Report.docx");
  word.PrintToPdfPrinter(*app, L"C:\\Docs\\Report.pdf");
  printers.name = L"Plotter";
  printers.sets.clear();
  word.Quit(*app);
  EXPECT_TRUE(printers.sets.empty());
}

// Windows, managing the default printer, makes "PDF Printer" the default once a job has ended,
// which can be after the first document's Word has quit and its printer was put back.
TEST_F(WordSequenceTest, APdfPrinterMadeDefaultAfterOneDocumentIsNotTakenForTheUsersAtTheNext) {
  auto first = Open(L"C:\\Docs\\A.docx");
  word.PrintToPdfPrinter(*first, L"C:\\Docs\\A.pdf");
  word.Quit(*first);
  log.effects.erase(L"App.put ActivePrinter");
  printers.name = L"PDF Printer";
  auto second = Open(L"C:\\Docs\\B.docx");
  word.PrintToPdfPrinter(*second, L"C:\\Docs\\B.pdf");
  word.Quit(*second);
  EXPECT_EQ(L"Office Laser", printers.name);
}

TEST_F(WordSequenceTest, PrintSwitchesPrinterPrintsDrivesTheDialogAndSwitchesBack) {
  auto app = Open(L"C:\\Docs\\Report.docx");
  log.calls.clear();
  pointer.history.clear();
  word.PrintToPdfPrinter(*app, L"C:\\Docs\\Report.pdf");

  EXPECT_EQ((std::vector<std::wstring>{L"App.get ActivePrinter", L"App.put ActivePrinter", L"App.call PrintOut",
                                       L"App.put ActivePrinter"}),
            log.Names());
  EXPECT_EQ(Arg::Str(L"", L"PDF Printer"), log.calls[1].args.at(0));
  EXPECT_EQ(Arg::Str(L"", L"Office Laser on LPT1:"), log.calls[3].args.at(0));
  const std::vector<Arg> expected = {
      Arg::Str(L"FileName", L""),         Arg::I4(L"Range", 0),
      Arg::I4(L"Item", 0),                Arg::I2(L"Copies", 1),
      Arg::Str(L"Pages", L""),            Arg::I4(L"PageType", 0),
      Arg::Bool(L"ManualDuplexPrint", false), Arg::Bool(L"Collate", true),
      Arg::Bool(L"Background", true),     Arg::Bool(L"PrintToFile", false),
      Arg::I2(L"PrintZoomColumn", 0),     Arg::I2(L"PrintZoomRow", 0),
      Arg::I2(L"PrintZoomPaperWidth", 0), Arg::I2(L"PrintZoomPaperHeight", 0),
  };
  EXPECT_EQ(expected, log.calls[2].args);
  EXPECT_EQ(-1, Arg::Bool(L"", true).number);
  EXPECT_EQ(1 + std::wstring(L"C:\\Docs\\Report.pdf").size(), windows.PostsTo(dialog.edit).size())
      << "the selection and every character";
  EXPECT_EQ(2u, windows.PostsTo(dialog.save).size());
  EXPECT_EQ(3u, pointer.history.size()) << "hourglass after the switch, after PrintOut and after the dialog";
}

// Another Tavrolin at the printer: its dialog would be taken for this one's. This one waits its
// turn (pumped, stoppable, bounded) before it even switches the printer, and gives it back after.
TEST_F(WordSequenceTest, PrintingWaitsForAnotherExportsTurnAtThePrinter) {
  const double bound = TurnSeconds(WordBounds{});
  struct Case {
    const char* name;
    double freeAt;  // negative: never
    double stopAt;  // negative: never
    const char* ending;
  };
  const Case cases[] = {
      {"free after 20 s", 20, -1, "printed"},
      {"never free", -1, -1, "failed"},
      {"stopped while waiting", -1, 5, "stopped"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto app = Open(L"C:\\Docs\\Report.docx");
    log.calls.clear();
    printLock.freeAt = c.freeAt;
    if (c.stopAt >= 0) pump.At(pump.now + c.stopAt, [this] { stop.Ask(); });
    const double start = pump.now;
    std::string ending = "printed";
    try {
      word.PrintToPdfPrinter(*app, L"C:\\Docs\\Report.pdf");
    } catch (const AutomationError& e) {
      ending = "failed";
      EXPECT_NE(e.reason().find(L"Another Tavrolin export kept the printer's save dialog"), std::wstring::npos);
      EXPECT_NE(e.member(), L"ActivePrinter") << "not Word refusing the printer";
    } catch (const StopRequested&) {
      ending = "stopped";
    }
    EXPECT_EQ(c.ending, ending);
    EXPECT_EQ(0, printLock.held) << "given back";
    if (ending == "printed") EXPECT_GE(pump.now - start, 20.0);
    if (ending == "failed") EXPECT_NEAR(pump.now - start, bound, 0.5);
    if (ending != "printed") EXPECT_EQ(0u, Count(L"App.put ActivePrinter")) << "nothing switched";
    word.Dismiss(*app);
    stop.Clear();
  }
  // Word's start too: another export's new Word would be taken for this one's and ended with it.
  startLock.freeAt = -1;
  log.calls.clear();
  const auto [reason, fate] = OpenFailing(L"C:\\Docs\\Report.docx");
  EXPECT_NE(reason.find(L"kept the start of Word"), std::wstring::npos) << reason;
  EXPECT_EQ(0u, Count(L"create Word.Application"));
  EXPECT_EQ(0, startLock.held);
}

// Word's own export: on the opened document, with fixed types, and never a printer or a dialog.
TEST_F(WordSequenceTest, ExportToPdfCallsExportAsFixedFormatOnTheDocumentWithoutAnyPrinter) {
  auto app = Open(L"C:\\Docs\\Report.docx");
  log.calls.clear();
  EXPECT_EQ(L"", word.ExportToPdf(*app, L"C:\\Out\\Report.pdf", {}));
  EXPECT_EQ((std::vector<std::wstring>{L"Document.call ExportAsFixedFormat"}), log.Names());
  const std::vector<Arg> expected = {
      Arg::Str(L"OutputFileName", L"C:\\Out\\Report.pdf"), Arg::I4(L"ExportFormat", 17),
      Arg::Bool(L"OpenAfterExport", false), Arg::I4(L"OptimizeFor", 0), Arg::I4(L"Range", 0),
      Arg::I4(L"Item", 0), Arg::Bool(L"IncludeDocProps", true), Arg::Bool(L"KeepIRM", true),
      Arg::I4(L"CreateBookmarks", 1), Arg::Bool(L"DocStructureTags", true), Arg::Bool(L"BitmapMissingFonts", true),
  };
  EXPECT_EQ(expected, log.calls[0].args);
  word.ExportToPdf(*app, L"C:\\Out\\Report.pdf", {.pdfa = true, .markup = true});
  EXPECT_EQ(Arg::I4(L"Item", 7), log.calls[1].args.at(5)) << "with markup";
  EXPECT_EQ(Arg::Bool(L"UseISO19005_1", true), log.calls[1].args.back());
  word.Quit(*app);
  EXPECT_EQ(0u, Count(L"App.put ActivePrinter") + Count(L"App.call PrintOut"));
  EXPECT_TRUE(windows.posts.empty()) << "no dialog is looked for";
}

// Word's own refusal is the document's; only a Word that does not know the export saves through
// SaveAs2, once, and says so.
TEST_F(WordSequenceTest, ExportToPdfFallsBackToSaveAs2OnlyForAnUnknownMember) {
  auto app = Open(L"C:\\Docs\\Report.docx");
  log.Fail(L"Document.call ExportAsFixedFormat", L"Export failed because this feature is not installed.");
  std::wstring reason;
  try {
    word.ExportToPdf(*app, L"C:\\Docs\\Report.pdf", {});
  } catch (const AutomationError& e) {
    reason = e.reason();
  }
  EXPECT_EQ(L"Export failed because this feature is not installed.", reason);
  EXPECT_EQ(0u, Count(L"Document.call SaveAs2"));

  AutomationError unknown(L"ExportAsFixedFormat", L"Word does not know this member.");
  unknown.SetCode(kUnknownName);
  log.failures.insert_or_assign(L"Document.call ExportAsFixedFormat", unknown);
  EXPECT_EQ(SavedAsPdfNote(L"Word does not know this member."), word.ExportToPdf(*app, L"C:\\Docs\\Report.pdf", {}));
  ASSERT_EQ(L"Document.call SaveAs2", log.calls.back().what);
  EXPECT_EQ((std::vector<Arg>{Arg::Str(L"FileName", L"C:\\Docs\\Report.pdf"), Arg::I4(L"FileFormat", 17)}),
            log.calls.back().args);
  log.Fail(L"Document.call SaveAs2", L"The file could not be saved.");
  EXPECT_THROW(word.ExportToPdf(*app, L"C:\\Docs\\Report.pdf", {}), AutomationError);
  EXPECT_EQ(2u, Count(L"Document.call SaveAs2")) << "once per export";
}

TEST_F(WordSequenceTest, TheSavedPrinterComesBackOnEveryWayOut) {
  auto app = Open(L"C:\\Docs\\Report.docx");
  auto lastPut = [&] {
    for (auto it = log.calls.rbegin(); it != log.calls.rend(); ++it) {
      if (it->what == L"App.put ActivePrinter") return it->args.at(0).text;
    }
    return std::wstring();
  };

  log.effects.clear();  // no dialog unless a case shows one
  {
    SCOPED_TRACE("PrintOut fails");
    log.Fail(L"App.call PrintOut", L"There is a printer error.");
    EXPECT_THROW(word.PrintToPdfPrinter(*app, L"C:\\a.pdf"), AutomationError);
    EXPECT_EQ(L"Office Laser on LPT1:", lastPut());
    log.failures.clear();
  }
  {
    SCOPED_TRACE("no dialog");
    EXPECT_THROW(word.PrintToPdfPrinter(*app, L"C:\\a.pdf"), AutomationError);
    EXPECT_EQ(L"Office Laser on LPT1:", lastPut());
  }
  {
    SCOPED_TRACE("stop requested");
    stop.Ask();
    EXPECT_THROW(word.PrintToPdfPrinter(*app, L"C:\\a.pdf"), StopRequested);
    EXPECT_EQ(L"Office Laser on LPT1:", lastPut());
    stop.Clear();
  }
  {
    SCOPED_TRACE("no Save button");
    log.effects[L"App.call PrintOut"] = [this] { dialog = windows.AddSaveAs(/*saveBeforeEdit=*/true, /*saveId=*/0); };
    EXPECT_THROW(word.PrintToPdfPrinter(*app, L"C:\\a.pdf"), AutomationError);
    EXPECT_EQ(L"Office Laser on LPT1:", lastPut());
    EXPECT_TRUE(windows.PostsTo(dialog.save).empty());
  }
  {
    SCOPED_TRACE("the restore itself fails after PrintOut failed: PrintOut's error is reported");
    log.Fail(L"App.call PrintOut", L"There is a printer error.");
    log.failures.insert_or_assign(L"App.put ActivePrinter", AutomationError(L"ActivePrinter", L"rejected"));
    try {
      word.PrintToPdfPrinter(*app, L"C:\\a.pdf");
      FAIL();
    } catch (const AutomationError& e) {
      EXPECT_EQ(L"ActivePrinter", e.member()) << "the switch to the PDF printer failed first";
    }
    log.failures.erase(L"App.put ActivePrinter");
  }
}

TEST_F(WordSequenceTest, TheSwitchToThePdfPrinterFailingLeavesNothingToRestore) {
  auto app = Open(L"C:\\Docs\\Report.docx");
  log.calls.clear();
  log.Fail(L"App.put ActivePrinter", L"There is a printer error.");
  EXPECT_THROW(word.PrintToPdfPrinter(*app, L"C:\\a.pdf"), AutomationError);
  EXPECT_EQ((std::vector<std::wstring>{L"App.get ActivePrinter", L"App.put ActivePrinter"}), log.Names());
}

TEST_F(WordSequenceTest, OnlyADialogShownAfterPrintingStartedIsTaken) {
  auto app = Open(L"C:\\Docs\\Report.docx");
  const auto stranger = windows.AddSaveAs();
  // The printer's dialog shows during PrintOut itself.
  log.effects[L"App.call PrintOut"] = [this] { dialog = windows.AddSaveAs(); };
  word.PrintToPdfPrinter(*app, L"C:\\a.pdf");
  EXPECT_TRUE(windows.PostsTo(stranger.edit).empty());
  EXPECT_TRUE(windows.PostsTo(stranger.save).empty());
  EXPECT_EQ(9u, windows.PostsTo(dialog.edit).size()) << "the selection and eight characters";
}

TEST_F(WordSequenceTest, QuitPassesSavechangesAsA32BitZeroUnlessTheUserHasWorkInThatWord) {
  const std::vector<std::wstring> look{L"App.get BackgroundPrintingStatus", L"App.get Documents", L"Documents.get Count",
                                       L"App.get Visible", L"App.get UserControl"};
  auto app = Open(L"C:\\Docs\\Report.docx");
  log.calls.clear();
  automation.strings[L"Count"] = L"1";
  EXPECT_EQ(L"", word.Quit(*app));
  auto quit = look;
  quit.push_back(L"App.call Quit");
  ASSERT_EQ(quit, log.Names());
  EXPECT_EQ((std::vector<Arg>{Arg::I4(L"Savechanges", 0)}), log.calls.back().args);

  // A document the user opened landed in this instance, or it was shown: Quit would close theirs.
  const std::map<std::wstring, std::wstring> usersWork[] = {{{L"Count", L"2"}}, {{L"Visible", L"-1"}},
                                                            {{L"UserControl", L"True"}}};
  for (const auto& strings : usersWork) {
    SCOPED_TRACE(strings.begin()->first);
    auto users = Open(L"C:\\Docs\\Report.docx");
    log.calls.clear();
    for (const auto& [name, value] : strings) automation.strings[name] = value;
    EXPECT_EQ(kWordLeftToUser, word.Quit(*users));
    auto closed = look;
    closed.push_back(L"Document.call Close");
    EXPECT_EQ(closed, log.Names()) << "only its own document closed, Word not quit";
    EXPECT_EQ((std::vector<Arg>{Arg::I4(L"SaveChanges", 0)}), log.calls.back().args);
    users.reset();
    for (const auto& [id, state] : processes.states) EXPECT_FALSE(state.ended) << "the user's Word is left running";
    for (const auto& [name, value] : strings) automation.strings[name] = L"0";
  }
}

TEST_F(WordSequenceTest, AnApplicationFromElsewhereIsRefused) {
  struct Other : WordApplication {} other;
  EXPECT_THROW(word.PrintToPdfPrinter(other, L"C:\\a.pdf"), AutomationError);
  EXPECT_THROW(word.Quit(other), AutomationError);
}

// Word that never answers, as with a hidden prompt: the one process that appeared when it was
// created is ended, the user's own Word never, and the message says so.
TEST_F(WordSequenceTest, AWordThatDoesNotAnswerIsEndedAndOnlyThatOne) {
  log.abandoned[L"Documents.call OpenNoRepairDialog"] = CallAbandoned::Why::NoAnswer;
  EXPECT_EQ((std::pair<std::wstring, std::wstring>{L"Word did not answer within 120 seconds.", kWordEnded}),
            OpenFailing(L"C:\\Docs\\Locked.docx"));
  EXPECT_EQ((std::vector<std::uint32_t>{200}), processes.opened);
  EXPECT_TRUE(processes.states[200].ended);
  EXPECT_FALSE(processes.states[100].ended) << "the user's Word";
  EXPECT_EQ(0u, Count(L"App.call Quit")) << "a Word that hangs is not asked again";

  // A Word the user starts at the same moment makes two new processes: none is taken.
  log.abandoned.clear();
  log.abandoned[L"App.call PrintOut"] = CallAbandoned::Why::NoAnswer;
  processes.strangerStarts = true;
  auto app = Open(L"C:\\Docs\\Report.docx");
  EXPECT_THROW(word.PrintToPdfPrinter(*app, L"C:\\Docs\\Report.pdf"), AutomationError);
  EXPECT_EQ(kWordNotIdentified, word.Dismiss(*app));
  EXPECT_EQ(1u, processes.opened.size()) << "nothing else was opened, so nothing else ended";
  EXPECT_EQ(L"Office Laser", printers.name) << "the system's default printer is put back without Word";
}

TEST_F(WordSequenceTest, AStopWhileACallHangsEndsThatWordAtOnceAndPutsThePrinterBack) {
  auto app = Open(L"C:\\Docs\\Report.docx");
  log.abandoned[L"App.call PrintOut"] = CallAbandoned::Why::Stopped;
  EXPECT_THROW(word.PrintToPdfPrinter(*app, L"C:\\a.pdf"), StopRequested);
  const double before = pump.now;
  const int pumped = pump.doEventsCalls;
  processes.states[200].looksToGo = 3;  // the system takes a moment to end it
  EXPECT_EQ(kWordEnded, word.Dismiss(*app));
  EXPECT_LT(pump.now - before, 0.1) << "no waiting for a Word that does not answer";
  EXPECT_TRUE(processes.states[200].ended);
  EXPECT_FALSE(processes.states[200].running) << "waited until it was gone";
  EXPECT_GT(pump.doEventsCalls, pumped) << "pumping meanwhile";
  EXPECT_EQ((std::vector<std::wstring>{L"Office Laser"}), printers.sets);
  EXPECT_EQ(L"", word.Dismiss(*app)) << "dealt with once";
}

TEST_F(WordSequenceTest, QuitEndsAWordThatStaysAfterItsBound) {
  auto app = Open(L"C:\\Docs\\Report.docx");
  log.effects.erase(L"App.call Quit");  // Quit answers, but the process stays
  word.Quit(*app);
  EXPECT_GE(pump.now, 10.0);
  EXPECT_TRUE(processes.states[200].ended);

  auto second = Open(L"C:\\Docs\\Other.docx");
  log.effects[L"App.call Quit"] = [this] { processes.states[201].running = false; };
  const double before = pump.now;
  word.Quit(*second);
  EXPECT_FALSE(processes.states[201].ended) << "a Word that quits is not ended";
  EXPECT_LT(pump.now - before, 1.0);
}

// The next document's Word starts beside the wait for the PDF, set up as Open sets one up, and
// the next Open takes it; the one that quit goes beside it. Never more than two of ours, and
// every way out leaves none.
TEST_F(WordSequenceTest, TheNextWordStartsBesideThePdfsWaitAndTheNextOpenTakesIt) {
  automation.strings[L"UpdateFieldsAtPrint"] = L"-1";
  std::uint32_t lingers = 200;  // Quit answers, but this one's process stays
  log.effects[L"App.call Quit"] = [&] {
    for (auto& [id, state] : processes.states) {
      if (id < 200 || !state.running) continue;
      if (id != lingers) state.running = false;
      break;  // the oldest of ours is the one quit
    }
  };
  const auto alive = [&] {
    int n = 0;
    for (const auto& [id, state] : processes.states) n += id >= 200 && state.running;
    return n;
  };
  auto first = Open(L"C:\\Docs\\a.docx");
  word.PrintToPdfPrinter(*first, L"C:\\Docs\\a.pdf");
  log.calls.clear();
  automation.strings[L"UpdateFieldsAtPrint"] = L"-1";  // a new Word reads the user's value
  int pdfWaits = 0;
  word.PrepareNext([&] { pdfWaits += Count(L"create Word.Application") == 1 && log.calls.size() == 1; });
  EXPECT_EQ(1, pdfWaits) << "the PDF is waited for once, while Word is created";
  EXPECT_EQ((std::vector<std::wstring>{L"create Word.Application", L"App.put AutomationSecurity",
                                       L"App.put DisplayAlerts", L"App.get Options", L"Options.get UpdateFieldsAtPrint",
                                       L"Options.put UpdateFieldsAtPrint"}),
            log.Names());
  double before = pump.now;
  word.Quit(*first);
  EXPECT_LT(pump.now - before, 1.0) << "the next document does not wait for this one's process";
  auto second = Open(L"C:\\Docs\\b.docx");
  EXPECT_EQ(1u, Count(L"create Word.Application")) << "the spare is taken";
  EXPECT_EQ(L"Documents.call OpenNoRepairDialog", log.calls.back().what);
  EXPECT_EQ(2, alive());
  word.PrintToPdfPrinter(*second, L"C:\\Docs\\b.pdf");
  word.PrepareNext([] {});
  EXPECT_TRUE(processes.states[200].ended) << "ended after its quit bound, before the next start";
  EXPECT_GE(pump.now - before, 9.5);
  EXPECT_EQ(2, alive());
  {
    SCOPED_TRACE("a stop in the pause: the one in hand and the spare both go, options back");
    lingers = 0;
    stop.Ask();
    log.calls.clear();
    word.Quit(*second);
    word.EndRun();
    EXPECT_EQ(0, alive());
    EXPECT_EQ(2u, Count(L"Options.put UpdateFieldsAtPrint"));
    EXPECT_EQ(2u, Count(L"App.call Quit"));
    EXPECT_EQ(L"Office Laser", printers.name);
    stop.Clear();
  }
  {
    SCOPED_TRACE("the spare's start fails: the next document fails with it, and that Word goes");
    log.Fail(L"App.put DisplayAlerts", L"The server threw an exception.");
    word.PrepareNext([] {});
    log.failures.clear();
    EXPECT_EQ((std::pair<std::wstring, std::wstring>{L"The server threw an exception.", kWordClosed}),
              OpenFailing(L"C:\\Docs\\c.docx"));
    EXPECT_EQ(0, alive());
  }
  {
    SCOPED_TRACE("the order of before: no spare");
    AutomatedWord plain(WordPorts{automation, processes, printers, messages, busy, windows, pump, stop},
                        WordBounds{.startAhead = false});
    const auto creations = Count(L"create Word.Application");
    pdfWaits = 0;
    plain.PrepareNext([&] { ++pdfWaits; });
    EXPECT_EQ(creations, Count(L"create Word.Application"));
    EXPECT_EQ(1, pdfWaits);
  }
  {
    SCOPED_TRACE("stopped while the PDF is awaited: the stop comes out once the spare is gone");
    auto third = Open(L"C:\\Docs\\d.docx");
    const auto quits = Count(L"App.call Quit");
    EXPECT_THROW(word.PrepareNext([&] {
      stop.Ask();
      throw StopRequested();
    }),
                 StopRequested);
    EXPECT_EQ(quits + 1, Count(L"App.call Quit")) << "the spare is quit at once";
    word.Dismiss(*third);
    EXPECT_EQ(0, alive());
    stop.Clear();
  }
}

TEST_F(WordSequenceTest, APrinterThatCannotBeSwitchedBackIsAWarningNotAFailure) {
  auto app = Open(L"C:\\Docs\\Report.docx");
  log.effects[L"App.call PrintOut"] = [this] { dialog = windows.AddSaveAs(); };
  int puts = 0;
  log.effects[L"App.put ActivePrinter"] = [&] {
    if (++puts == 2) throw AutomationError(L"ActivePrinter", L"There is a printer error.");
    printers.name = L"PDF Printer";
  };
  const std::wstring warning = word.PrintToPdfPrinter(*app, L"C:\\a.pdf");
  EXPECT_EQ(L"Word could not be switched back to the printer \"Office Laser on LPT1:\": There is a printer error.",
            warning);
  EXPECT_EQ(2u, windows.PostsTo(dialog.save).size()) << "the dialog was completed all the same";
  EXPECT_EQ(L"Office Laser", printers.name);
}

TEST_F(WordSequenceTest, TheWindowClosedPutsRightTheWordInHandAndAsksNothing) {
  auto app = Open(L"C:\\Docs\\Report.docx");
  log.effects.erase(L"App.call PrintOut");  // no dialog
  // Closed while the dialog is awaited: Word answers, so it is asked to put back and quit.
  pump.onDoEvents = [&] { pump.quit = true; };
  EXPECT_THROW(word.PrintToPdfPrinter(*app, L"C:\\a.pdf"), StopRequested);
  const double before = pump.now;
  EXPECT_EQ(kWordClosed, word.Dismiss(*app));
  EXPECT_LT(pump.now - before, 3.0) << "held to the short bounds of the end";
  const auto names = log.Names();
  ASSERT_GE(names.size(), 2u);
  EXPECT_LT(std::find(names.begin(), names.end(), L"App.put ActivePrinter"), names.end() - 1);
  EXPECT_EQ(L"App.call Quit", names.back());
  EXPECT_FALSE(processes.states[200].ended);
  EXPECT_EQ(L"Office Laser", printers.name);

  // Closed while a call hangs: the runner gives it up, and that Word is ended without a word to it.
  pump.onDoEvents = nullptr;
  pump.quit = false;
  auto second = Open(L"C:\\Docs\\Other.docx");
  log.effects[L"App.call PrintOut"] = [&] { pump.quit = true; };
  log.abandoned[L"App.call PrintOut"] = CallAbandoned::Why::Stopped;
  EXPECT_THROW(word.PrintToPdfPrinter(*second, L"C:\\b.pdf"), StopRequested);
  EXPECT_EQ(kWordEnded, word.Dismiss(*second));
  EXPECT_EQ(L"App.call PrintOut", log.calls.back().what) << "no call after the one given up";
  EXPECT_TRUE(processes.states[201].ended);
  EXPECT_EQ(L"Office Laser", printers.name);

  // Closed while asking whether Word is open: no question after the window.
  automation.runningName = L"Microsoft Word";
  EXPECT_THROW(word.ConfirmWordClosed(), StopRequested);
  EXPECT_TRUE(messages.questions.empty());
}

TEST_F(WordSequenceTest, RunningWordIsExactlyMicrosoftWord) {
  EXPECT_FALSE(IsWordRunning(automation)) << "nothing running";
  for (const wchar_t* name : {L"microsoft word", L"Microsoft Word ", L"Microsoft Wordpad", L"Word"}) {
    automation.runningName = name;
    EXPECT_FALSE(IsWordRunning(automation)) << std::wstring(name).size();
  }
  automation.runningName = L"Microsoft Word";
  EXPECT_TRUE(IsWordRunning(automation));
  EXPECT_EQ(L"Running.get ", log.calls.back().what) << "the default member";
  log.Fail(L"Running.get ", L"refused");
  EXPECT_FALSE(IsWordRunning(automation)) << "a failure reads as no Word";
  log.failures.insert_or_assign(L"Running.get ", AutomationError(L"", L"busy", true));
  EXPECT_TRUE(IsWordRunning(automation)) << "a busy Word is an open Word";
}

TEST_F(WordSequenceTest, ConfirmAsksOnlyWhenWordRunsAndOnlyYesGoesOn) {
  EXPECT_FALSE(word.ConfirmWordClosed());
  EXPECT_TRUE(messages.questions.empty());

  automation.runningName = L"Microsoft Word";
  messages.answer = Answer::Yes;
  EXPECT_FALSE(word.ConfirmWordClosed());
  messages.answer = Answer::No;
  EXPECT_TRUE(word.ConfirmWordClosed());
  ASSERT_EQ(2u, messages.questions.size());
  EXPECT_EQ(L"Word may be open. It is recommended that you close Word first.\r\n\r\n"
            L"Would you like to proceed anyway?",
            messages.questions[0]);
  const auto names = log.Names();
  EXPECT_EQ(0, std::count(names.begin(), names.end(), L"create Word.Application"));
}

}  // namespace
}  // namespace tavrolin
