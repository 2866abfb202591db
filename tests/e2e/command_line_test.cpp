// The program started with paths and switches, as the shell, "Send To" and scripts start it:
// the list filled at start, a second start handing its paths over, and the unattended export
// with its report and exit code.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <memory>
#include <sstream>

#include "app/control_ids.h"
#include "driver/driver.h"
#include "driver/export_driver.h"
#include "testbed/client/testbed_client.h"

using namespace e2e;
namespace testbed = tavrolin::testbed;

namespace {

bool Contains(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }
std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

// tavrolin.exe started with `arguments` in `folder`; ended at destruction if still running.
class Started {
 public:
  Started(const std::wstring& arguments, const std::wstring& folder) {
    const std::wstring exe = BinDir() + L"\\tavrolin.exe";
    std::wstring line = Quoted(exe) + L" " + arguments;
    STARTUPINFOW startup{sizeof(startup)};
    if (CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                       &process_)) {
      CloseHandle(process_.hThread);
    }
  }
  ~Started() {
    if (!process_.hProcess) return;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(process_.hProcess, 99);
      WaitForSingleObject(process_.hProcess, 10000);
    }
    CloseHandle(process_.hProcess);
  }
  DWORD Pid() const { return process_.dwProcessId; }
  // As Windows ends a process at the end of a session.
  void Terminate() {
    TerminateProcess(process_.hProcess, 1);
    WaitForSingleObject(process_.hProcess, 10000);
  }
  HWND Window() const { return WaitForTopLevel(Pid(), tavrolin::kForm1Class, L"Tavrolin", 60); }
  // The exit code once it ended within `seconds`; -1 otherwise. `watch` runs at every poll.
  int ExitCode(double seconds, const std::function<void()>& watch = [] {}) const {
    DWORD code = STILL_ACTIVE;
    WaitFor([&] {
      watch();
      return process_.hProcess && WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0;
    }, seconds);
    if (!process_.hProcess || !GetExitCodeProcess(process_.hProcess, &code) || code == STILL_ACTIVE) return -1;
    return static_cast<int>(code);
  }

 private:
  PROCESS_INFORMATION process_{};
};

// UTF-16 LE with its byte-order mark, as Windows PowerShell 5.1's ">" writes.
std::string Utf16File(const std::wstring& text) {
  std::string bytes = "\xFF\xFE";
  for (wchar_t c : text) bytes += {static_cast<char>(c & 0xFF), static_cast<char>((c >> 8) & 0xFF)};
  return bytes;
}

