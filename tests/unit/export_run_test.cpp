#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <utility>

#include "export/export_run.h"
#include "export/unattended.h"
#include "fakes/fake_pump.h"
#include "shared/fake_pointer.h"

namespace tavrolin {
namespace {

using tavrolin::testing::FakePointer;

using testing::FakePump;

// One journal for every fake, so that tests can check the order across them.
using Journal = std::vector<std::wstring>;

bool Contains(const std::wstring& text, const std::wstring& part) {
  return text.find(part) != std::wstring::npos;
}

std::size_t IndexOf(const Journal& journal, const std::wstring& entry) {
  return static_cast<std::size_t>(std::find(journal.begin(), journal.end(), entry) -
                                  journal.begin());
}

class FakeFiles final : public FileSystem {
 public:
  explicit FakeFiles(Journal& journal) : journal_(journal) {}
  bool Exists(const std::wstring& path) override { return files.count(path) > 0; }
  bool Delete(const std::wstring& path, std::wstring& reason) override {
    journal_.push_back(L"delete " + path);
    if (auto it = undeletable.find(path); it != undeletable.end()) {
      reason = it->second;
      return false;
    }
    files.erase(path);
    return true;
  }
  bool MoveAside(const std::wstring& path, const std::wstring& aside,
                 std::wstring& reason) override {
    journal_.push_back(L"aside " + path);
    if (auto it = undeletable.find(path); it != undeletable.end()) {
      reason = it->second;
      return false;
    }
    files.erase(path);
    files.insert(aside);
    return true;
  }
  bool PutBack(const std::wstring& aside, const std::wstring& path, std::wstring&) override {
    journal_.push_back(L"put back " + path);
    files.erase(aside);
    files.insert(path);
    return true;
  }
  PdfState CheckPdf(const std::wstring& path) override {
    if (!files.count(path)) return PdfState::Missing;
    return unfinished.count(path) ? PdfState::BeingWritten : PdfState::Complete;
  }
  std::int64_t FileSize(const std::wstring& path) override { return files.count(path) ? 1 : -1; }
  bool Move(const std::wstring& from, const std::wstring& to, std::wstring&) override {
    files.erase(from);
    files.insert(to);
    return true;
  }
  std::wstring ShortPdfPath() override { return L"C:\\Temp\\1.pdf"; }
  bool MakeFolder(const std::wstring& path, std::wstring&) override {
    journal_.push_back(L"make folder " + path);
    files.insert(path);
    return true;
  }
  std::set<std::wstring> files;
  std::map<std::wstring, std::wstring> undeletable;  // path -> reason
  std::set<std::wstring> unfinished;                 // the printer never finishes these

 private:
  Journal& journal_;
};

class FakeApplication final : public WordApplication {
 public:
  explicit FakeApplication(std::wstring document) : document(std::move(document)) {}
  std::wstring document;
};

// Word and its printer: the PDF appears `pdfDelay` seconds after the dialog was completed.
class FakeWord final : public Word {
 public:
  FakeWord(Journal& journal, FakePump& pump, FakeFiles& files, const RunStop& stop)
      : journal_(journal), pump_(pump), files_(files), stop_(stop) {}

  bool ConfirmWordClosed() override {
    journal_.push_back(L"confirm");
    return declines;
  }
  void OpenWordDocument(const std::wstring& path, std::unique_ptr<WordApplication>& word) override {
    // As the real port does: starting Word lets window events through before Open reads the path.
    if (whileStarting) whileStarting();
    pump_.DoEvents();
    journal_.push_back(L"open " + path);
    if (path == openFails) throw AutomationError(L"Documents.Open", L"The file is corrupt.");
    ++live;
    maxLive = std::max(maxLive, live);
    word = std::make_unique<FakeApplication>(path);
  }
  std::wstring PrintToPdfPrinter(WordApplication& word, const std::wstring& outputPath) override {
    const auto& document = static_cast<FakeApplication&>(word).document;
    journal_.push_back(L"print " + document + L" -> " + outputPath);
    if (document == printFails) throw AutomationError(printFailsMember, L"The printer is offline.");
    // The search for the dialog, as the real port does it: pumped, and cut short by a stop.
    const double start = pump_.Now();
    while (pump_.Now() - start < dialogSeconds) {
      pump_.DoEvents();
      if (stop_.Requested()) throw StopRequested();
      pump_.Idle(kPollSeconds);
    }
    if (document != noPdf) {
      pump_.At(pump_.Now() + pdfDelay, [this, outputPath] { files_.files.insert(outputPath); });
    }
    return document == printerStays ? L"Word could not be switched back to the printer \"Office Laser\"." : L"";
  }
  void OpenNextDocument(const std::wstring& path, WordApplication& word) override {
    journal_.push_back(L"open again " + path);
    if (path == openFails) throw AutomationError(L"Documents.Open", L"The file is corrupt.");
    static_cast<FakeApplication&>(word).document = path;
  }
  void CloseDocument(WordApplication& word) override {
    journal_.push_back(L"close " + static_cast<FakeApplication&>(word).document);
    if (static_cast<FakeApplication&>(word).document == closeFails) throw AutomationError(L"Close", L"The call timed out.");
  }
  // Word's own export writes the PDF before it returns.
  std::wstring ExportToPdf(WordApplication& word, const std::wstring& outputPath, const PdfOptions&) override {
    const auto& document = static_cast<FakeApplication&>(word).document;
    journal_.push_back(L"export " + document + L" -> " + outputPath);
    if (document == exportFails) throw AutomationError(L"ExportAsFixedFormat", L"The document could not be exported.");
    if (document != noPdf) files_.files.insert(outputPath);
    return {};
  }
  std::wstring Quit(WordApplication& word) override {
    const auto& document = static_cast<FakeApplication&>(word).document;
    journal_.push_back(L"quit " + document);
    --live;
    if (document == quitFails) throw AutomationError(L"Quit", L"The call timed out.");
    return document == usersToo ? L"That Word was left running for the user." : L"";
  }
  std::wstring Dismiss(WordApplication& word) override {
    Quit(word);
    return fate;
  }
  // Where in the journal each next Word was started, and the run's end; the start takes
  // `startSeconds`, pumped, with the PDF's wait beside it.
  void PrepareNext(const std::function<void()>& pdf) override {
    prepared.push_back(journal_.size());
    const double start = pump_.Now();
    pdf();
    while (pump_.Now() - start < startSeconds && !stop_.Requested()) pump_.Idle(kPollSeconds);
  }
  void EndRun() override { endedAt.push_back(journal_.size()); }

