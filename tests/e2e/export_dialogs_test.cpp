// One document exported through each save dialog a printer may show: the hand-made one, the
// platform's own (with and without a suggested name, in German and in Japanese), the Windows
// 10/11 shape (in English and German) and the item dialog; one that refuses the path, one whose
// Save ignores posted clicks, one shown while PrintOut has not returned (as Windows' own PDF
// printer asks), one after a progress window; and one while another program's save dialog is
// open.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "driver/doclist_driver.h"
#include "driver/driver.h"
#include "driver/export_driver.h"
#include "testbed/client/testbed_client.h"

using namespace e2e;
namespace testbed = tavrolin::testbed;

namespace {

bool Contains(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }

// Whole: it begins as a PDF and ends with its end-of-file mark.
bool CompletePdf(const std::wstring& path) {
  const std::string bytes = ReadFileBytes(path);
  const std::size_t tail = bytes.size() > 1024 ? bytes.size() - 1024 : 0;
  return bytes.rfind("%PDF-", 0) == 0 && bytes.find("%%EOF", tail) != std::string::npos;
}

struct Scenario {
  const char* name;
  std::function<void(testbed::Settings&)> arrange;
  bool refused = false;  // the dialog refuses the path: an error instead of "Done."
  const wchar_t* document = L"memo";
  bool otherDialogOpen = false;  // another program's save dialog, in German, open before the run
  const wchar_t* title = nullptr;  // the title the printer's dialog had
};

// The log's messages from one process to one of its dialog's windows.
std::vector<testbed::LogEntry> MessagesOf(const std::vector<testbed::LogEntry>& log, DWORD pid,
                                          const std::wstring& window) {
  std::vector<testbed::LogEntry> found;
  for (const auto& m : testbed::MessagesTo(log, window)) {
    if (m.pid == pid) found.push_back(m);
  }
  return found;
}

class ExportDialogs : public ExportScenario<::testing::TestWithParam<Scenario>> {
 protected:
  void SetUp() override { Arrange(L"export_dialogs", kScenarioBounds); }
};

TEST_P(ExportDialogs, TheDocumentsPdfComesBesideItOrTheRefusalNamesIt) {
  const Scenario& s = GetParam();
  const std::wstring name(s.name, s.name + strlen(s.name));
  const std::wstring document = dir + L"\\" + s.document + L".docx";
  const std::wstring pdf = dir + L"\\" + s.document + L".pdf";
  ASSERT_TRUE(WriteFileBytes(document, "Memo.\r\nBring the keys.\r\n"));
  s.arrange(settings);
  DWORD other = 0;  // the process of another program's save dialog
  if (s.otherDialogOpen) {
    testbed::Apply(settings);
    ASSERT_TRUE(testbed::StartPrintJobProcess(testbed::ServerPath(), dir + L"\\other.docx", L"de_DE.UTF-8", L""));
    const auto shown = testbed::WaitForLog(
        settings.logFile, [](const auto& entries) { return !testbed::EventsOf(entries, L"dialog-title").empty(); },
        std::chrono::seconds(30));
    const auto titles = testbed::EventsOf(shown, L"dialog-title");
    ASSERT_FALSE(titles.empty()) << "the other program's dialog did not show";
    EXPECT_EQ(L"Speichern als", titles.front().detail) << "in German";
    other = titles.front().pid;
  }
  ASSERT_NO_FATAL_FAILURE(StartExport({document}));

  if (s.refused) {
    const auto log = testbed::WaitForLog(
        settings.logFile, [](const auto& entries) { return !testbed::EventsOf(entries, L"save-refused").empty(); },
        std::chrono::seconds(60));
    ASSERT_FALSE(testbed::EventsOf(log, L"save-refused").empty()) << "Save was never pressed";
    const auto clicked = std::chrono::steady_clock::now();
    const auto box = WaitForMessageBox(app->Pid(), 30);
    ASSERT_TRUE(box.has_value());
    EXPECT_LT(std::chrono::steady_clock::now() - clicked, std::chrono::seconds(10)) << "the error comes at once";
    EXPECT_TRUE(Contains(box->text, document)) << box->text;
    EXPECT_TRUE(Contains(box->text, L"refused the file name")) << box->text;
    EXPECT_TRUE(Contains(box->text, L"permission")) << "the dialog's own reason is passed on: " << box->text;
    HWND left = FindWindowW(L"#32770", L"Save As");
    EXPECT_TRUE(!left || !IsWindowVisible(left)) << "no \"Save As\" is left open";
    SaveScreenshot(nullptr, ScreenshotDir() + L"\\export_dialogs_" + name + L".bmp");
    ASSERT_TRUE(AnswerMessageBox(*box, L"OK"));
    EXPECT_FALSE(PathExists(pdf));
    return;
  }
  const auto done = WaitForMessageBox(app->Pid(), 120);
  ASSERT_TRUE(done.has_value());
  EXPECT_EQ(L"Done.", done->text);
  SaveScreenshot(nullptr, ScreenshotDir() + L"\\export_dialogs_" + name + L".bmp");
  ASSERT_TRUE(AnswerMessageBox(*done, L"OK"));
  EXPECT_TRUE(CompletePdf(pdf)) << "the PDF is beside its document, whole";
  const auto log = testbed::ReadLog(settings.logFile);
  EXPECT_TRUE(testbed::MessagesTo(log, L"address").empty()) << "the address bar's edit received nothing";
  EXPECT_EQ(1u, testbed::EventsOf(log, L"pdf-written").size());
  EXPECT_TRUE(testbed::MessagesTo(log, L"progress").empty()) << "the progress window received nothing";
  if (s.title) {
    const auto titles = testbed::EventsOf(log, L"dialog-title");
    ASSERT_FALSE(titles.empty());
    EXPECT_EQ(s.title, titles.back().detail);
  }
  if (other) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, other);
    EXPECT_TRUE(process && WaitForSingleObject(process, 0) == WAIT_TIMEOUT) << "the other program's dialog is open";
    if (process) CloseHandle(process);
    for (const auto& m : MessagesOf(log, other, L"edit")) EXPECT_NE(static_cast<unsigned>(WM_CHAR), m.msg) << "typed into";
    for (const auto& m : MessagesOf(log, other, L"save")) EXPECT_NE(static_cast<unsigned>(WM_LBUTTONUP), m.msg) << "clicked";
    for (const auto& e : testbed::EventsOf(log, L"save-pressed")) EXPECT_NE(other, e.pid) << "saved";
  }
  if (settings.ignorePostedClick) {
    bool pressedAgain = false;
    for (const auto& m : testbed::MessagesTo(log, L"dialog")) pressedAgain |= m.msg == WM_COMMAND && m.wParam == IDOK;
    EXPECT_TRUE(pressedAgain) << "Save was pressed once more through its command";
  }
}