// The report's lines (UTF-8, CR LF).
std::vector<std::wstring> ReportLines(const std::wstring& path) {
  std::vector<std::wstring> lines;
  const std::string bytes = ReadFileBytes(path);
  const int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring text(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), n);
  std::wistringstream in(text);
  for (std::wstring line; std::getline(in, line);) {
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

std::vector<std::wstring> LinesStarting(const std::vector<std::wstring>& lines, const std::wstring& outcome) {
  std::vector<std::wstring> found;
  for (const auto& line : lines) {
    if (line.rfind(outcome + L"\t", 0) == 0) found.push_back(line);
  }
  return found;
}

// The report's lines without its notes. The one note a run can write by itself, "Word may be
// open", comes from whatever Word is registered as running on the machine at the start (the
// question counts a busy or silent one as open, rightly for a user's Word); no case is about it.
std::vector<std::wstring> WithoutNotes(const std::vector<std::wstring>& lines) {
  std::vector<std::wstring> kept;
  for (const auto& line : lines) {
    if (line.rfind(L"note\t", 0) != 0) {
      kept.push_back(line);
    } else {
      EXPECT_TRUE(Contains(line, L"Word may be open")) << line;
    }
  }
  return kept;
}

class CommandLine : public ExportScenario<> {
 protected:
  void SetUp() override { Arrange(L"command_line_" + CurrentTestName(), L"dialog=10;pdf=10;call=10"); }
  void TearDown() override {
    ExportScenario::TearDown();
    if (unregistered) {
      EXPECT_TRUE(testbed::RegisterServer(false));
    }
  }
  std::wstring Document(const std::wstring& name) {
    const std::wstring path = dir + L"\\" + name;
    EXPECT_TRUE(WriteFileBytes(path, "Text of " + std::string(name.begin(), name.end()) + ".\r\n"));
    return path;
  }
  std::size_t WordsStarted() { return testbed::EventsOf(testbed::ReadLog(settings.logFile), L"start").size(); }
  // Runs an unattended export to its end; every message box of the program meanwhile is counted.
  int Export(const std::wstring& arguments, double seconds = 180) {
    testbed::Apply(settings);
    Started run(L"/export /report:" + Quoted(report) + L" " + arguments, dir);
    return run.ExitCode(seconds, [&] { boxes += TopLevelWindows(run.Pid(), L"#32770").size(); });
  }

  std::wstring report = L"report.txt";  // relative: beside the documents, the started program's folder
  std::size_t boxes = 0;
  bool unregistered = false;
};

TEST_F(CommandLine, PathsFillTheListInOrderAndASecondStartHandsItsPathToTheOpenWindow) {
  const std::wstring spaced = Document(L"Annual report 2026.docx");
  const std::wstring folder = dir + L"\\Letters";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  const std::wstring plain = Document(L"memo.doc");
  Started first(Quoted(spaced) + L" " + Quoted(folder) + L" memo.doc", dir);
  HWND window = first.Window();
  ASSERT_TRUE(window);
  HWND list = GetDlgItem(window, tavrolin::kIdListView1);
  EXPECT_TRUE(WaitForListTexts(list, {spaced, folder, plain})) << "in order, the folder as one item, made full";

  const std::wstring later = Document(L"later.docx");
  Started second(Quoted(later), dir);
  EXPECT_EQ(0, second.ExitCode(15)) << "the second start ends within seconds";
  EXPECT_TRUE(WaitForListTexts(list, {spaced, folder, plain, later}));
  EXPECT_TRUE(TopLevelWindows(second.Pid(), tavrolin::kForm1Class).empty());
  SaveScreenshot(window, ScreenshotDir() + L"\\command_line_paths.bmp");
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(0, first.ExitCode(20));
}

TEST_F(CommandLine, ExportGoesOnPastAProtectedDocumentAndEndsWithCodeOne) {
  const std::wstring a = Document(L"a.docx");
  const std::wstring b = dir + L"\\b.docx";
  ASSERT_TRUE(CopyFileW((testbed::FixturesDirectory() + L"\\protected.docx").c_str(), b.c_str(), FALSE));
  ASSERT_TRUE(WriteFileBytes(dir + L"\\b.pdf", "%PDF-1.4 the old one"));
  const std::wstring c = Document(L"c.docx");

  EXPECT_EQ(1, Export(Quoted(a) + L" " + Quoted(b) + L" " + Quoted(c)));
  EXPECT_EQ(0u, boxes) << "no message box at any time";
  EXPECT_TRUE(testbed::PdfInfoAccepts(dir + L"\\a.pdf"));
  EXPECT_TRUE(testbed::PdfInfoAccepts(dir + L"\\c.pdf"));
  EXPECT_EQ("%PDF-1.4 the old one", ReadFileBytes(dir + L"\\b.pdf"));
  EXPECT_TRUE(testbed::WaitNoStandIns(std::chrono::seconds(15))) << "a Word is left";
  const auto lines = WithoutNotes(ReportLines(dir + L"\\" + report));
  ASSERT_EQ(4u, lines.size()) << "three documents and the totals";
  EXPECT_EQ(0u, lines[0].rfind(L"exported\t", 0));
  EXPECT_TRUE(lines[1].rfind(L"failed\t", 0) == 0 && Contains(lines[1], b) && Contains(lines[1], L"password"))
      << lines[1];
  EXPECT_EQ(0u, lines[2].rfind(L"exported\t", 0));
  EXPECT_TRUE(Contains(lines[3], L"2 exported, 0 skipped, 1 failed")) << lines[3];
}

TEST_F(CommandLine, TwentyFromAListThenAllSkippedWhenTheirPdfsAreNewer) {
  std::string list;
  std::vector<std::wstring> documents;
  for (int i = 1; i <= 20; ++i) {
    documents.push_back(Document(L"doc " + std::to_wstring(i) + L".docx"));
    list += "doc " + std::to_string(i) + ".docx\r\n" + (i == 10 ? "\r\n" : "");
  }
  // A name outside ASCII, in UTF-8 as the list file has it.
  ASSERT_TRUE(MoveFileW(documents[19].c_str(), (dir + L"\\Gr\u00FC\u00DFe.docx").c_str()));
  list.replace(list.find("doc 20.docx"), 11, "Gr\xC3\xBC\xC3\x9F" "e.docx");
  ASSERT_TRUE(WriteFileBytes(dir + L"\\list.txt", list));

  EXPECT_EQ(0, Export(L"/list:list.txt", 600));
  EXPECT_EQ(20u, LinesStarting(ReportLines(dir + L"\\" + report), L"exported").size());
  EXPECT_TRUE(PathExists(dir + L"\\doc 1.pdf") && PathExists(dir + L"\\Gr\u00FC\u00DFe.pdf"));
  for (int i = 1; i <= 19; ++i) EXPECT_TRUE(PathExists(dir + L"\\doc " + std::to_wstring(i) + L".pdf")) << i;

  const std::size_t started = WordsStarted();
  EXPECT_EQ(0, Export(L"/LIST:list.txt --skip-existing", 20)) << "all skipped within seconds";
  EXPECT_EQ(20u, LinesStarting(ReportLines(dir + L"\\" + report), L"skipped").size());
  EXPECT_EQ(started, WordsStarted()) << "no Word for a skipped document";
  EXPECT_EQ(0u, boxes);
}

// a.doc and a.docx share a.pdf: the first one's PDF stands, the second fails naming it. A run
// stopped while the printer writes leaves no half PDF for /skip-existing to trust.
TEST_F(CommandLine, OnePdfPerPathAndNoUnfinishedPdfLeftForSkipExisting) {
  const std::wstring doc = Document(L"a.doc");
  const std::wstring docx = Document(L"a.docx");
  EXPECT_EQ(1, Export(Quoted(doc) + L" " + Quoted(docx)));
  EXPECT_TRUE(Contains(testbed::PdfText(dir + L"\\a.pdf"), L"Text of a.doc.")) << "the first document's";
  auto lines = WithoutNotes(ReportLines(dir + L"\\" + report));
  ASSERT_EQ(3u, lines.size());
  EXPECT_TRUE(lines[1].rfind(L"failed\t", 0) == 0 && Contains(lines[1], docx + L" has the same PDF as " + doc))
      << lines[1];

  const std::wstring b = Document(L"b.docx");
  settings.pdfWriteMs = 20000;
  testbed::Apply(settings);
  {
    Started run(L"/export /report:" + Quoted(report) + L" " + Quoted(b), dir);
    ASSERT_TRUE(WaitFor([&] { return !testbed::EventsOf(testbed::ReadLog(settings.logFile), L"pdf-started").empty(); },
                        60));
    ASSERT_TRUE(PathExists(dir + L"\\b.pdf")) << "the printer has begun it";
    PostMessageW(run.Window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(5, run.ExitCode(30));
  }
  EXPECT_FALSE(PathExists(dir + L"\\b.pdf")) << "no unfinished PDF left";
  settings.pdfWriteMs = 0;
  EXPECT_EQ(0, Export(L"--skip-existing " + Quoted(b)));
  EXPECT_EQ(1u, LinesStarting(ReportLines(dir + L"\\" + report), L"exported").size());
  EXPECT_TRUE(testbed::PdfInfoAccepts(dir + L"\\b.pdf"));
}

// Two scheduled runs that overlap: each types only into its own printer's dialog, and neither
// takes the other's new Word.
TEST_F(CommandLine, TwoRunsAtOnceEachGetTheirOwnPdfs) {
  std::wstring first, second;
  for (int i = 1; i <= 4; ++i) {
    first += Quoted(Document(L"first " + std::to_wstring(i) + L".docx")) + L" ";
    second += Quoted(Document(L"second " + std::to_wstring(i) + L".docx")) + L" ";
  }
  testbed::Apply(settings);
  Started one(L"/export /report:one.txt " + first, dir);
  Started two(L"/export /report:two.txt " + second, dir);
  EXPECT_EQ(0, one.ExitCode(240));
  EXPECT_EQ(0, two.ExitCode(240));
  for (const wchar_t* run : {L"first ", L"second "}) {
    for (int i = 1; i <= 4; ++i) {
      const std::wstring name = run + std::to_wstring(i);
      EXPECT_TRUE(Contains(testbed::PdfText(dir + L"\\" + name + L".pdf"), L"Text of " + name + L".docx.")) << name;
    }
  }
}

// Word's own export: bookmarks from both kinds of heading, the link, tags and PDF/A, no printer
// touched; into a folder, each PDF in its document's own folder below it, where /skip-existing
// then looks.
TEST_F(CommandLine, ViaWordIntoAFolderGivesPdfsWithBookmarksLinksTagsAndPdfA) {
  const std::wstring one = dir + L"\\one", two = dir + L"\\two";
  ASSERT_TRUE(CreateDirectoryW(one.c_str(), nullptr) && CreateDirectoryW(two.c_str(), nullptr));
  const std::wstring a = one + L"\\a.docx";
  ASSERT_TRUE(CopyFileW((testbed::SamplesDirectory() + L"\\headings.docx").c_str(), a.c_str(), FALSE));
  const std::wstring b = Document(L"two\\b.docx");
  const std::wstring switches = L"/via:word /pdfa /out:pdfs " + Quoted(a) + L" " + Quoted(b);
  EXPECT_EQ(0, Export(switches));
  const testbed::PdfStructure pdf = testbed::ReadPdfStructure(dir + L"\\pdfs\\one\\a.pdf");
  ASSERT_TRUE(pdf.read);
  ASSERT_EQ(2u, pdf.outline.size());
  EXPECT_TRUE(pdf.outline[0].title == L"Overview" && pdf.outline[0].depth == 1);
  EXPECT_TRUE(pdf.outline[1].title == L"Details" && pdf.outline[1].depth == 2) << "nested below the first";
  EXPECT_EQ(std::vector<std::wstring>{L"https://example.org/tavrolin"}, pdf.linkUris);
  EXPECT_TRUE(pdf.tagged);
  EXPECT_TRUE(pdf.pdfa1);
  EXPECT_TRUE(Contains(testbed::PdfText(dir + L"\\pdfs\\two\\b.pdf"), L"Text of two\\b.docx."));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((one + L"\\a.pdf").c_str())) << "none beside";
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((two + L"\\b.pdf").c_str())) << "none beside";
  const auto log = testbed::ReadLog(settings.logFile);
  const auto exports = testbed::CallsOf(log, L"ExportAsFixedFormat");
  ASSERT_EQ(2u, exports.size());
  for (const auto& arg : exports[0].args) {
    if (arg.name == L"ExportFormat") {
      EXPECT_TRUE(arg.vt == VT_I4 && arg.value == L"17") << arg.value;
    }
  }
  EXPECT_TRUE(testbed::CallsOf(log, L"PrintOut").empty());
  EXPECT_TRUE(testbed::CallsOf(log, L"ActivePrinter").empty()) << "no printer read or put";
  EXPECT_TRUE(testbed::EventsOf(log, L"open-after-export").empty());
  const auto lines = LinesStarting(ReportLines(dir + L"\\" + report), L"exported");
  ASSERT_EQ(2u, lines.size());
  EXPECT_TRUE(Contains(lines[0], L"\tword\t")) << lines[0];

  EXPECT_EQ(0, Export(L"/skip-existing " + switches));
  EXPECT_EQ(2u, LinesStarting(ReportLines(dir + L"\\" + report), L"skipped").size()) << "found below the folder";

  // A Word without ExportAsFixedFormat saves as PDF once, and the line says so.
  settings.unknownMembers = L"ExportAsFixedFormat";
  EXPECT_EQ(0, Export(L"/via:word " + Quoted(b)));
  const auto saved = LinesStarting(ReportLines(dir + L"\\" + report), L"exported");
  ASSERT_EQ(1u, saved.size());
  EXPECT_TRUE(Contains(saved[0], L"SaveAs2")) << saved[0];
  EXPECT_TRUE(Contains(testbed::PdfText(dir + L"\\two\\b.pdf"), L"Text of two\\b.docx."));
}