  bool declines = false;
  std::function<void()> whileStarting;
  double dialogSeconds = 0;
  double pdfDelay = 0.5;
  std::wstring openFails, printFails, exportFails, quitFails, closeFails, noPdf, printerStays, usersToo;
  std::wstring printFailsMember = L"PrintOut";
  std::wstring fate;  // what Dismiss says
  int live = 0;
  int maxLive = 0;
  double startSeconds = 0;
  std::vector<std::size_t> prepared, endedAt;

 private:
  Journal& journal_;
  FakePump& pump_;
  FakeFiles& files_;
  const RunStop& stop_;
};

class FakeProgress final : public ProgressBar {
 public:
  explicit FakeProgress(Journal& journal) : journal_(journal) {}
  void SetProgressValue(float v) override {
    value = v;
    values.push_back(v);
    journal_.push_back(L"progress");
  }
  float value = 0;
  std::vector<float> values;

 private:
  Journal& journal_;
};

struct Shown {
  std::wstring text;
  int pointer;
  float progress;
};

class FakeMessages final : public MessageBoxes {
 public:
  FakeMessages(Journal& journal, FakePointer& pointer, FakeProgress& progress)
      : journal_(journal), pointer_(pointer), progress_(progress) {}
  void Notify(const std::wstring& text) override {
    journal_.push_back(L"notify " + text);
    shown.push_back({text, pointer_.value, progress_.value});
  }
  Answer AskYesNo(const std::wstring& text) override {
    journal_.push_back(L"ask");
    asked.push_back(text);
    return answer;
  }
  std::vector<Shown> shown;
  std::vector<std::wstring> asked;
  Answer answer = Answer::Yes;

 private:
  Journal& journal_;
  FakePointer& pointer_;
  FakeProgress& progress_;
};

// Everything a run talks to, wired together.
struct Rig {
  void Add(std::initializer_list<const wchar_t*> paths) {
    for (const auto* path : paths) documents.Append(path);
  }
  // The opened documents in order.
  std::vector<std::wstring> Opened() const {
    std::vector<std::wstring> result;
    for (const auto& entry : journal) {
      if (entry.rfind(L"open ", 0) == 0) result.push_back(entry.substr(5));
    }
    return result;
  }
  const std::wstring& LastMessage() const { return messages.shown.back().text; }