const Scenario kScenarios[] = {
    {"plain", [](testbed::Settings& t) { t.saveAsDialog = L"plain"; }},
    {"system", [](testbed::Settings& t) { t.saveAsDialog = L"system"; }},
    {"system_suggested_name", [](testbed::Settings& t) { t.suggestedName = L"Memo.pdf"; }},
    {"windows", [](testbed::Settings& t) { t.saveAsDialog = L"windows"; t.suggestedName = L"Memo.pdf"; }},
    {"itemdialog", [](testbed::Settings& t) { t.saveAsDialog = L"itemdialog"; t.suggestedName = L"Memo.pdf"; }},
    {"refuses_path", [](testbed::Settings& t) { t.refusePath = true; }, true},
    {"save_ignores_posted_click", [](testbed::Settings& t) { t.ignorePostedClick = true; }},
    {"dialog_during_print_out", [](testbed::Settings& t) { t.dialogDuringPrintOut = true; }},
    // The platform's own dialog with its own title, as a German and a Japanese system show it.
    {"system_german", [](testbed::Settings& t) { t.dialogLocale = L"de_DE.UTF-8"; }, false, L"memo", false,
     L"Speichern als"},
    {"system_japanese", [](testbed::Settings& t) { t.dialogLocale = L"ja_JP.UTF-8"; }, false,
     L"\u8b70\u4e8b\u9332", false, L"\u540d\u524d\u3092\u4ed8\u3051\u3066\u4fdd\u5b58"},
    // Windows' own PDF printer: its item dialog, asked while PrintOut has not returned.
    {"itemdialog_save_print_output_as",
     [](testbed::Settings& t) {
       t.saveAsDialog = L"itemdialog";
       t.dialogTitle = L"Save Print Output As";
       t.dialogDuringPrintOut = true;
     },
     false, L"memo", false, L"Save Print Output As"},
    {"windows_german",
     [](testbed::Settings& t) {
       t.saveAsDialog = L"windows";
       t.dialogTitle = L"Speichern unter";
       t.saveButtonText = L"&Speichern";
       t.suggestedName = L"Memo.pdf";
     },
     false, L"memo", false, L"Speichern unter"},
    {"progress_window_first", [](testbed::Settings& t) { t.progressWindowMs = 3000; }},
    {"another_programs_german_dialog_open", [](testbed::Settings&) {}, false, L"memo", true},
};

INSTANTIATE_TEST_SUITE_P(Dialogs, ExportDialogs, ::testing::ValuesIn(kScenarios),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