// A document the user opens while our hidden Word runs can land in it: Quit would close it unsaved.
TEST_F(CommandLine, TheUsersDocumentInOurWordIsNotClosedAndThatWordIsLeftRunning) {
  const std::wstring a = Document(L"a.docx");
  settings.userDocument = Document(L"users letter.docx");
  EXPECT_EQ(0, Export(Quoted(a)));
  EXPECT_TRUE(testbed::PdfInfoAccepts(dir + L"\\a.pdf"));
  const auto log = testbed::ReadLog(settings.logFile);
  EXPECT_FALSE(testbed::EventsOf(log, L"user-document").empty()) << "the user's document never arrived";
  EXPECT_TRUE(testbed::EventsOf(log, L"user-document-lost").empty());
  EXPECT_TRUE(testbed::CallsOf(log, L"Quit").empty());
  EXPECT_FALSE(testbed::StandInProcesses().empty()) << "the user's Word is left running";
  const auto lines = LinesStarting(ReportLines(dir + L"\\" + report), L"exported");
  ASSERT_EQ(1u, lines.size());
  EXPECT_TRUE(Contains(lines[0], L"that Word was left running")) << lines[0];
}

// Word's road: one Word serves a run of twenty; a document that fails in the middle replaces it.
TEST_F(CommandLine, ViaWordOneWordServesTwentyAndAFailureReplacesIt) {
  std::wstring paths;
  for (int i = 1; i <= 20; ++i) paths += Quoted(Document(L"doc " + std::to_wstring(i) + L".docx")) + L" ";
  EXPECT_EQ(0, Export(L"/via:word " + paths));
  EXPECT_EQ(1u, WordsStarted());
  for (int i = 1; i <= 20; ++i) {
    const std::wstring name = L"doc " + std::to_wstring(i);
    EXPECT_TRUE(Contains(testbed::PdfText(dir + L"\\" + name + L".pdf"), L"Text of " + name + L".docx.")) << name;
  }
  ASSERT_TRUE(DeleteFileW(settings.logFile.c_str()));
  settings.exportFailPattern = L"*doc 10.docx";
  EXPECT_EQ(1, Export(L"/via:word " + paths));
  EXPECT_EQ(2u, WordsStarted()) << "the failed document's Word replaced";
  EXPECT_EQ(1u, LinesStarting(ReportLines(dir + L"\\" + report), L"failed").size());
  EXPECT_TRUE(testbed::WaitNoStandIns(std::chrono::seconds(15))) << "a Word is left";
}

