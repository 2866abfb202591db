#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>

#include "common/win/trace_file.h"
#include "common/window_pointer.h"
#include "driver/doclist_driver.h"
#include "driver/driver.h"
#include "driver/export_driver.h"
#include "driver/folder_driver.h"
#include "testbed/client/testbed_client.h"

using namespace e2e;
namespace testbed = tavrolin::testbed;
using std::chrono::seconds;

namespace {

constexpr double kRunSeconds = 180;  // a whole run of three documents under Wine, generously

bool Contains(const std::wstring& text, const std::wstring& part) {
  return text.find(part) != std::wstring::npos;
}

class ExportRun : public ::testing::Test {
 protected:
  void SetUp() override {
    testbed::KillStandIns();
    dir = MakeWorkDir(std::wstring(L"export_") + Widen(::testing::UnitTest::GetInstance()
                                                           ->current_test_info()
                                                           ->name()));
    settings.logFile = dir + L"\\calls.log";
    settings.dialogDelayMs = 100;
    SetBounds(kScenarioBounds);
    SetEnvironmentVariableW(tavrolin::win::kTraceVariable, (dir + L"\\trace.txt").c_str());
  }
  void TearDown() override {
    app.reset();
    testbed::Reset();
    testbed::KillStandIns();
    SetEnvironmentVariableW(kBoundsVariable, nullptr);
    SetEnvironmentVariableW(tavrolin::win::kTraceVariable, nullptr);
  }

  static std::wstring Widen(const char* text) {
    std::wstring result;
    for (const char* p = text; *p; ++p) result += static_cast<wchar_t>(*p);
    return result;
  }
  static void SetBounds(const wchar_t* bounds) { SetEnvironmentVariableW(kBoundsVariable, bounds); }

  // Applies the stand-ins' settings and starts the program (which reads the bounds at start).
  void Start() {
    // Away from the window: a hover over a button would set the custom pointer.
    MoveMouseTo(2, 2);
    testbed::Apply(settings);
    app = std::make_unique<App>();
    ASSERT_TRUE(app->Started());
  }
  // One pass of the open-file dialog per document, its full path typed as the file name.
  void AddAll(const std::vector<std::wstring>& paths) {
    for (const auto& path : paths) ASSERT_TRUE(AddFilesThroughDialog(*app, {path})) << path;
    ASSERT_TRUE(WaitForListTexts(app->Control(tavrolin::kIdListView1), paths));
  }
  void PressExport() { PressButton(app->Control(tavrolin::kIdCheck2)); }
  MessageBoxView NextBox(double secondsToWait = kRunSeconds) {
    auto box = WaitForMessageBox(app->Pid(), secondsToWait);
    EXPECT_TRUE(box.has_value()) << "no message box";
    return box.value_or(MessageBoxView{});
  }
  int Progress() { return static_cast<int>(SendMessageW(app->Control(tavrolin::kIdProgressBar1), PBM_GETPOS, 0, 0)); }
  bool PointerIsDefault() {
    return WaitFor([&] { return MousePointerOf(app->Window()) == tavrolin::kPointerDefault; }, 10);
  }
  std::vector<std::wstring> OpenedDocuments() {
    std::vector<std::wstring> opened;
    for (const auto& call : testbed::CallsOf(testbed::ReadLog(settings.logFile), L"OpenNoRepairDialog")) {
      opened.push_back(call.args.empty() ? L"" : call.args[0].value);
    }
    return opened;
  }

  // The stand-ins' own account of their lives and the calls that failed, for a failure's message.
  std::string StandInEvents() {
    std::string text;
    for (const auto& e : testbed::ReadLog(settings.logFile)) {
      if (e.kind == "event" || (e.kind == "call" && e.hr < 0)) text += "\n" + e.raw;
    }
    const std::string trace = ReadFileBytes(dir + L"\\trace.txt");
    return text + "\nthe program's trace:\n" + trace.substr(trace.size() > 6000 ? trace.size() - 6000 : 0);
  }

