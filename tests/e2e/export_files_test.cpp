// The user's files through an export: the old PDF survives every end of a run that does not
// produce a new one, "Done." waits for the printer to finish, and long paths work throughout.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <cstring>
#include <memory>

#include "common/window_pointer.h"
#include "driver/doclist_driver.h"
#include "driver/driver.h"
#include "driver/export_driver.h"
#include "driver/folder_driver.h"
#include "shared/test_files.h"
#include "testbed/client/testbed_client.h"

using namespace e2e;
namespace testbed = tavrolin::testbed;
using std::chrono::seconds;

namespace {

// Bytes no printer would write, so that "the same file" means byte for byte.
const std::string kOldPdf = std::string("%PDF-1.3 the user's old PDF\r\n\0\xff\x01 end", 36);

bool Contains(const std::wstring& text, const std::wstring& part) {
  return text.find(part) != std::wstring::npos;
}

// The copies set aside ("~$...") that are left in `folder`.
std::vector<std::wstring> AsideCopies(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(tavrolin::win::ListablePath(folder + L"\\~$*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do names.push_back(data.cFileName);
  while (FindNextFileW(find, &data));
  FindClose(find);
  return names;
}

class ExportFiles : public ExportScenario<> {
 protected:
  void SetUp() override { Arrange(L"export_files_" + CurrentTestName(), kScenarioBounds); }

  void Add(const std::wstring& path) {
    ASSERT_TRUE(AddFilesThroughDialog(*app, {path})) << path;
    ASSERT_TRUE(WaitForListTexts(app->Control(tavrolin::kIdListView1), {path}));
  }
  void PressExport() { PressButton(app->Control(tavrolin::kIdCheck2)); }
  MessageBoxView NextBox(double secondsToWait = 120) {
    auto box = WaitForMessageBox(app->Pid(), secondsToWait);
    EXPECT_TRUE(box.has_value()) << "no message box";
    return box.value_or(MessageBoxView{});
  }
};

TEST_F(ExportFiles, OpenFailsAndTheOldPdfIsThereByteForByteAlsoAfterAKilledRun) {
  const std::wstring document = dir + L"\\broken.docx";
  const std::wstring pdf = dir + L"\\broken.pdf";
  ASSERT_TRUE(WriteFileBytes(document, "Text.\r\n"));
  ASSERT_TRUE(WriteFileBytes(pdf, kOldPdf));
  settings.openFailPattern = L"*broken*";
  Start();
  Add(document);

  PressExport();
  const auto error = NextBox();
  EXPECT_TRUE(Contains(error.text, L"opening the document in Word")) << error.text;
  ASSERT_TRUE(AnswerMessageBox(error, L"OK"));
  EXPECT_EQ(ReadFileBytes(pdf), kOldPdf);
  EXPECT_TRUE(AsideCopies(dir).empty());

  // A run that was killed left its copy aside and no PDF: the next export puts it back.
  const std::wstring aside = dir + L"\\~$broken.pdf.tavrolin-aside";
  ASSERT_TRUE(MoveFileW(pdf.c_str(), aside.c_str()));
  SetFileAttributesW(aside.c_str(), FILE_ATTRIBUTE_HIDDEN);
  PressExport();
  const auto again = NextBox();
  EXPECT_TRUE(Contains(again.text, L"opening the document in Word")) << again.text;
  ASSERT_TRUE(AnswerMessageBox(again, L"OK"));
  EXPECT_EQ(ReadFileBytes(pdf), kOldPdf);
  EXPECT_FALSE(GetFileAttributesW(pdf.c_str()) & FILE_ATTRIBUTE_HIDDEN);
  EXPECT_TRUE(AsideCopies(dir).empty());
  EXPECT_TRUE(testbed::WaitNoStandIns(seconds(30)));
}

TEST_F(ExportFiles, AStopDuringTheWaitForThePdfPutsTheOldOneBack) {
  const std::wstring document = dir + L"\\memo.docx";
  const std::wstring pdf = dir + L"\\memo.pdf";
  ASSERT_TRUE(WriteFileBytes(document, "Memo.\r\n"));
  ASSERT_TRUE(WriteFileBytes(pdf, kOldPdf));
  settings.pdfDelayMs = 120000;  // longer than the test waits
  Start();
  Add(document);

  PressExport();
  const auto log = testbed::WaitForLog(
      settings.logFile, [](const auto& entries) { return !testbed::EventsOf(entries, L"dialog-closed").empty(); },
      std::chrono::milliseconds(60000));
  ASSERT_FALSE(testbed::EventsOf(log, L"dialog-closed").empty());
  EXPECT_FALSE(PathExists(pdf)) << "set aside while the run waits";
  PressExport();
  const auto question = NextBox(30);
  EXPECT_EQ(question.text, L"An export is running. Do you want to stop it?");
  ASSERT_TRUE(AnswerMessageBox(question, L"&Yes"));
  const auto stopped = NextBox(60);
  EXPECT_TRUE(Contains(stopped.text, L"The export was stopped.")) << stopped.text;
  EXPECT_EQ(ReadFileBytes(pdf), kOldPdf) << "already back while the message shows";
  ASSERT_TRUE(AnswerMessageBox(stopped, L"OK"));
  EXPECT_TRUE(testbed::WaitNoStandIns(seconds(30)));
  EXPECT_EQ(ReadFileBytes(pdf), kOldPdf);
  EXPECT_TRUE(AsideCopies(dir).empty());
}

TEST_F(ExportFiles, DoneShowsOnlyOnceThePrinterHasFinishedWritingThePdf) {
  const std::wstring document = dir + L"\\report.docx";
  const std::wstring pdf = dir + L"\\report.pdf";
  ASSERT_TRUE(CopyFileW((testbed::SamplesDirectory() + L"\\report.docx").c_str(), document.c_str(), FALSE));
  ASSERT_TRUE(WriteFileBytes(pdf, kOldPdf));
  settings.pdfWriteMs = 3000;
  Start();
  Add(document);

  PressExport();
  const auto done = NextBox();
  const std::string atDone = ReadFileBytes(pdf);
  EXPECT_EQ(done.text, L"Done.");
  SaveScreenshot(nullptr, ScreenshotDir() + L"\\export_files_done_after_slow_printer.bmp");
  EXPECT_FALSE(testbed::EventsOf(testbed::ReadLog(settings.logFile), L"pdf-started").empty())
      << "the printer wrote slowly, or this test proves nothing";
  EXPECT_TRUE(testbed::PdfInfoAccepts(pdf));
  ASSERT_TRUE(AnswerMessageBox(done, L"OK"));
  EXPECT_TRUE(testbed::WaitNoStandIns(seconds(30)));
  EXPECT_EQ(ReadFileBytes(pdf), atDone) << "its bytes at Done. were its final bytes";
  EXPECT_NE(atDone, kOldPdf);
  EXPECT_TRUE(AsideCopies(dir).empty());
}

// Beyond 400 characters, as synced and shared folders are, added by a folder scan at the root
// of C: (near the top of the picker), through the platform's own dialog.
TEST_F(ExportFiles, ADocumentWithAPathBeyondTheClassicLimitIsExportedBesideItself) {
  const std::wstring folderName = L"tavrolin-long-" + std::to_wstring(GetCurrentProcessId());
  const std::wstring root = L"C:\\" + folderName;
  RemoveTree(root);
  ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
  std::wstring folder = root;
  for (int level = 0; level < 9; ++level) {
    folder += L"\\" + std::wstring(40, static_cast<wchar_t>(L'a' + level));
    ASSERT_TRUE(CreateDirectoryW(tavrolin::win::ListablePath(folder).c_str(), nullptr));
  }
  const std::wstring document = folder + L"\\Quarterly report.doc";
  const std::wstring pdf = folder + L"\\Quarterly report.pdf";
  ASSERT_GT(pdf.size(), 400u);
  ASSERT_TRUE(WriteFileBytes(tavrolin::win::ListablePath(document), "Quarterly report\r\nAll well.\r\n"));
  ASSERT_TRUE(WriteFileBytes(tavrolin::win::ListablePath(pdf), kOldPdf));
  struct Cleanup {
    std::wstring root;
    ~Cleanup() { RemoveTree(root); }
  } cleanup{root};
  // Typed into Wine's own GetSaveFileNameW, a path this long crashes the printer's process:
  // the printer is given a short path, and the PDF is moved beside the document.
  Start();

  PressButton(app->Control(tavrolin::kIdCheck4));
  ASSERT_NE(WaitForDialogWithText(app->Pid(), L"Enter file extension to load:", 20), nullptr);
  PressKey(VK_RETURN);  // "doc"
  HWND picker = WaitForDialogWithText(app->Pid(), L"Please select folder to add:", 20);
  ASSERT_NE(picker, nullptr);
  std::wstring trace;
  ASSERT_TRUE(PickInPicker(picker, StepsOnDriveC({folderName}), trace)) << std::string(trace.begin(), trace.end());
  HWND list = app->Control(tavrolin::kIdListView1);
  ASSERT_TRUE(WaitForListTexts(list, {document})) << "the list holds the path whole";
  ASSERT_TRUE(WaitFor([&] { return MousePointerOf(app->Window()) == tavrolin::kPointerDefault; }, 60));

  PressExport();
  const auto done = NextBox();
  EXPECT_EQ(done.text, L"Done.");
  ASSERT_TRUE(AnswerMessageBox(done, L"OK"));
  const std::string written = ReadFileBytes(tavrolin::win::ListablePath(pdf));
  EXPECT_NE(written, kOldPdf) << "the old PDF was replaced";
  EXPECT_EQ(written.rfind("%PDF-", 0), 0u);
  // pdfinfo on a copy: the host tools are reached through a Unix path of their own.
  const std::wstring copy = dir + L"\\long.pdf";
  ASSERT_TRUE(WriteFileBytes(copy, written));
  EXPECT_TRUE(testbed::PdfInfoAccepts(copy));
  EXPECT_TRUE(Contains(testbed::PdfText(copy), L"All well."));
  EXPECT_TRUE(AsideCopies(folder).empty());
  EXPECT_TRUE(testbed::WaitNoStandIns(seconds(30)));
}

}  // namespace
