// Word that hangs, dies or never prints, a stop and a closed window, each as a user meets them
// with their own Word open: afterwards no Word of the run is left, the system's default printer
// is what it was, and the user's Word is still there.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>

#include "driver/doclist_driver.h"
#include "driver/driver.h"
#include "driver/export_driver.h"
#include "app/control_ids.h"
#include "testbed/client/testbed_client.h"

using namespace e2e;
namespace testbed = tavrolin::testbed;

namespace {

bool Contains(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }

enum class Then { Message, Stop, Close };

struct Scenario {
  const char* name;
  std::function<void(testbed::Settings&)> arrange;
  Then then;
  // The moment to stop or close at: a log entry the stand-in writes then.
  std::function<bool(const std::vector<testbed::LogEntry>&)> reached;
  std::wstring says;  // what the message says, besides the document
  bool office32 = false;  // Word registered as 32-bit Office on 64-bit Windows registers it
};

bool Hung(const std::vector<testbed::LogEntry>& log) { return !testbed::EventsOf(log, L"hang").empty(); }
bool Printed(const std::vector<testbed::LogEntry>& log) { return !testbed::EventsOf(log, L"printed").empty(); }
bool Saved(const std::vector<testbed::LogEntry>& log) { return !testbed::MessagesTo(log, L"save").empty(); }

class ExportWord : public ExportScenario<::testing::TestWithParam<Scenario>> {
 protected:
  void SetUp() override { Arrange(L"export_word", L"dialog=5;pdf=5;call=5"); }
  void TearDown() override {
    ExportScenario::TearDown();
    if (GetParam().office32) {
      EXPECT_TRUE(testbed::RegisterServer(false));
    }
  }
  // Every stand-in process but the user's.
  std::vector<DWORD> RunsWords(DWORD users) {
    auto pids = testbed::StandInProcesses();
    pids.erase(std::remove(pids.begin(), pids.end(), users), pids.end());
    return pids;
  }
};

TEST_P(ExportWord, NoWordOfTheRunIsLeftAndThePrinterAndTheUsersWordAreAsBefore) {
  const Scenario& s = GetParam();
  const std::wstring document = dir + L"\\memo.docx";
  ASSERT_TRUE(WriteFileBytes(document, "Memo.\r\n"));
  // No new PDF is finished in any of these, so the old one must be there afterwards.
  const std::wstring oldPdf = dir + L"\\memo.pdf";
  ASSERT_TRUE(WriteFileBytes(oldPdf, "%PDF-1.4 the old one"));
  const std::wstring printerBefore = testbed::DefaultPrinter();
  ASSERT_EQ(L"Office Laser", printerBefore);
  testbed::RunningWord users;
  ASSERT_TRUE(users.Start());

  if (s.office32) {
    ASSERT_TRUE(testbed::RegisterServer(true));
  }
  s.arrange(settings);
  ASSERT_NO_FATAL_FAILURE(StartExport({document}));
  const auto question = WaitForMessageBox(app->Pid(), 60);
  ASSERT_TRUE(question && Contains(question->text, L"Word may be open.")) << "the user's Word is seen";
  ASSERT_TRUE(AnswerMessageBox(*question, L"&Yes"));

  if (s.then != Then::Message) {
    const auto log = testbed::WaitForLog(settings.logFile, s.reached, std::chrono::seconds(60));
    ASSERT_TRUE(s.reached(log)) << "the run did not reach the moment";
  }
  if (s.then == Then::Close) {
    // As the close box does; the run unwinds behind a window that is already gone.
    const HWND window = app->Window();
    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(window) || !IsWindowVisible(window); }, 1))
        << "the window is still there a second after the close";
    EXPECT_TRUE(app->WaitExit(15)) << "the program ends within seconds, asking nothing";
  }
  if (s.then == Then::Stop) {
    PressButton(app->Control(tavrolin::kIdCheck2));
    const auto ask = WaitForMessageBox(app->Pid(), 30);
    ASSERT_TRUE(ask && Contains(ask->text, L"stop")) << (ask ? ask->text : L"");
    ASSERT_TRUE(AnswerMessageBox(*ask, L"&Yes"));
  }
  if (s.then != Then::Close) {
    const auto box = WaitForMessageBox(app->Pid(), 60);
    ASSERT_TRUE(box.has_value());
    EXPECT_TRUE(Contains(box->text, document)) << box->text;
    EXPECT_TRUE(Contains(box->text, s.says)) << box->text;
    EXPECT_FALSE(Contains(box->text, L"cancelled")) << box->text;
    SaveScreenshot(nullptr, ScreenshotDir() + L"\\export_word_" + std::wstring(s.name, s.name + strlen(s.name)) + L".bmp");
    ASSERT_TRUE(AnswerMessageBox(*box, L"OK"));
    PressButton(app->Control(tavrolin::kIdCheck3));
    const auto help = WaitForMessageBox(app->Pid(), 20);
    EXPECT_TRUE(help && Contains(help->text, L"Anti-virus")) << "the window still answers";
    if (help) AnswerMessageBox(*help, L"OK");
  }

  EXPECT_TRUE(WaitFor([&] { return RunsWords(users.ProcessId()).empty(); }, 15)) << "a Word of the run is left";
  EXPECT_TRUE(WaitFor([&] { return testbed::DefaultPrinter() == printerBefore; }, 10))
      << "the default printer is " << std::string(testbed::DefaultPrinter().begin(), testbed::DefaultPrinter().end());
  EXPECT_TRUE(users.Running()) << "the user's own Word was touched";
  EXPECT_EQ("%PDF-1.4 the old one", ReadFileBytes(oldPdf)) << "the old PDF is back, byte for byte";
}