  std::wstring dir;
  testbed::Settings settings;
  std::unique_ptr<App> app;
};

TEST_F(ExportRun, ExportsEveryDocumentBesideItselfInListOrderAndReplacesAnOldPdf) {
  const std::wstring samples = testbed::SamplesDirectory();
  CreateDirectoryW((dir + L"\\letters").c_str(), nullptr);
  CreateDirectoryW((dir + L"\\Q3.reports").c_str(), nullptr);
  const std::wstring offer = dir + L"\\letters\\Offer.DOC";
  const std::wstring report = dir + L"\\letters\\Report.final.v2.docx";
  const std::wstring summary = dir + L"\\Q3.reports\\summary.docx";
  ASSERT_TRUE(WriteFileBytes(offer, "Offer for the spring season\r\nValid until May.\r\n"));
  ASSERT_TRUE(CopyFileW((samples + L"\\report.docx").c_str(), report.c_str(), FALSE));
  ASSERT_TRUE(CopyFileW((samples + L"\\letter.docx").c_str(), summary.c_str(), FALSE));
  const std::wstring oldPdf = dir + L"\\letters\\Report.final.v2.pdf";
  ASSERT_TRUE(WriteFileBytes(oldPdf, "an old PDF that must be replaced"));

  Start();
  // As a user would: into the folder, then two names selected at once; then the third alone.
  ASSERT_TRUE(AddFilesThroughDialog(
      *app, {dir + L"\\letters", L"\"Offer.DOC\" \"Report.final.v2.docx\""}));
  ASSERT_TRUE(AddFilesThroughDialog(*app, {summary}));
  ASSERT_TRUE(WaitForListTexts(app->Control(tavrolin::kIdListView1), {offer, report, summary}));
  PressExport();

  const auto done = NextBox();
  EXPECT_EQ(done.text, L"Done.") << StandInEvents();
  EXPECT_EQ(done.caption, L"Tavrolin");
  EXPECT_EQ(done.buttons, std::vector<std::wstring>{L"OK"});
  EXPECT_EQ(Progress(), 0) << "the bar is back at 0 when Done. shows";
  EXPECT_EQ(MousePointerOf(app->Window()), tavrolin::kPointerHourglass)
      << "the hourglass stays until Done. is closed";
  SaveScreenshot(nullptr, ScreenshotDir() + L"\\export_done" + LookSuffix() + L".bmp");
  ASSERT_TRUE(AnswerMessageBox(done, L"OK"));
  EXPECT_TRUE(PointerIsDefault());

  const std::pair<std::wstring, std::wstring> pdfs[] = {
      {dir + L"\\letters\\Offer.pdf", L"Offer for the spring season"},
      {dir + L"\\letters\\Report.final.v2.pdf", L"Quarterly report"},
      {dir + L"\\Q3.reports\\summary.pdf", L"Dear reader"},
  };
  for (const auto& [pdf, text] : pdfs) {
    int pages = 0;
    EXPECT_TRUE(testbed::PdfInfoAccepts(pdf, &pages)) << pdf;
    EXPECT_GE(pages, 1) << pdf;
    EXPECT_TRUE(Contains(testbed::PdfText(pdf), text)) << pdf;
  }
  EXPECT_EQ(OpenedDocuments(), (std::vector<std::wstring>{offer, report, summary}));
  EXPECT_TRUE(testbed::WaitNoStandIns(seconds(30))) << "every Word instance was told to quit";
  // The next Word starts while each PDF is finished: never more than two at once, each one quit.
  int alive = 0, most = 0;
  for (const auto& e : testbed::ReadLog(settings.logFile)) {
    if (e.kind == "event" && e.event == L"start" && e.detail == L"embedded") most = std::max(most, ++alive);
    if (e.kind == "event" && e.event == L"exit") --alive;
  }
  EXPECT_EQ(most, 2);
  EXPECT_EQ(alive, 0) << "every one quit, none had to be ended";
}

// Word slow to start for the first document while the user removes it from the list, then
// (second run) moves it down: the document in hand is still the first, under its own name.
TEST_F(ExportRun, TheDocumentInHandStaysWhenTheListChangesWhileWordStarts) {
  const std::wstring a = dir + L"\\a.doc", b = dir + L"\\b.doc", c = dir + L"\\c.doc";
  ASSERT_TRUE(WriteFileBytes(a, "Alpha document\r\n"));
  ASSERT_TRUE(WriteFileBytes(b, "Bravo document\r\n"));
  ASSERT_TRUE(WriteFileBytes(c, "Charlie document\r\n"));
  settings.hangMember = L"DisplayAlerts";
  settings.hangSeconds = 3;
  Start();
  HWND list = app->Control(tavrolin::kIdListView1);
  const auto hangs = [&] {
    return testbed::EventsOf(testbed::ReadLog(settings.logFile), L"hang").size();
  };
  const auto pressRow = [&](int row) {
    const POINT at = ListViewRowPoint(list, row);
    MoveMouseTo(at.x, at.y - 2);
    MoveMouseTo(at.x, at.y);
    MouseButton(true);
  };
  struct Pass {
    const char* name;
    std::function<void()> change;
    std::vector<std::wstring> after, opened;
  };
  const auto removeFirst = [&] {
    const auto count = ListViewTexts(list).size();
    pressRow(0);
    MouseButton(false);
    ASSERT_TRUE(WaitFor([&] { return ListViewSelection(list) == 0; }, 10));
    // Away from the press, which would pair with the first click (and the second with the
    // next press) into a double-click removing a row too many.
    const POINT at = ListViewRowPoint(list, 0);
    MoveMouseTo(at.x + 12, at.y);
    DoubleClick();
    ASSERT_TRUE(WaitFor([&] { return ListViewTexts(list).size() < count; }, 10));
  };
  const Pass passes[] = {
      {"the first removed", removeFirst, {b, c}, {a, c}},
      {"the first moved down",
       [&] {
         pressRow(0);
         ASSERT_TRUE(WaitFor([&] { return ListViewSelection(list) == 0; }, 10));
         // Wine hands every injected move back from X, now and then late: a late one from the
         // press's row swaps the two back. The button goes up once rows and pointer stayed put.
         const POINT to = ListViewRowPoint(list, 1);
         ULONGLONG since = 0;
         ASSERT_TRUE(WaitFor(
             [&] {
               POINT at{};
               GetCursorPos(&at);
               const bool there = at.x == to.x && at.y == to.y;
               if (!there) MoveMouseTo(to.x, to.y);
               if (!there || ListViewTexts(list) != std::vector{b, a, c}) {
                 since = 0;
                 return false;
               }
               if (!since) since = GetTickCount64();
               return GetTickCount64() - since >= 500;
             },
             10));
         MouseButton(false);
       },
       {b, a, c}, {a, c, a, a, c}},
  };
  for (const auto& pass : passes) {
    SCOPED_TRACE(pass.name);
    DeleteFileW((dir + L"\\a.pdf").c_str());
    AddAll({a, b, c});
    const auto before = hangs();
    PressExport();
    ASSERT_TRUE(WaitFor([&] { return hangs() > before; }, 60)) << "Word starting for the first";
    pass.change();
    ASSERT_TRUE(WaitForListTexts(list, pass.after)) << testing::PrintToString(ListViewTexts(list));
    const auto done = NextBox();
    EXPECT_EQ(done.text, L"Done.");
    ASSERT_TRUE(AnswerMessageBox(done, L"OK"));
    EXPECT_EQ(OpenedDocuments(), pass.opened);
    const std::wstring text = testbed::PdfText(dir + L"\\a.pdf");
    EXPECT_TRUE(Contains(text, L"Alpha document")) << "its own text under its own name";
    EXPECT_FALSE(Contains(text, L"Bravo") || Contains(text, L"Charlie"));
    while (!ListViewTexts(list).empty()) removeFirst();
  }
  EXPECT_TRUE(testbed::WaitNoStandIns(seconds(30)));
}

TEST_F(ExportRun, AClickNotificationWithTheValueZeroDoesNothing) {
  Start();
  HWND check2 = app->Control(tavrolin::kIdCheck2);
  ASSERT_EQ(ButtonValue(check2), BST_UNCHECKED);
  // Queued before the press of "Help": had it run the export, "No files added." would come first.
  PostMessageW(app->Window(), WM_COMMAND, MAKEWPARAM(tavrolin::kIdCheck2, BN_CLICKED),
               reinterpret_cast<LPARAM>(check2));
  PressButton(app->Control(tavrolin::kIdCheck3));
  const auto first = NextBox(20);
  EXPECT_TRUE(Contains(first.text, L"Anti-virus")) << first.text;
  // The pressed button holds the mouse while the box is open, so a stray move may show its
  // hand; only the hourglass would mean that an export started.
  EXPECT_NE(MousePointerOf(app->Window()), tavrolin::kPointerHourglass);
  ASSERT_TRUE(AnswerMessageBox(first, L"OK"));
}

TEST_F(ExportRun, AFailingDocumentIsReportedByNameAndTheWindowStaysUsable) {
  const std::wstring good = dir + L"\\good.docx";
  const std::wstring broken = dir + L"\\broken.docx";
  const std::wstring third = dir + L"\\third.docx";
  for (const auto& path : {good, broken, third}) ASSERT_TRUE(WriteFileBytes(path, "Some text.\r\n"));
  settings.openFailPattern = L"*broken*";

  Start();
  AddAll({good, broken, third});
  PressExport();

  const auto error = NextBox();
  EXPECT_EQ(error.caption, L"Tavrolin");
  EXPECT_TRUE(Contains(error.text, broken)) << error.text;
  EXPECT_TRUE(Contains(error.text, L"opening the document in Word")) << error.text;
  EXPECT_TRUE(Contains(error.text, L"Documents exported: 1 of 3.")) << error.text;
  ASSERT_TRUE(AnswerMessageBox(error, L"OK"));
  EXPECT_TRUE(PointerIsDefault());
  EXPECT_EQ(Progress(), 0);
  EXPECT_TRUE(PathExists(dir + L"\\good.pdf"));
  EXPECT_FALSE(PathExists(dir + L"\\third.pdf"));
  EXPECT_TRUE(testbed::WaitNoStandIns(seconds(30))) << "no stand-in left behind";

  PressButton(app->Control(tavrolin::kIdCheck3));
  const auto help = NextBox(20);
  EXPECT_TRUE(Contains(help.text, L"Anti-virus")) << "the window still answers";
  ASSERT_TRUE(AnswerMessageBox(help, L"OK"));
}

TEST_F(ExportRun, WordAlreadyRunningAndNoAnsweredTouchesNothing) {
  const std::wstring document = dir + L"\\memo.docx";
  const std::wstring oldPdf = dir + L"\\memo.pdf";
  ASSERT_TRUE(WriteFileBytes(document, "Memo.\r\n"));
  ASSERT_TRUE(WriteFileBytes(oldPdf, "old"));
  testbed::RunningWord running;
  ASSERT_TRUE(running.Start());

  Start();
  AddAll({document});
  PressExport();
  const auto question = NextBox(60);
  EXPECT_TRUE(Contains(question.text, L"Word may be open.")) << question.text;
  ASSERT_TRUE(AnswerMessageBox(question, L"&No"));

  EXPECT_TRUE(PointerIsDefault()) << "the run has ended";
  EXPECT_EQ(ReadFileBytes(oldPdf), "old");
  EXPECT_TRUE(OpenedDocuments().empty());
  EXPECT_TRUE(TopLevelWindows(app->Pid(), L"#32770").empty()) << "no message of the run's own";
  running.Stop();
}

TEST_F(ExportRun, ADialogThatNeverAppearsEndsWithAnErrorWithinItsBound) {
  const std::wstring document = dir + L"\\stuck.docx";
  ASSERT_TRUE(WriteFileBytes(document, "Stuck.\r\n"));
  settings.noDialog = true;
  SetBounds(L"dialog=3;pdf=10;call=20");

  Start();
  AddAll({document});
  const auto start = std::chrono::steady_clock::now();
  PressExport();
  const auto error = NextBox(60);
  const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_TRUE(Contains(error.text, document)) << error.text;
  EXPECT_TRUE(Contains(error.text, L"printing on \"PDF Printer\"")) << error.text;
  EXPECT_LT(took, 30.0) << "ended by the shortened 3-second bound, not the default";
  ASSERT_TRUE(AnswerMessageBox(error, L"OK"));
  EXPECT_TRUE(PointerIsDefault());
  EXPECT_TRUE(testbed::WaitNoStandIns(seconds(30)));
}

TEST_F(ExportRun, AnOldPdfThatCannotBeDeletedIsReportedAndLeftAlone) {
  const std::wstring document = dir + L"\\locked.docx";
  const std::wstring oldPdf = dir + L"\\locked.pdf";
  ASSERT_TRUE(WriteFileBytes(document, "Locked.\r\n"));
  ASSERT_TRUE(WriteFileBytes(oldPdf, "old"));
  ASSERT_TRUE(SetFileAttributesW(oldPdf.c_str(), FILE_ATTRIBUTE_READONLY));

  Start();
  AddAll({document});
  PressExport();
  const auto error = NextBox(60);
  EXPECT_TRUE(Contains(error.text, L"replacing the old PDF " + oldPdf)) << error.text;
  EXPECT_TRUE(Contains(error.text, L"Reason: ")) << error.text;
  ASSERT_TRUE(AnswerMessageBox(error, L"OK"));
  EXPECT_EQ(ReadFileBytes(oldPdf), "old");
  EXPECT_TRUE(OpenedDocuments().empty()) << "Word is not started for it";
  SetFileAttributesW(oldPdf.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// Word refuses "PDF Printer" (not installed): the question, Yes, Word's own export and "Done.".
// Then the menu of export options on the button: PDF/A, and the PDFs into a folder chosen in the
// picker, each below it in its document's own folder and none beside the documents.
TEST_F(ExportRun, WordsOwnExportWhenThePrinterIsRefusedAndThroughTheMenu) {
  const std::wstring one = dir + L"\\one", two = dir + L"\\two";
  ASSERT_TRUE(CreateDirectoryW(one.c_str(), nullptr) && CreateDirectoryW(two.c_str(), nullptr));
  const std::wstring a = one + L"\\a.docx", b = two + L"\\b.docx";
  ASSERT_TRUE(CopyFileW((testbed::SamplesDirectory() + L"\\headings.docx").c_str(), a.c_str(), FALSE));
  ASSERT_TRUE(WriteFileBytes(b, "Text of b.\r\n"));
  settings.rejectPrinterPattern = L"PDF Printer";
  ASSERT_NO_FATAL_FAILURE(Start());
  AddAll({a, b});
  PressExport();
  MessageBoxView box = NextBox(60);
  ASSERT_TRUE(Contains(box.text, L"Word cannot print on \"PDF Printer\"")) << box.text;
  ASSERT_TRUE(AnswerMessageBox(box, L"&Yes"));
  box = NextBox();
  EXPECT_EQ(L"Done.", box.text) << StandInEvents();
  ASSERT_TRUE(AnswerMessageBox(box, L"OK"));
  EXPECT_TRUE(testbed::PdfInfoAccepts(one + L"\\a.pdf"));
  EXPECT_TRUE(testbed::PdfInfoAccepts(two + L"\\b.pdf"));
  auto log = testbed::ReadLog(settings.logFile);
  EXPECT_EQ(2u, testbed::CallsOf(log, L"ExportAsFixedFormat").size());
  EXPECT_TRUE(testbed::CallsOf(log, L"PrintOut").empty());
  ASSERT_TRUE(DeleteFileW((one + L"\\a.pdf").c_str()) && DeleteFileW((two + L"\\b.pdf").c_str()));

  const std::wstring outName = L"tavrolin-pdfs-" + std::to_wstring(GetCurrentProcessId());
  const std::wstring out = L"C:\\" + outName;
  CreateDirectoryW(out.c_str(), nullptr);
  // The items: the two roads, PDF/A, markup, beside, into a folder (Down from none selected).
  const auto pick = [&](int downs, const wchar_t* screenshot) {
    const RECT button = WindowRectOnScreen(app->Control(tavrolin::kIdCheck2));
    ASSERT_TRUE(MovePointerTo({(button.left + button.right) / 2, (button.top + button.bottom) / 2}));
    MouseButton(true, true);
    MouseButton(false, true);
    HWND menu = nullptr;
    ASSERT_TRUE(WaitFor([&] {
      const auto menus = TopLevelWindows(app->Pid(), L"#32768");
      menu = menus.empty() ? nullptr : menus[0];
      return menu && IsWindowVisible(menu);
    }, 20)) << "no menu on a right-click";
    if (screenshot) SaveScreenshot(nullptr, ScreenshotDir() + L"\\" + screenshot);
    for (int i = 0; i < downs; ++i) PressKey(VK_DOWN);
    PressKey(VK_RETURN);
  };
  ASSERT_NO_FATAL_FAILURE(pick(3, L"export_options_menu.bmp"));  // "PDF/A for archiving", open on Word's road
  ASSERT_NO_FATAL_FAILURE(pick(6, nullptr));                     // "PDFs into a folder..."
  HWND picker = WaitForDialogWithText(app->Pid(), L"Choose the folder for the PDFs.", 20);
  ASSERT_NE(picker, nullptr);
  std::wstring trace;
  ASSERT_TRUE(PickInPicker(picker, StepsOnDriveC({outName}), trace)) << std::string(trace.begin(), trace.end());
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(picker); }, 20));