TEST_F(CommandLine, AReportGivenAsItsOwnListRerunsWhatFailedAndARefusedLineLeavesNoOldReport) {
  const std::wstring a = Document(L"a.docx");
  const std::wstring b = Document(L"b.docx");
  settings.openFailPattern = L"*b.docx";
  EXPECT_EQ(1, Export(Quoted(a) + L" " + Quoted(b)));
  ASSERT_EQ(1u, LinesStarting(ReportLines(dir + L"\\" + report), L"failed").size());

  settings.openFailPattern.clear();
  EXPECT_EQ(0, Export(L"/list:" + report)) << "the failed document again, from the report it is rewriting";
  auto lines = WithoutNotes(ReportLines(dir + L"\\" + report));
  ASSERT_EQ(2u, lines.size());
  EXPECT_TRUE(lines[0].rfind(L"exported\t", 0) == 0 && Contains(lines[0], b)) << lines[0];
  EXPECT_TRUE(testbed::PdfInfoAccepts(dir + L"\\b.pdf"));

  // A mistyped switch before /report: the old report does not stand for this run.
  Started refused(L"/export /exprot /report:" + Quoted(report) + L" " + Quoted(a), dir);
  EXPECT_EQ(3, refused.ExitCode(20));
  lines = ReportLines(dir + L"\\" + report);
  ASSERT_EQ(2u, lines.size());
  EXPECT_TRUE(lines[0].rfind(L"error\t", 0) == 0 && Contains(lines[0], L"/exprot")) << lines[0];
  EXPECT_EQ(0u, boxes);
}