const Scenario kScenarios[] = {
    {"OpenNeverReturns", [](testbed::Settings& t) { t.hangMember = L"OpenNoRepairDialog"; t.hangForever = true; },
     Then::Message, nullptr, L"Word did not answer within 5 seconds. That Word instance was ended."},
    {"PrintOutNeverReturns", [](testbed::Settings& t) { t.hangMember = L"PrintOut"; t.hangForever = true; },
     Then::Message, nullptr, L"That Word instance was ended."},
    {"WordDiesInPrintOut", [](testbed::Settings& t) { t.dieMember = L"PrintOut"; }, Then::Message, nullptr,
     L"That Word instance had ended by itself."},
    {"NoDialog", [](testbed::Settings& t) { t.noDialog = true; }, Then::Message, nullptr,
     L"That Word instance was closed."},
    {"NoPdf", [](testbed::Settings& t) { t.pdfDelayMs = 120000; }, Then::Message, nullptr,
     L"That Word instance was closed."},
    {"StopWhileACallHangs", [](testbed::Settings& t) { t.hangMember = L"PrintOut"; t.hangForever = true; },
     Then::Stop, Hung, L"The export was stopped."},
    {"CloseWhileACallHangs",
     [](testbed::Settings& t) { t.hangMember = L"OpenNoRepairDialog"; t.hangForever = true; }, Then::Close, Hung,
     L""},
    {"CloseWhileTheDialogIsAwaited", [](testbed::Settings& t) { t.noDialog = true; }, Then::Close, Printed, L""},
    {"CloseWhileThePdfIsAwaited", [](testbed::Settings& t) { t.pdfDelayMs = 120000; }, Then::Close, Saved, L""},
    {"Office32OpenNeverReturns",
     [](testbed::Settings& t) { t.hangMember = L"OpenNoRepairDialog"; t.hangForever = true; }, Then::Message,
     nullptr, L"Word did not answer within 5 seconds. That Word instance was ended.", true},
};

INSTANTIATE_TEST_SUITE_P(Word, ExportWord, ::testing::ValuesIn(kScenarios),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
