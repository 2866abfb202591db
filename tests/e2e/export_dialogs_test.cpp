// One document exported through each "Save As" dialog a printer may show: the hand-made one, the
// platform's own (with and without a suggested name), the Windows 10/11 shape and the item
// dialog; one that refuses the path, one whose Save ignores posted clicks, and one shown while
// PrintOut has not returned.
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
};

class ExportDialogs : public ExportScenario<::testing::TestWithParam<Scenario>> {
 protected:
  void SetUp() override { Arrange(L"export_dialogs", L"dialog=30;pdf=30;call=30"); }
};

TEST_P(ExportDialogs, TheDocumentsPdfComesBesideItOrTheRefusalNamesIt) {
  const Scenario& s = GetParam();
  const std::wstring name(s.name, s.name + strlen(s.name));
  const std::wstring document = dir + L"\\memo.docx";
  const std::wstring pdf = dir + L"\\memo.pdf";
  ASSERT_TRUE(WriteFileBytes(document, "Memo.\r\nBring the keys.\r\n"));
  s.arrange(settings);
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
};

INSTANTIATE_TEST_SUITE_P(Dialogs, ExportDialogs, ::testing::ValuesIn(kScenarios),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