TEST_F(CommandLine, AListAsWindowsWritesItExportsEveryDocument) {
  // In UTF-16, a name outside ASCII quoted as Explorer copies a path, and a relative line that
  // is the list's folder's, not the program's current folder.
  const std::wstring greeting = Document(L"Gr\u00FC\u00DFe.docx");
  const std::wstring memo = Document(L"memo.docx");
  const std::wstring lists = dir + L"\\lists";
  ASSERT_TRUE(CreateDirectoryW(lists.c_str(), nullptr));
  ASSERT_TRUE(WriteFileBytes(lists + L"\\list.txt", Utf16File(Quoted(greeting) + L"\r\n..\\memo.docx\r\n")));

  EXPECT_EQ(0, Export(L"/list:lists\\list.txt"));
  EXPECT_EQ(2u, LinesStarting(ReportLines(dir + L"\\" + report), L"exported").size());
  EXPECT_TRUE(testbed::PdfInfoAccepts(dir + L"\\Gr\u00FC\u00DFe.pdf"));
  EXPECT_TRUE(testbed::PdfInfoAccepts(dir + L"\\memo.pdf"));
  EXPECT_EQ(0u, boxes);
}

TEST_F(CommandLine, TheSessionEndingMidRunLeavesTheReportWholeAndTheOldPdfBack) {
  const std::wstring a = Document(L"a.docx");
  ASSERT_TRUE(WriteFileBytes(dir + L"\\a.pdf", "%PDF-1.4 the old one"));
  settings.pdfDelayMs = 120000;  // the session ends while the PDF is awaited
  testbed::Apply(settings);
  Started run(L"/export /report:" + Quoted(report) + L" " + Quoted(a), dir);
  const HWND window = run.Window();
  ASSERT_TRUE(window);
  const auto saved = [](const std::vector<testbed::LogEntry>& log) { return !testbed::MessagesTo(log, L"save").empty(); };
  ASSERT_TRUE(saved(testbed::WaitForLog(settings.logFile, saved, std::chrono::seconds(60))));

  DWORD_PTR answer = FALSE;
  ASSERT_TRUE(SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 10000, &answer));
  EXPECT_EQ(static_cast<DWORD_PTR>(TRUE), answer) << "the session may end";
  // Every top-level window is told; the process may be ended once all have returned.
  std::vector<HWND> windows = HiddenWindows(run.Pid(), tavrolin::kSessionEndClass);
  ASSERT_EQ(1u, windows.size()) << "the window that holds the end";
  windows.insert(windows.begin(), window);
  for (HWND told : windows) SendMessageTimeoutW(told, WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, 10000, &answer);
  run.Terminate();

  const auto lines = WithoutNotes(ReportLines(dir + L"\\" + report));
  ASSERT_EQ(2u, lines.size()) << "the document and the totals";
  EXPECT_TRUE(lines[0].rfind(L"stopped\t", 0) == 0 && Contains(lines[0], a)) << lines[0];
  EXPECT_TRUE(lines[1].rfind(L"total\t", 0) == 0 && Contains(lines[1], L"stopped")) << lines[1];
  EXPECT_EQ("%PDF-1.4 the old one", ReadFileBytes(dir + L"\\a.pdf")) << "the old PDF is back";
  EXPECT_FALSE(PathExists(dir + L"\\~$a.pdf.tavrolin-aside"));
  EXPECT_TRUE(testbed::WaitNoStandIns(std::chrono::seconds(15))) << "a Word is left";
}