  PressExport();
  box = NextBox();
  EXPECT_EQ(L"Done.", box.text);
  AnswerMessageBox(box, L"OK");
  const testbed::PdfStructure pdf = testbed::ReadPdfStructure(out + L"\\one\\a.pdf");
  EXPECT_TRUE(pdf.pdfa1 && pdf.tagged) << "PDF/A, below the folder in its own";
  EXPECT_TRUE(testbed::PdfInfoAccepts(out + L"\\two\\b.pdf"));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((one + L"\\a.pdf").c_str())) << "none beside";
  log = testbed::ReadLog(settings.logFile);
  EXPECT_EQ(4u, testbed::CallsOf(log, L"ExportAsFixedFormat").size());
  EXPECT_TRUE(testbed::CallsOf(log, L"PrintOut").empty()) << "the road taken stays for the window's next run";
}

TEST_F(ExportRun, PressingExportDuringARunOffersToStopIt) {
  const std::wstring first = dir + L"\\first.docx";
  const std::wstring second = dir + L"\\second.docx";
  for (const auto& path : {first, second}) ASSERT_TRUE(WriteFileBytes(path, "Text.\r\n"));
  settings.pdfDelayMs = 120000;  // the PDF takes longer than the test will wait

  Start();
  AddAll({first, second});
  PressExport();
  // Once Save has been clicked the run is in its wait for the PDF.
  const auto log = testbed::WaitForLog(
      settings.logFile, [](const auto& entries) { return !testbed::MessagesTo(entries, L"save").empty(); },
      std::chrono::milliseconds(60000));
  ASSERT_FALSE(testbed::MessagesTo(log, L"save").empty());
  PressExport();
  const auto question = NextBox(30);
  EXPECT_TRUE(Contains(question.text, L"stop")) << question.text;
  ASSERT_TRUE(AnswerMessageBox(question, L"&Yes"));

  const auto stopped = NextBox(60);
  EXPECT_TRUE(Contains(stopped.text, L"The export was stopped.")) << stopped.text;
  EXPECT_TRUE(Contains(stopped.text, L"Documents exported: 0 of 2.")) << stopped.text;
  ASSERT_TRUE(AnswerMessageBox(stopped, L"OK"));
  EXPECT_TRUE(PointerIsDefault());
  EXPECT_EQ(OpenedDocuments(), std::vector<std::wstring>{first});
  EXPECT_TRUE(testbed::WaitNoStandIns(seconds(30)));

  // The session ending in the pause after the first PDF, while the next Word starts (a restart
  // for updates at night): the window's run is closed as its close box closes it, the hidden
  // window holds the end meanwhile; neither Word is left, the printer and the option are back.
  const std::wstring printerBefore = testbed::DefaultPrinter();
  settings.pdfDelayMs = 0;
  settings.startupDelayMs = 3000;
  settings.updateFieldsAtPrint = true;
  testbed::Apply(settings);
  PressExport();
  const auto starts = [](const auto& entries) { return testbed::EventsOf(entries, L"start").size(); };
  const auto pdfs = [](const auto& entries) { return testbed::EventsOf(entries, L"pdf-written").size(); };
  const auto earlier = testbed::ReadLog(settings.logFile);
  const auto spareStarting = [&](const auto& entries) {
    return pdfs(entries) > pdfs(earlier) && starts(entries) >= starts(earlier) + 2;
  };
  ASSERT_TRUE(spareStarting(testbed::WaitForLog(settings.logFile, spareStarting, seconds(60))));
  DWORD_PTR answer = FALSE;
  ASSERT_TRUE(SendMessageTimeoutW(app->Window(), WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 10000, &answer));
  EXPECT_EQ(static_cast<DWORD_PTR>(TRUE), answer);
  const std::vector<HWND> holders = HiddenWindows(app->Pid(), tavrolin::kSessionEndClass);
  ASSERT_EQ(1u, holders.size()) << "the window that holds the end";
  for (HWND told : {app->Window(), holders.front()}) SendMessageTimeoutW(told, WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, 10000, &answer);
  EXPECT_TRUE(app->WaitExit(30));
  EXPECT_TRUE(testbed::WaitNoStandIns(seconds(30)));
  EXPECT_EQ(testbed::DefaultPrinter(), printerBefore);
  EXPECT_TRUE(testbed::Current().updateFieldsAtPrint) << "Word's option as the user had it";
}

}  // namespace
