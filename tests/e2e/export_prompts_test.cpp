// Documents and moments at which a hidden Word would ask something nobody can answer: a
// protected document, files not in Word's format, a damaged document, a field that asks for its
// text at printing, Word still printing when it is told to quit, and Windows making the PDF
// printer the default when the job ends.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <memory>
#include <string>

#include "app/control_ids.h"
#include "driver/doclist_driver.h"
#include "driver/driver.h"
#include "driver/export_driver.h"
#include "testbed/client/testbed_client.h"

using namespace e2e;
namespace testbed = tavrolin::testbed;
using Clock = std::chrono::steady_clock;

namespace {

bool Contains(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

class ExportPrompts : public ExportScenario<> {
 protected:
  // Longer than any of these cases needs: a prompt waited on would show as a bound's message.
  void SetUp() override { Arrange(L"prompts_" + CurrentTestName(), kScenarioBounds); }

  void Export(const std::vector<std::wstring>& documents) {
    StartExport(documents);
    pressed = Clock::now();  // the press is StartExport's last step
  }
  std::vector<testbed::LogEntry> Prompts() { return testbed::EventsOf(testbed::ReadLog(settings.logFile), L"prompt"); }

  Clock::time_point pressed;
};

TEST_F(ExportPrompts, AProtectedDocumentEndsTheRunAtOnceWithAMessageThatItNeedsAPassword) {
  const std::wstring document = dir + L"\\Salaries 2026.docx";
  ASSERT_TRUE(CopyFileW((testbed::FixturesDirectory() + L"\\protected.docx").c_str(), document.c_str(), FALSE));
  Export({document});

  const auto box = WaitForMessageBox(app->Pid(), 10);
  ASSERT_TRUE(box.has_value()) << "no message within 10 seconds of the document's start";
  EXPECT_LT(SecondsSince(pressed), 10.0);
  EXPECT_TRUE(Contains(box->text, document)) << box->text;
  EXPECT_TRUE(Contains(box->text, L"protected by a password")) << box->text;
  EXPECT_TRUE(Prompts().empty()) << "Word asked for the password";
  SaveScreenshot(nullptr, ScreenshotDir() + L"\\export_prompts_password.bmp");
  ASSERT_TRUE(AnswerMessageBox(*box, L"OK"));
  PressButton(app->Control(tavrolin::kIdCheck3));
  const auto help = WaitForMessageBox(app->Pid(), 20);
  EXPECT_TRUE(help && Contains(help->text, L"Anti-virus")) << "the window still answers";
  if (help) AnswerMessageBox(*help, L"OK");
  EXPECT_TRUE(testbed::WaitNoStandIns(std::chrono::seconds(15))) << "a Word is left";
}

TEST_F(ExportPrompts, TextOutsideAsciiAndOpenDocumentTextAreExportedWithoutAQuestion) {
  settings.confirmConversions = true;
  const std::wstring text = dir + L"\\menu.txt";
  const std::wstring odt = dir + L"\\notes.odt";
  ASSERT_TRUE(WriteFileBytes(text, "Caf\xE9 cr\xE8me, cr\xEApes\r\n"));
  ASSERT_TRUE(CopyFileW((testbed::FixturesDirectory() + L"\\notes.odt").c_str(), odt.c_str(), FALSE));
  Export({text, odt});

  const auto done = WaitForMessageBox(app->Pid(), 120);
  ASSERT_TRUE(done.has_value());
  EXPECT_EQ(L"Done.", done->text);
  AnswerMessageBox(*done, L"OK");
  EXPECT_TRUE(testbed::PdfInfoAccepts(dir + L"\\menu.pdf"));
  EXPECT_TRUE(testbed::PdfInfoAccepts(dir + L"\\notes.pdf"));
  EXPECT_TRUE(Prompts().empty()) << testbed::ReadLog(settings.logFile).size();
}

// Cut short by a copy that stopped: what can be read is exported; a document with nothing
// readable ends the run with Word's reason, naming it.
TEST_F(ExportPrompts, ADamagedDocumentExportsWhatCanBeReadAndOneWithNothingFailsNamingIt) {
  const std::wstring damaged = dir + L"\\Board minutes.docx";
  const std::wstring nothing = dir + L"\\Lost minutes.docx";
  ASSERT_TRUE(CopyFileW((testbed::FixturesDirectory() + L"\\damaged.docx").c_str(), damaged.c_str(), FALSE));
  ASSERT_TRUE(CopyFileW((testbed::FixturesDirectory() + L"\\unreadable.docx").c_str(), nothing.c_str(), FALSE));
  Export({damaged, nothing});

  // 15 seconds a document at most.
  const auto box = WaitForMessageBox(app->Pid(), 30);
  ASSERT_TRUE(box.has_value()) << "no message within 30 seconds of the press";
  EXPECT_LT(SecondsSince(pressed), 30.0);
  EXPECT_TRUE(Contains(box->text, nothing)) << box->text;
  EXPECT_TRUE(Contains(box->text, L"can't open Lost minutes.docx")) << box->text;
  const std::wstring text = testbed::PdfText(dir + L"\\Board minutes.pdf");
  EXPECT_TRUE(Contains(text, L"Read before the cut")) << std::string(text.begin(), text.end());
  EXPECT_FALSE(Contains(text, L"Lost in the cut"));
  EXPECT_TRUE(Prompts().empty()) << "Word asked whether to recover the document";
  SaveScreenshot(nullptr, ScreenshotDir() + L"\\export_prompts_damaged.bmp");
  AnswerMessageBox(*box, L"OK");
  EXPECT_TRUE(testbed::WaitNoStandIns(std::chrono::seconds(15))) << "a Word is left";
}

// The user's Word updates fields before printing, which would ask for a FILLIN field's text.
TEST_F(ExportPrompts, AFillInFieldExportsWithoutAQuestionAndTheUsersOptionStaysOn) {
  settings.updateFieldsAtPrint = true;
  const std::wstring letter = dir + L"\\Letter.docx";
  ASSERT_TRUE(CopyFileW((testbed::FixturesDirectory() + L"\\fillin.docx").c_str(), letter.c_str(), FALSE));
  Export({letter});

  const auto done = WaitForMessageBox(app->Pid(), 60);
  ASSERT_TRUE(done.has_value());
  EXPECT_EQ(L"Done.", done->text);
  AnswerMessageBox(*done, L"OK");
  EXPECT_TRUE(Contains(testbed::PdfText(dir + L"\\Letter.pdf"), L"Dear Ms Example"));
  EXPECT_TRUE(Prompts().empty()) << "Word asked for the field's text";
  EXPECT_TRUE(testbed::WaitNoStandIns(std::chrono::seconds(15)));
  EXPECT_EQ(1u, testbed::CallsOf(testbed::ReadLog(settings.logFile), L"Quit").size()) << "Word quit";
  EXPECT_TRUE(testbed::Current().updateFieldsAtPrint) << "the user's option after the run";
}

// Word counts its job as printing in the background for 5 s after PrintOut returns; Windows
// makes the PDF printer the default when the job ends, a second after the dialog is completed,
// after the program has put the user's default back once.
TEST_F(ExportPrompts, WordStillPrintingQuitsByItselfOnceDoneAndTheDefaultPrinterIsTheUsers) {
  settings.backgroundPrintMs = 5000;
  settings.managedDefaultPrinter = true;
  settings.pdfDelayMs = 1000;
  const std::wstring document = dir + L"\\memo.docx";
  ASSERT_TRUE(CopyFileW((testbed::SamplesDirectory() + L"\\report.docx").c_str(), document.c_str(), FALSE));
  ASSERT_EQ(L"Office Laser", testbed::DefaultPrinter());
  Export({document});

  const auto written = [](const std::vector<testbed::LogEntry>& log) {
    return !testbed::EventsOf(log, L"pdf-written").empty();
  };
  ASSERT_TRUE(written(testbed::WaitForLog(settings.logFile, written, std::chrono::seconds(60))));
  const auto pdfAt = Clock::now();
  EXPECT_TRUE(testbed::WaitNoStandIns(std::chrono::seconds(30)));
  EXPECT_LT(SecondsSince(pdfAt), 8.0) << "from the PDF to Word gone";

  const auto log = testbed::ReadLog(settings.logFile);
  EXPECT_TRUE(Prompts().empty()) << "Word was told to quit while it was printing";
  ASSERT_EQ(1u, testbed::CallsOf(log, L"Quit").size());
  EXPECT_EQ(0, testbed::CallsOf(log, L"Quit")[0].hr);
  bool endedNormally = false;
  for (const auto& e : testbed::EventsOf(log, L"exit")) endedNormally = endedNormally || e.detail.empty();
  EXPECT_TRUE(endedNormally) << "Word was ended instead of quitting";

  const auto done = WaitForMessageBox(app->Pid(), 60);
  ASSERT_TRUE(done.has_value());
  EXPECT_EQ(L"Done.", done->text);
  EXPECT_TRUE(testbed::PdfInfoAccepts(dir + L"\\memo.pdf"));
  EXPECT_EQ(L"Office Laser", testbed::DefaultPrinter()) << "the user's default printer after the run";
  AnswerMessageBox(*done, L"OK");
}

}  // namespace