  Journal journal;
  FakePump pump;
  DocumentList documents;
  FakeFiles files{journal};
  RunStop stop{pump};
  FakeWord word{journal, pump, files, stop};
  FakePointer pointer;
  BusyMark busy{pointer};
  FakeProgress progress{journal};
  FakeMessages messages{journal, pointer, progress};
  ExportBounds bounds;
  ExportRunner runner{{documents, word, files, progress, messages, busy, pump, stop}, bounds};
};

class ExportRunTest : public ::testing::Test, public Rig {};

TEST_F(ExportRunTest, EmptyListSaysNoFilesAddedAndNeverAsksAboutWord) {
  runner.Press();
  EXPECT_EQ(runner.LastOutcome(), ExportOutcome::NoFiles);
  EXPECT_EQ(journal, Journal{L"notify No files added."});
  EXPECT_EQ(messages.shown[0].pointer, kPointerHourglass) << "the hourglass stays while it is open";
  EXPECT_EQ(pointer.value, kPointerDefault);
  EXPECT_FALSE(runner.Running());
}

TEST_F(ExportRunTest, DecliningWithWordRunningTouchesNothing) {
  Add({L"C:\\Docs\\a.docx"});
  files.files = {L"C:\\Docs\\a.pdf"};
  word.declines = true;
  runner.Press();
  EXPECT_EQ(runner.LastOutcome(), ExportOutcome::Declined);
  EXPECT_EQ(journal, Journal{L"confirm"}) << "no file deleted, no Word, no message, no progress";
  EXPECT_EQ(files.files.count(L"C:\\Docs\\a.pdf"), 1u);
  EXPECT_EQ(pointer.value, kPointerDefault);
}

TEST_F(ExportRunTest, ExportsInListOrderBesideEachDocumentOneWordAtATime) {
  Add({L"C:\\Docs\\Report.final.docx", L"D:\\Letters\\Offer.DOC", L"C:\\My.Folder\\Readme",
       L"C:\\Docs\\README"});
  runner.Press();

  EXPECT_EQ(runner.LastOutcome(), ExportOutcome::Done);
  const Journal expectedPrints = {
      L"print C:\\Docs\\Report.final.docx -> C:\\Docs\\Report.final.pdf",
      L"print D:\\Letters\\Offer.DOC -> D:\\Letters\\Offer.pdf",
      L"print C:\\My.Folder\\Readme -> C:\\My.Folder\\Readme.pdf",
      L"print C:\\Docs\\README -> C:\\Docs\\README.pdf",
  };
  Journal prints;
  for (const auto& e : journal) {
    if (e.rfind(L"print ", 0) == 0) prints.push_back(e);
  }
  EXPECT_EQ(prints, expectedPrints);
  for (int i = 1; i <= documents.Count(); ++i) {
    const auto path = documents.Text(i);
    EXPECT_LT(IndexOf(journal, L"quit " + path), journal.size()) << "every instance is quit";
    if (i < documents.Count()) {
      EXPECT_LT(IndexOf(journal, L"quit " + path), IndexOf(journal, L"open " + documents.Text(i + 1)))
          << "quit before the next is opened";
    }
  }
  EXPECT_EQ(word.maxLive, 1);
  EXPECT_EQ(word.live, 0);
  EXPECT_EQ(LastMessage(), L"Done.");
  EXPECT_EQ(pointer.value, kPointerDefault);
}

// The next document's Word starts while the PDF is awaited, and a start shorter than that wait
// and the pause lengthens neither; none after the last; the run's end is told once on every
// way out, before its message.
TEST_F(ExportRunTest, TheNextWordStartsBesideThePdfsWaitAndTheRunsEndIsToldOnce) {
  Add({L"C:\\a.docx", L"C:\\b.docx", L"C:\\c.docx"});
  runner.Press();
  const double plain = pump.Now();
  ASSERT_EQ(word.prepared.size(), 2u) << "none after the last document";
  EXPECT_LT(IndexOf(journal, L"print C:\\a.docx -> C:\\a.pdf"), word.prepared[0]);
  EXPECT_LE(word.prepared[0], IndexOf(journal, L"progress")) << "while the printer finishes the PDF";
  EXPECT_LE(word.prepared[0], IndexOf(journal, L"quit C:\\a.docx"));
  EXPECT_LE(word.prepared[1], IndexOf(journal, L"quit C:\\b.docx"));
  ASSERT_EQ(word.endedAt.size(), 1u);
  EXPECT_GT(word.endedAt[0], IndexOf(journal, L"quit C:\\c.docx"));
  EXPECT_LT(word.endedAt[0], IndexOf(journal, L"notify Done."));

  Rig slow;
  slow.Add({L"C:\\a.docx", L"C:\\b.docx", L"C:\\c.docx"});
  slow.word.startSeconds = 1.4;
  slow.runner.Press();
  EXPECT_LT(slow.pump.Now() - plain, 0.2) << "a start shorter than the PDF's wait and the pause costs nothing";

  const std::pair<const char*, std::function<void(Rig&)>> ways[] = {
      {"stopped in the pause", [](Rig& r) { r.pump.At(2.3, [&r] { r.stop.Ask(); }); }},
      {"the window closed", [](Rig& r) { r.pump.At(2.3, [&r] { r.pump.quit = true; }); }},
      {"a failed document", [](Rig& r) { r.word.printFails = L"C:\\b.docx"; }},
  };
  for (const auto& [name, way] : ways) {
    SCOPED_TRACE(name);
    Rig t;
    t.Add({L"C:\\a.docx", L"C:\\b.docx", L"C:\\c.docx"});
    t.word.startSeconds = 0.8;
    way(t);
    t.runner.Press();
    EXPECT_EQ(t.word.endedAt.size(), 1u);
    EXPECT_EQ(t.word.live, 0);
  }
}

TEST_F(ExportRunTest, ProgressIsAThirdPerDocumentAndZeroWhenDoneShows) {
  Add({L"C:\\a.docx", L"C:\\b.docx", L"C:\\c.docx"});
  runner.Press();
  EXPECT_EQ(progress.values, (std::vector<float>{33.333332f, 66.666664f, 100.0f, 0.0f}));
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, L"Done.");
  EXPECT_EQ(messages.shown[0].progress, 0.0f);
  EXPECT_EQ(messages.shown[0].pointer, kPointerHourglass) << "default only after it is closed";
  // 100 shows during the last document's one-second wait, before Word is told to quit.
  EXPECT_LT(IndexOf(journal, L"progress"), IndexOf(journal, L"quit C:\\a.docx"));
}

TEST_F(ExportRunTest, DocumentAddedDuringTheFirstWaitCountsButIsNotExported) {
  Add({L"C:\\a.docx", L"C:\\b.docx", L"C:\\c.docx"});
  word.pdfDelay = 2;
  pump.At(0.5, [&] { documents.Append(L"C:\\added.docx"); });
  runner.Press();
  EXPECT_EQ(progress.values, (std::vector<float>{25.0f, 50.0f, 75.0f, 0.0f}));
  EXPECT_EQ(Opened(), (std::vector<std::wstring>{L"C:\\a.docx", L"C:\\b.docx", L"C:\\c.docx"}));
  EXPECT_EQ(LastMessage(), L"Done.");
}

// Removing, reordering or adding items while Word starts never changes the document in hand.
TEST(ExportRunList, TheDocumentInHandIsTheOneReadWhateverTheListBecomesWhileWordStarts) {
  const std::pair<const char*, std::function<void(DocumentList&)>> changes[] = {
      {"the first removed", [](DocumentList& d) { d.Remove(1); }},
      {"reordered", [](DocumentList& d) {
         d.SetText(1, L"C:\\b.docx");
         d.SetText(2, L"C:\\a.docx");
       }},
      {"outgrown", [](DocumentList& d) {
         for (int i = 0; i < 1000; ++i) d.Append(L"C:\\more\\" + std::to_wstring(i) + L".docx");
       }},
  };
  for (const auto& [name, change] : changes) {
    SCOPED_TRACE(name);
    Rig t;
    t.Add({L"C:\\a.docx", L"C:\\b.docx", L"C:\\c.docx"});
    bool changed = false;
    t.word.whileStarting = [&] {
      if (!std::exchange(changed, true)) change(t.documents);
    };
    t.runner.Press();
    ASSERT_FALSE(t.Opened().empty());
    EXPECT_EQ(t.Opened()[0], L"C:\\a.docx");
    EXPECT_LT(IndexOf(t.journal, L"print C:\\a.docx -> C:\\a.pdf"), t.journal.size());
  }
}

TEST_F(ExportRunTest, OldPdfIsSetAsideBeforeWordStartsAndTheWaitEndsOnTheNewOne) {
  Add({L"C:\\Docs\\Report.final.docx"});
  files.files = {L"C:\\Docs\\Report.final.pdf"};
  word.pdfDelay = 3;
  runner.Press();
  EXPECT_LT(IndexOf(journal, L"aside C:\\Docs\\Report.final.pdf"),
            IndexOf(journal, L"open C:\\Docs\\Report.final.docx"));
  EXPECT_LT(IndexOf(journal, L"delete C:\\Docs\\~$Report.final.pdf.tavrolin-aside"),
            journal.size()) << "deleted once the new one is there";
  EXPECT_EQ(files.files.count(L"C:\\Docs\\~$Report.final.pdf.tavrolin-aside"), 0u);
  EXPECT_GE(pump.now, 3.0 + 1.0) << "waited for the new file, then one second";
  EXPECT_EQ(files.files.count(L"C:\\Docs\\Report.final.pdf"), 1u);
  EXPECT_EQ(LastMessage(), L"Done.");
}

TEST_F(ExportRunTest, PdfDocumentsAreSkippedUntouchedAndListedBeforeDone) {
  Add({L"C:\\a.docx", L"C:\\Scans\\b.PdF", L"C:\\c.pdf"});
  files.files = {L"C:\\Scans\\b.PdF", L"C:\\c.pdf"};
  runner.Press();
  EXPECT_EQ(Opened(), std::vector<std::wstring>{L"C:\\a.docx"});
  EXPECT_EQ(IndexOf(journal, L"delete C:\\Scans\\b.PdF"), journal.size());
  EXPECT_EQ(IndexOf(journal, L"delete C:\\c.pdf"), journal.size());
  EXPECT_EQ(files.files.count(L"C:\\Scans\\b.PdF"), 1u);
  ASSERT_EQ(messages.shown.size(), 2u);
  EXPECT_TRUE(Contains(messages.shown[0].text, L"\nC:\\Scans\\b.PdF\nC:\\c.pdf"));
  EXPECT_EQ(messages.shown[1].text, L"Done.");
  EXPECT_EQ(progress.values.back(), 0.0f);
  EXPECT_EQ(progress.values.size(), 4u) << "skipped documents still move the bar";
}

TEST_F(ExportRunTest, ListThatShrinksDuringTheRunEndsNormally) {
  Add({L"C:\\a.docx", L"C:\\b.docx", L"C:\\c.docx"});
  word.pdfDelay = 2;
  // During the second document's wait only the first item remains: 2 / 1 would be 200 %.
  pump.At(4.0, [&] {
    documents.Remove(3);
    documents.Remove(2);
  });
  runner.Press();
  EXPECT_EQ(Opened(), (std::vector<std::wstring>{L"C:\\a.docx", L"C:\\b.docx"}));
  EXPECT_EQ(progress.values, (std::vector<float>{33.333332f, 100.0f, 0.0f}));
  EXPECT_EQ(runner.LastOutcome(), ExportOutcome::Done);
  EXPECT_EQ(LastMessage(), L"Done.");
}

TEST_F(ExportRunTest, ListsLongerThanSixteenBitPositionsAreExportedWhole) {
  constexpr int kCount = 32769;
  for (int i = 0; i < kCount; ++i) documents.Append(L"C:\\d" + std::to_wstring(i) + L".docx");
  word.pdfDelay = 0;
  runner.Press();
  EXPECT_EQ(Opened().size(), static_cast<std::size_t>(kCount));
  EXPECT_EQ(progress.values[kCount - 1], 100.0f);
  EXPECT_EQ(LastMessage(), L"Done.");
}

// Every failure: one message naming the document, the step and the reason, the instance in
// hand told to quit, the bar at 0, the pointer back, and nothing after that document.
TEST_F(ExportRunTest, FailuresEndTheRunAtTheDocumentAndSaySoSoundly) {
  struct Case {
    const char* name;
    std::function<void(Rig&)> arrange;
    std::wstring step;
    std::wstring reason;
    bool quitsB;  // whether b's instance existed and is told to quit
  };
  const Case cases[] = {
      {"old PDF cannot be deleted",
       [](Rig& t) {
         t.files.files.insert(L"C:\\b.pdf");
         t.files.undeletable[L"C:\\b.pdf"] = L"Access is denied.";
       },
       L"replacing the old PDF C:\\b.pdf", L"Access is denied.", false},
      {"document does not open", [](Rig& t) { t.word.openFails = L"C:\\b.docx"; },
       L"opening the document in Word (Documents.Open)", L"The file is corrupt.", false},
      {"printing fails", [](Rig& t) { t.word.printFails = L"C:\\b.docx"; },
       L"printing on \"PDF Printer\" (PrintOut)", L"The printer is offline.", true},
      {"the PDF never appears", [](Rig& t) { t.word.noPdf = L"C:\\b.docx"; },
       L"waiting for the PDF C:\\b.pdf", L"within 300 seconds", true},
      {"Quit fails", [](Rig& t) { t.word.quitFails = L"C:\\b.docx"; },
       L"closing Word (Quit)", L"The call timed out.", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Rig t;
    t.Add({L"C:\\a.docx", L"C:\\b.docx", L"C:\\c.docx"});
    c.arrange(t);
    t.runner.Press();

    EXPECT_EQ(t.runner.LastOutcome(), ExportOutcome::Failed);
    ASSERT_EQ(t.messages.shown.size(), 1u);
    const auto& text = t.messages.shown[0].text;
    EXPECT_TRUE(Contains(text, L"C:\\b.docx")) << text;
    EXPECT_TRUE(Contains(text, L"Step: " + c.step)) << text;
    EXPECT_TRUE(Contains(text, c.reason)) << text;
    const bool bWritten = c.step.rfind(L"closing", 0) == 0;
    EXPECT_TRUE(Contains(text, bWritten ? L"Documents exported: 2 of 3." : L"Documents exported: 1 of 3."))
        << text;
    EXPECT_EQ(t.messages.shown[0].progress, 0.0f);
    EXPECT_EQ(t.pointer.value, kPointerDefault);
    EXPECT_EQ(IndexOf(t.journal, L"open C:\\c.docx"), t.journal.size()) << "no later document";
    const auto quits = std::count(t.journal.begin(), t.journal.end(), L"quit C:\\b.docx");
    EXPECT_EQ(quits, c.quitsB ? 1 : 0) << "told once to quit, never twice";
    EXPECT_FALSE(t.runner.Running());
  }
}

TEST_F(ExportRunTest, TheWaitForThePdfEndsAtItsBound) {
  Add({L"C:\\a.docx"});
  word.noPdf = L"C:\\a.docx";
  runner.Press();
  EXPECT_GE(pump.now, 300.0);
  EXPECT_LT(pump.now, 300.5);
  EXPECT_EQ(runner.LastOutcome(), ExportOutcome::Failed);
}

// Pressing the button again during a run asks whether to stop it; Yes stops at once.
TEST_F(ExportRunTest, PressDuringTheRunAsksToStopAndYesEndsTheWaitAtOnce) {
  Add({L"C:\\a.docx", L"C:\\b.docx", L"C:\\c.docx"});
  word.pdfDelay = 100;
  word.noPdf = L"C:\\b.docx";
  pump.At(110, [&] { runner.Press(); });
  runner.Press();

  EXPECT_EQ(runner.LastOutcome(), ExportOutcome::Stopped);
  EXPECT_EQ(messages.asked.size(), 1u);
  EXPECT_NEAR(pump.now, 110, 0.1) << "the wait ended at once";
  EXPECT_EQ(Opened(), (std::vector<std::wstring>{L"C:\\a.docx", L"C:\\b.docx"})) << "no second run";
  EXPECT_EQ(journal[journal.size() - 3], L"quit C:\\b.docx");
  EXPECT_EQ(LastMessage(), L"The export was stopped.\n\nDocument in hand: C:\\b.docx\n\nDocuments exported: 1 of 3.");
  EXPECT_EQ(progress.value, 0.0f);
  EXPECT_EQ(pointer.value, kPointerDefault);
  EXPECT_FALSE(runner.Running());
}

TEST_F(ExportRunTest, StopReachesTheWaitsInsideWordAndTheOneSecondWait) {
  for (const double at : {0.5, 2.5}) {  // in the dialog search; in the second after the PDF
    SCOPED_TRACE(at);
    Rig t;
    t.Add({L"C:\\a.docx", L"C:\\b.docx"});
    t.word.dialogSeconds = 1;
    t.word.pdfDelay = 1;
    t.pump.At(at, [&] { t.runner.Press(); });
    t.runner.Press();
    EXPECT_EQ(t.runner.LastOutcome(), ExportOutcome::Stopped);
    EXPECT_EQ(t.Opened(), std::vector<std::wstring>{L"C:\\a.docx"});
    EXPECT_EQ(t.word.live, 0) << "its instance was told to quit";
    EXPECT_TRUE(Contains(t.LastMessage(), at < 1 ? L"exported: 0 of 2" : L"exported: 1 of 2"));
    EXPECT_EQ(Contains(t.LastMessage(), L"Document in hand"), at < 1) << "a PDF in place is an exported document";
  }
}

// What the printer began is not left at the PDF's path (a later run would take it for a PDF);
// an old PDF comes back over it instead.
TEST_F(ExportRunTest, AStoppedDocumentLeavesNoUnfinishedPdf) {
  for (const bool old : {false, true}) {
    SCOPED_TRACE(old ? "with an old PDF" : "without");
    Rig t;
    t.Add({L"C:\\a.docx"});
    if (old) t.files.files.insert(L"C:\\a.pdf");
    t.files.unfinished.insert(L"C:\\a.pdf");
    t.pump.At(5, [&] { t.stop.Ask(); });
    t.runner.Press();
    EXPECT_EQ(t.runner.LastOutcome(), ExportOutcome::Stopped);
    EXPECT_EQ(t.files.files.count(L"C:\\a.pdf"), old ? 1u : 0u);
    EXPECT_EQ(IndexOf(t.journal, L"delete C:\\a.pdf") < t.journal.size(), !old);
  }
}

// a.doc and a.docx have one PDF: the first one's is never set aside or replaced by the second.
TEST_F(ExportRunTest, ALaterDocumentWithAnEarlierOnesPdfFailsBeforeWordStarts) {
  Add({L"C:\\Docs\\a.doc", L"C:\\docs\\a.doc", L"C:\\Docs\\A.docx"});
  runner.Press();
  EXPECT_EQ(Opened(), (std::vector<std::wstring>{L"C:\\Docs\\a.doc", L"C:\\docs\\a.doc"}))
      << "the same document twice is harmless";
  EXPECT_EQ(IndexOf(journal, L"aside C:\\Docs\\A.pdf"), journal.size());
  EXPECT_TRUE(Contains(LastMessage(), L"C:\\Docs\\A.docx has the same PDF as C:\\Docs\\a.doc")) << LastMessage();
  EXPECT_TRUE(Contains(LastMessage(), L"Documents exported: 2 of 3."));
}

// Word's own export: no printer, no dialog, no pause; into a folder, the tree kept and made; a
// failure puts the old PDF back there as on the print road.
TEST_F(ExportRunTest, WordsRoadExportsIntoTheChosenFolderWithoutPrinterOrPause) {
  Add({L"C:\\Docs\\a.docx", L"C:\\Docs\\sub\\b.docx"});
  files.files = {L"E:\\Out", L"E:\\Out\\sub\\b.pdf", L"E:\\Out\\sub"};
  word.exportFails = L"C:\\Docs\\sub\\b.docx";
  ExportRunner byWord{{documents, word, files, progress, messages, busy, pump, stop}, bounds,
                      {ExportRoad::Word, {}, L"E:\\Out"}};
  byWord.Press();
  EXPECT_LT(IndexOf(journal, L"export C:\\Docs\\a.docx -> E:\\Out\\a.pdf"), journal.size());
  EXPECT_LT(IndexOf(journal, L"export C:\\Docs\\sub\\b.docx -> E:\\Out\\sub\\b.pdf"), journal.size());
  for (const auto& entry : journal) EXPECT_NE(entry.rfind(L"print ", 0), 0u) << entry;
  EXPECT_LT(pump.Now(), 1.0) << "no fixed pause";
  EXPECT_TRUE(files.files.count(L"E:\\Out\\a.pdf"));
  EXPECT_LT(IndexOf(journal, L"put back E:\\Out\\sub\\b.pdf"), journal.size());
  EXPECT_FALSE(files.files.count(L"C:\\Docs\\a.pdf")) << "nothing beside the documents";
  EXPECT_TRUE(Contains(LastMessage(), L"exporting with Word's own PDF export")) << LastMessage();
  EXPECT_EQ(word.live, 0);
}

// Word's road keeps one Word for many documents: replaced after a failure and after its share,
// quit after the last; never two at once.
TEST_F(ExportRunTest, WordsRoadKeepsOneWordUntilAFailureItsShareOrTheEnd) {
  Add({L"C:\\a.docx", L"C:\\b.docx", L"C:\\c.docx", L"C:\\d.docx", L"C:\\e.docx"});
  word.exportFails = L"C:\\b.docx";
  bounds.documentsPerWord = 2;
  // As an unattended run: past the failure.
  struct GoesOn final : RunObserver {
    std::optional<DocumentResult> Starting(const std::wstring&, const std::wstring&) override { return {}; }
    bool Finished(const DocumentResult&) override { return true; }
    void Ended(const std::vector<DocumentResult>&, int) override {}
  } goesOn;
  ExportRunner byWord{{documents, word, files, progress, messages, busy, pump, stop, &goesOn}, bounds, {ExportRoad::Word}};
  byWord.Press();
  Journal words;
  for (const auto& entry : journal) {
    if (entry.rfind(L"open", 0) == 0 || entry.rfind(L"close", 0) == 0 || entry.rfind(L"quit", 0) == 0) {
      words.push_back(entry);
    }
  }
  EXPECT_EQ((Journal{L"open C:\\a.docx", L"close C:\\a.docx", L"open again C:\\b.docx", L"quit C:\\b.docx",
                     L"open C:\\c.docx", L"close C:\\c.docx", L"open again C:\\d.docx", L"quit C:\\d.docx",
                     L"open C:\\e.docx", L"quit C:\\e.docx"}),
            words);
  EXPECT_EQ(1, word.maxLive);
  EXPECT_EQ(0, word.live);
}

// A Word whose close fails after its PDF is dismissed; the end message says it was left running
// only when it was left to the user.
TEST_F(ExportRunTest, WordsRoadCallsADismissedWordLeftRunningOnlyWhenLeftToTheUser) {
  for (const std::wstring fate : {std::wstring(L"That Word instance was closed."), std::wstring(kWordLeftToUser)}) {
    Rig t;
    t.Add({L"C:\a.docx", L"C:\b.docx"});
    t.word.closeFails = L"C:\a.docx";
    t.word.fate = fate;
    ExportRunner byWord{{t.documents, t.word, t.files, t.progress, t.messages, t.busy, t.pump, t.stop}, t.bounds,
                        {ExportRoad::Word}};
    byWord.Press();
    bool said = false;
    for (const auto& box : t.messages.shown) said = said || Contains(box.text, L"Word was left running");
    EXPECT_EQ(said, fate == kWordLeftToUser);
    EXPECT_EQ(t.LastMessage(), L"Done.");
  }
}

// Word refuses "PDF Printer" (not installed) before any PDF: the window offers Word's own export
// once, and Yes goes on with it from that document; No, or a refusal after a PDF, ends as before.
TEST(ExportRunPrinterRefused, OffersWordsOwnExportOnceBeforeAnyPdf) {
  struct Case {
    const char* name;
    Answer answer;
    bool firstPrints;
    bool asked;
    ExportRoad road;
  };
  for (const Case& c : {Case{"yes", Answer::Yes, false, true, ExportRoad::Word},
                        Case{"no", Answer::No, false, true, ExportRoad::Printer},
                        Case{"after a PDF", Answer::Yes, true, false, ExportRoad::Printer}}) {
    SCOPED_TRACE(c.name);
    Rig t;
    t.Add({L"C:\\a.docx", L"C:\\b.docx"});
    t.word.printFails = c.firstPrints ? L"C:\\b.docx" : L"C:\\a.docx";
    t.word.printFailsMember = L"ActivePrinter";
    t.messages.answer = c.answer;
    t.runner.Press();
    EXPECT_EQ(c.asked ? 1u : 0u, t.messages.asked.size());
    EXPECT_EQ(c.road, t.runner.Choices().road) << "the menu shows the road the run took";
    EXPECT_EQ(c.road == ExportRoad::Word ? ExportOutcome::Done : ExportOutcome::Failed, t.runner.LastOutcome());
    if (c.road == ExportRoad::Word) {
      EXPECT_LT(IndexOf(t.journal, L"export C:\\a.docx -> C:\\a.pdf"), t.journal.size());
      EXPECT_LT(IndexOf(t.journal, L"export C:\\b.docx -> C:\\b.pdf"), t.journal.size());
    }
  }
}

// The window closed mid-run: the run unwinds by the stop's way, and nothing shows after the window.
TEST_F(ExportRunTest, ClosingTheWindowUnwindsTheRunAndShowsNothing) {
  Add({L"C:\\a.docx", L"C:\\b.docx"});
  files.files = {L"C:\\a.pdf"};
  word.dialogSeconds = 1;
  pump.At(0.5, [&] { pump.quit = true; });
  runner.Press();
  EXPECT_EQ(runner.LastOutcome(), ExportOutcome::Stopped);
  EXPECT_EQ(Opened(), std::vector<std::wstring>{L"C:\\a.docx"});
  EXPECT_EQ(word.live, 0) << "its instance was dealt with";
  EXPECT_LT(IndexOf(journal, L"quit C:\\a.docx"), IndexOf(journal, L"put back C:\\a.pdf")) << "Word first";
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_TRUE(messages.asked.empty());
  EXPECT_EQ(pointer.value, kPointerDefault);
}

TEST_F(ExportRunTest, NoToTheStopQuestionLetsTheRunGoOn) {
  Add({L"C:\\a.docx", L"C:\\b.docx"});
  word.pdfDelay = 2;
  messages.answer = Answer::No;
  pump.At(1, [&] { runner.Press(); });
  runner.Press();
  EXPECT_EQ(messages.asked.size(), 1u);
  EXPECT_EQ(runner.LastOutcome(), ExportOutcome::Done);
  EXPECT_EQ(Opened().size(), 2u);
  // And a later press starts a new run.
  runner.Press();
  EXPECT_EQ(Opened().size(), 4u);
}

// Every way a run ends, as the user reads it: the texts and their order.
TEST(RunMessages, SayHowTheRunEndedInTheirOrder) {
  using O = DocumentResult::Outcome;
  const DocumentResult a{O::Exported, L"C:\\a.docx", true};
  const DocumentResult warned{O::Exported, L"C:\\w.docx", true, {}, L"", L"Word could not be switched back."};
  const DocumentResult skipped{O::SkippedAsPdf, L"C:\\s.pdf"};
  const std::wstring warningText =
      L"Word's printer could not be switched back for these documents:\n\nC:\\w.docx:\nWord could not be switched back.";
  struct Case {
    const char* name;
    std::vector<DocumentResult> results;
    int bound;
    std::vector<std::wstring> expected;
  };
  const Case cases[] = {
      {"all exported", {a, a}, 2, {L"Done."}},
      {"warnings, then skipped PDFs, then done",
       {skipped, warned, {O::SkippedAsPdf, L"C:\\t.PDF"}},
       3,
       {warningText, L"These documents were not exported because they are PDF files already:\n\nC:\\s.pdf\nC:\\t.PDF",
        L"Done."}},
      {"stopped with a document in hand",
       {a, {O::Stopped, L"C:\\b.docx", false, {}, L"That Word instance was ended."}},
       3,
       {L"The export was stopped.\n\nDocument in hand: C:\\b.docx\nThat Word instance was ended.\n\n"
        L"Documents exported: 1 of 3."}},
      {"stopped between documents, after a warning",
       {warned, {O::Stopped}},
       2,
       {L"The export was stopped.\n\nDocuments exported: 1 of 2.\n\n" + warningText}},
      {"failed in a call, after its PDF was written",
       {a, {O::Failed, L"C:\\b.docx", true, {L"closing Word", L"Quit", L"The call timed out."}, L"That Word instance was closed."}},
       3,
       {L"The export stopped at this document:\nC:\\b.docx\n\nStep: closing Word (Quit)\nReason: The call timed out. "
        L"That Word instance was closed.\n\nDocuments exported: 2 of 3."}},
      {"an old copy that could not be deleted is a warning before done",
       {{O::Exported, L"C:\\k.docx", true, {}, L"", L"", L"The new PDF is complete, but the old one, kept as X, could not be deleted: Access is denied."}},
       1,
       {L"These documents were exported, but a copy of the old PDF is still beside them; delete it once nothing "
        L"holds it:\n\nC:\\k.docx:\nThe new PDF is complete, but the old one, kept as X, could not be deleted: Access is denied.",
        L"Done."}},
      {"stopped, and the old PDF could not be put back",
       {{O::Stopped, L"C:\\b.docx", false, {}, L"That Word instance was ended.", L"", L"", L"The old PDF could not be put back."}},
       1,
       {L"The export was stopped.\n\nDocument in hand: C:\\b.docx\nThat Word instance was ended.\nThe old PDF could "
        L"not be put back.\n\nDocuments exported: 0 of 1."}},
      {"stopped during the Word check, before anything was counted", {{O::Stopped}}, 0, {L"The export was stopped."}},
      {"a Word left running for the user is said before done",
       {{O::Exported, L"C:\\u.docx", true, {}, L"Left running."}},
       1,
       {L"Word was left running after these documents:\n\nC:\\u.docx:\nLeft running.", L"Done."}},
      {"failed before any document, with no reason given",
       {{O::Failed, L"", false, {L"checking whether Word is running", L"", L""}}},
       0,
       {L"The export stopped\n\nStep: checking whether Word is running\nReason: unknown"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(RunMessages(c.results, c.bound), c.expected);
  }
}

TEST(ProgressPercent, IsCappedAtTheBarsRange) {
  EXPECT_EQ(ProgressPercent(1, 3), 33.333332f);
  EXPECT_EQ(ProgressPercent(3, 3), 100.0f);
  EXPECT_EQ(ProgressPercent(2, 1), 100.0f);
  EXPECT_EQ(ProgressPercent(1, 0), 100.0f);
}

// The same runner, unattended: the report follows it and nothing is shown.
struct UnattendedRig : Rig {
  struct Sink final : ReportSink {
    void Line(const std::wstring& line) override { lines.push_back(line); }
    bool Lost() const override { return lost; }
    std::vector<std::wstring> lines;
    bool lost = false;  // as a report file on a share that went away
  } sink;
  struct FakeFacts final : DocumentFacts {
    FileFacts Facts(const std::wstring& path) override {
      const auto it = known.find(path);
      return it != known.end() ? it->second : FileFacts{path.find(L".pdf") == std::wstring::npos, false, 10};
    }
    bool CompletePdf(const std::wstring& path) override { return unfinished.count(path) == 0; }
    std::map<std::wstring, FileFacts> known;
    std::set<std::wstring> unfinished;
  } facts;
  UnattendedBoxes boxes{sink};

  int RunUnattended(bool skipExisting = false) {
    UnattendedReport report(sink, facts, pump, skipExisting, documents.Count());
    ExportRunner runner{{documents, word, files, progress, boxes, busy, pump, stop, &report}, bounds};
    runner.Press();
    return report.Close();
  }
  // "outcome path" of each line, the path left out of a line that has none.
  std::vector<std::wstring> Outcomes() const {
    std::vector<std::wstring> result;
    for (const auto& line : sink.lines) {
      const auto first = line.find(L'\t');
      const auto second = line.find(L'\t', first + 1);
      const auto third = line.find(L'\t', second + 1);
      const bool document = second != std::wstring::npos && line.find(L"\tC:") == second;
      result.push_back(line.substr(0, first) + L" " + (document ? line.substr(second + 1, third - second - 1) : L""));
    }
    return result;
  }
};

TEST(UnattendedRun, GoesOnPastFailuresReportsEachAndEndsWithItsCode) {
  struct Case {
    const char* name;
    std::function<void(UnattendedRig&)> arrange;
    bool skipExisting;
    std::vector<std::wstring> outcomes;
    int code;
  };
  const Case cases[] = {
      {"a document that fails, a folder and a missing file between two that export",
       [](UnattendedRig& t) {
         t.word.openFails = L"C:\\b.docx";
         t.facts.known[L"C:\\Fold"] = {true, true};
         t.facts.known[L"C:\\gone.doc"] = {false, false, 0, L"The system cannot find the file specified."};
         t.Add({L"C:\\a.docx", L"C:\\b.docx", L"C:\\Fold", L"C:\\gone.doc", L"C:\\d.docx"});
       },
       false,
       {L"exported C:\\a.docx", L"failed C:\\b.docx", L"failed C:\\Fold", L"failed C:\\gone.doc", L"exported C:\\d.docx",
        L"total "},
       kExitSomeFailed},
      {"Word refuses the printer before any document is exported: the run ends there",
       [](UnattendedRig& t) {
         t.word.printFails = L"C:\\a.docx";
         t.word.printFailsMember = L"ActivePrinter";
         t.Add({L"C:\\a.docx", L"C:\\b.docx"});
       },
       false, {L"failed C:\\a.docx", L"error ", L"total "}, kExitPrerequisiteMissing},
      {"every document fails", [](UnattendedRig& t) { t.word.openFails = L"C:\\a.docx"; t.Add({L"C:\\a.docx"}); },
       false, {L"failed C:\\a.docx", L"total "}, kExitNoneExported},
      {"every document exported, but a line of the report was lost",
       [](UnattendedRig& t) {
         t.sink.lost = true;
         t.Add({L"C:\\a.docx"});
       },
       false, {L"exported C:\\a.docx", L"total "}, kExitSomeFailed},
      {"a PDF newer than its document is skipped, an older one is not",
       [](UnattendedRig& t) {
         t.facts.known[L"C:\\a.pdf"] = {true, false, 11};
         t.facts.known[L"C:\\b.pdf"] = {true, false, 10};
         t.Add({L"C:\\a.docx", L"C:\\b.docx"});
       },
       true, {L"skipped C:\\a.docx", L"exported C:\\b.docx", L"total "}, kExitAllExported},
      {"a.doc then a.docx: the second fails and a.pdf stays the first one's",
       [](UnattendedRig& t) { t.Add({L"C:\\a.doc", L"C:\\a.docx"}); },
       false, {L"exported C:\\a.doc", L"failed C:\\a.docx", L"total "}, kExitSomeFailed},
      {"skip-existing: an unfinished PDF is no PDF, and an up-to-date one is claimed by its document",
       [](UnattendedRig& t) {
         t.facts.known[L"C:\\a.pdf"] = {true, false, 11};
         t.facts.unfinished.insert(L"C:\\a.pdf");
         t.facts.known[L"C:\\b.pdf"] = {true, false, 11};
         t.Add({L"C:\\a.docx", L"C:\\b.doc", L"C:\\b.docx"});
       },
       true, {L"exported C:\\a.docx", L"skipped C:\\b.doc", L"failed C:\\b.docx", L"total "}, kExitSomeFailed},
      {"stopped by the user",
       [](UnattendedRig& t) {
         t.Add({L"C:\\a.docx", L"C:\\b.docx"});
         t.pump.At(0.2, [&t] { t.stop.Ask(); });
       },
       false, {L"stopped C:\\a.docx", L"total "}, kExitStopped},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    UnattendedRig t;
    c.arrange(t);
    EXPECT_EQ(t.RunUnattended(c.skipExisting), c.code);
    EXPECT_EQ(t.Outcomes(), c.outcomes);
    EXPECT_TRUE(t.messages.shown.empty() && t.messages.asked.empty()) << "nothing is shown";
    EXPECT_EQ(t.word.live, 0) << "every Word dealt with";
  }
}

TEST(UnattendedRun, AQuestionCountsAsYesAndIsWrittenDown) {
  UnattendedRig t;
  EXPECT_EQ(t.boxes.AskYesNo(L"Word may be open.\n\nContinue?"), Answer::Yes);
  EXPECT_EQ(t.sink.lines, std::vector<std::wstring>{L"note\tWord may be open. Continue? Answered Yes (unattended)."});
}

}  // namespace
}  // namespace tavrolin