TEST_F(CommandLine, NoWordRegisteredEndsWithCodeFourBeforeAnyDocument) {
  const std::wstring a = Document(L"a.docx");
  ASSERT_TRUE(WriteFileBytes(dir + L"\\a.pdf", "%PDF-1.4 the old one"));
  unregistered = true;
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    HKEY classes = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Classes", 0, KEY_ALL_ACCESS | view, &classes) == ERROR_SUCCESS) {
      RegDeleteTreeW(classes, L"Word.Application");
      RegCloseKey(classes);
    }
  }
  EXPECT_EQ(4, Export(Quoted(a), 20));
  const auto lines = ReportLines(dir + L"\\" + report);
  ASSERT_EQ(2u, lines.size());
  EXPECT_TRUE(lines[0].rfind(L"error\t", 0) == 0 && Contains(lines[0], L"not registered")) << lines[0];
  EXPECT_EQ("%PDF-1.4 the old one", ReadFileBytes(dir + L"\\a.pdf"));
  EXPECT_EQ(0u, WordsStarted());
}

TEST_F(CommandLine, WordRefusingThePrinterEndsTheRunAtTheFirstDocumentWithCodeFour) {
  settings.rejectPrinterPattern = L"PDF Printer";
  EXPECT_EQ(4, Export(Quoted(Document(L"a.docx")) + L" " + Quoted(Document(L"b.docx"))));
  const auto lines = WithoutNotes(ReportLines(dir + L"\\" + report));
  ASSERT_EQ(3u, lines.size()) << "the first document, the reason, the totals";
  EXPECT_TRUE(Contains(lines[0], L"ActivePrinter")) << lines[0];
  EXPECT_EQ(1u, WordsStarted()) << "no second Word";
  EXPECT_EQ(0u, boxes);
}

TEST_F(CommandLine, ABadCommandLineEndsWithCodeThreeAndTouchesNothing) {
  const std::wstring a = Document(L"a.docx");
  const std::pair<std::wstring, std::wstring> rows[] = {
      {L"/exprot " + Quoted(a), L"Unknown switch"},
      {L"/list:missing.txt", L"missing.txt"},
      {L"", L"No document"},
  };
  for (const auto& [arguments, says] : rows) {
    EXPECT_EQ(3, Export(arguments, 20)) << arguments;
    const auto lines = ReportLines(dir + L"\\" + report);
    EXPECT_TRUE(!lines.empty() && Contains(lines[0], says)) << arguments;
  }
  EXPECT_FALSE(PathExists(dir + L"\\a.pdf"));
  EXPECT_EQ(0u, WordsStarted());
  EXPECT_EQ(0u, boxes);
}

}  // namespace
