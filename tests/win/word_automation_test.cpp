// Word automation against the stand-in Word: the calls of one document as the stand-in logged
// them (names, order, variant types), busy and hanging servers, and the running-Word question.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "common/win/files.h"
#include "common/win/pump.h"
#include "export/win/late_binding.h"
#include "export/win/com_word.h"
#include "export/word_automation.h"
#include "shared/print_out_args.h"
#include "shared/stand_in_fixture.h"
#include "testbed/client/testbed_client.h"
#include "shared/fake_pointer.h"

namespace tb = tavrolin::testbed;
using namespace std::chrono_literals;

namespace tavrolin::win {
namespace {

using tavrolin::testing::FakePointer;

// The boxes as the main window shows them, counted.
class BoxMessages final : public MessageBoxes {
 public:
  void Notify(const std::wstring& text) override { MessageBoxW(nullptr, text.c_str(), kAppTitle, MB_OK); }
  Answer AskYesNo(const std::wstring& text) override {
    ++asked;
    return MessageBoxW(nullptr, text.c_str(), kAppTitle, MB_YESNO | MB_DEFBUTTON1) == IDYES ? Answer::Yes
                                                                                            : Answer::No;
  }
  int asked = 0;
};

class WordAutomationTest : public testing::StandInTest {
 protected:
  WordAutomationTest() : StandInTest(L"tavrolin_word_") { settings_.dialogDelayMs = 100; }

  WordBounds ShortBounds() const {
    WordBounds b;
    b.busyRetrySeconds = 10;
    b.callSeconds = 20;
    b.dialog.dialogSeconds = 20;
    return b;
  }

  bool WaitForFile(const std::wstring& path, double seconds) {
    return WaitUntil(UiPump(), [&] { return FileExists(path); }, seconds);
  }

  FakePointer pointer_;
  BusyMark busy_{pointer_};
  BoxMessages messages_;
  RunStop stop_{UiPump()};
};

std::vector<tb::LogEntry> Calls(const std::vector<tb::LogEntry>& log) {
  std::vector<tb::LogEntry> calls;
  for (const auto& e : log) {
    if (e.kind == "call") calls.push_back(e);
  }
  return calls;
}

// The user's Word updates fields before printing: off for the run, and back before Quit.
TEST_F(WordAutomationTest, OneDocumentMakesExactlyTheseCallsInThisOrder) {
  settings_.updateFieldsAtPrint = true;
  Apply();
  ComWord parts(messages_, busy_, UiPump(), ShortBounds(), stop_);
  AutomatedWord& word = parts.word();
  const std::wstring output = dir_ + L"\\memo.pdf";
  std::unique_ptr<WordApplication> app;
  word.OpenWordDocument(document_, app);
  ASSERT_TRUE(app);
  word.PrintToPdfPrinter(*app, output);
  ASSERT_TRUE(WaitForFile(output, 30)) << "the stand-in printer wrote no PDF";
  word.Quit(*app);
  app.reset();
  ASSERT_TRUE(tb::WaitNoStandIns(15s));

  const auto log = Log();
  const auto calls = Calls(log);
  std::vector<std::wstring> order;
  for (const auto& c : calls) order.push_back(c.object + L"." + c.member + L":" + std::to_wstring(c.flags));
  const std::vector<std::wstring> expected = {
      L"Application.AutomationSecurity:4", L"Application.DisplayAlerts:4", L"Application.Options:2",
      L"Options.UpdateFieldsAtPrint:2",    L"Options.UpdateFieldsAtPrint:4", L"Application.Documents:2",
      L"Documents.OpenNoRepairDialog:1",   L"Application.ActivePrinter:2",  L"Application.ActivePrinter:4",
      L"Application.PrintOut:1",           L"Application.ActivePrinter:4",  L"Application.BackgroundPrintingStatus:2",
      L"Application.Options:2",            L"Options.UpdateFieldsAtPrint:4", L"Application.Documents:2",
      L"Documents.Count:2",                L"Application.Visible:2",        L"Application.UserControl:2",
      L"Application.Quit:1"};
  ASSERT_EQ(expected, order);
  for (const auto& c : calls) EXPECT_EQ(0, c.hr) << std::string(c.member.begin(), c.member.end());

  ASSERT_EQ(1u, calls[0].args.size());
  EXPECT_EQ(VT_I4, calls[0].args[0].vt);
  EXPECT_EQ(L"3", calls[0].args[0].value);
  ASSERT_EQ(1u, calls[1].args.size());
  EXPECT_EQ(VT_I4, calls[1].args[0].vt);
  EXPECT_EQ(L"0", calls[1].args[0].value) << "wdAlertsNone";
  for (const auto& [at, value] : {std::pair{4, L"0"}, std::pair{13, L"-1"}}) {
    ASSERT_EQ(1u, calls[at].args.size());
    EXPECT_EQ(VT_BOOL, calls[at].args[0].vt);
    EXPECT_EQ(value, calls[at].args[0].value);
  }
  EXPECT_TRUE(tb::Current().updateFieldsAtPrint) << "what Word wrote back when it quit";

  // The path by position and reference, then named arguments bound to Open's own parameters.
  struct Expected {
    const wchar_t* name;
    int position;
    VARTYPE vt;
    std::wstring value;
  };
  const Expected open[] = {{L"", 0, VT_BYREF | VT_BSTR, document_},
                           {L"ConfirmConversions", 1, VT_BOOL, L"0"},
                           {L"ReadOnly", 2, VT_BOOL, L"-1"},
                           {L"AddToRecentFiles", 3, VT_BOOL, L"0"},
                           {L"PasswordDocument", 4, VT_BSTR, kNoDocumentPassword},
                           {L"NoEncodingDialog", 14, VT_BOOL, L"-1"}};
  ASSERT_EQ(std::size(open), calls[6].args.size());
  for (std::size_t i = 0; i < std::size(open); ++i) {
    SCOPED_TRACE(::testing::Message() << "Open argument " << i + 1);
    EXPECT_EQ(open[i].name, calls[6].args[i].name);
    EXPECT_EQ(open[i].position, calls[6].args[i].position);
    EXPECT_EQ(open[i].vt, calls[6].args[i].vt);
    EXPECT_EQ(open[i].value, calls[6].args[i].value);
  }

  ASSERT_EQ(1u, calls[8].args.size());
  EXPECT_EQ(VT_BSTR, calls[8].args[0].vt);
  EXPECT_EQ(L"PDF Printer", calls[8].args[0].value);

  const auto& printOut = testing::kPrintOutArgs;
  const auto& args = calls[9].args;
  ASSERT_EQ(std::size(printOut), args.size());
  for (std::size_t i = 0; i < args.size(); ++i) {
    SCOPED_TRACE(::testing::Message() << "PrintOut argument " << i + 1);
    EXPECT_EQ(printOut[i].name, args[i].name) << "named, in this order";
    EXPECT_EQ(printOut[i].vt, args[i].vt);
    EXPECT_EQ(printOut[i].value, args[i].value);
  }

  EXPECT_EQ(L"Office Laser on LPT1:", calls[10].args.at(0).value) << "the saved printer comes back";
  EXPECT_TRUE(calls[11].args.empty());
  const auto& quit = calls.back();
  ASSERT_EQ(1u, quit.args.size());
  EXPECT_EQ(L"SaveChanges", quit.args[0].name);
  EXPECT_EQ(VT_I4, quit.args[0].vt);
  EXPECT_EQ(L"0", quit.args[0].value);

  // Names are looked up once per call, member and arguments together, spelled as sent.
  bool printOutLookedUp = false;
  for (const auto& e : log) {
    if (e.kind != "names" || e.names.empty() || e.names[0] != L"PrintOut") continue;
    printOutLookedUp = true;
    ASSERT_EQ(15u, e.names.size());
    for (std::size_t i = 0; i < 14; ++i) EXPECT_EQ(printOut[i].name, e.names[i + 1]);
  }
  EXPECT_TRUE(printOutLookedUp);
  for (const auto& e : log) {
    if (e.kind == "names" && !e.names.empty() && e.names[0] == L"Quit") {
      EXPECT_EQ((std::vector<std::wstring>{L"Quit", L"Savechanges"}), e.names);
    }
  }

  // The typed path and the click, as the dialog received them.
  const auto chars = tb::MessagesTo(log, L"edit");
  std::wstring typed;
  for (const auto& m : chars) {
    if (m.msg != 0x102) continue;
    EXPECT_TRUE(m.posted);
    EXPECT_EQ(0x00300001, m.lParam);
    typed += static_cast<wchar_t>(m.wParam);
  }
  EXPECT_EQ(output, typed);
  std::vector<std::pair<unsigned, std::uint64_t>> clicks;
  for (const auto& m : tb::MessagesTo(log, L"save")) {
    if (m.msg == 0x201 || m.msg == 0x202) {
      clicks.emplace_back(m.msg, m.wParam);
      EXPECT_EQ(0, m.lParam);
    }
  }
  EXPECT_EQ((std::vector<std::pair<unsigned, std::uint64_t>>{{0x201, 1}, {0x202, 1}}), clicks);
  EXPECT_EQ(kPointerHourglass, pointer_.value);
}

TEST_F(WordAutomationTest, EveryDocumentGetsANewInstance) {
  ComWord parts(messages_, busy_, UiPump(), ShortBounds(), stop_);
  AutomatedWord& word = parts.word();
  std::unique_ptr<WordApplication> first;
  word.OpenWordDocument(document_, first);
  std::unique_ptr<WordApplication> second;
  word.OpenWordDocument(document_, second);
  word.Quit(*first);
  word.Quit(*second);
  first.reset();
  second.reset();
  const auto opens = tb::CallsOf(Log(), L"OpenNoRepairDialog");
  ASSERT_EQ(2u, opens.size());
  EXPECT_NE(opens[0].pid, opens[1].pid);
}

// Wine keeps the class of a server ended before anyone took it (a Word given up while
// starting); the next start must still get a Word of its own.
TEST_F(WordAutomationTest, AWordEndedBeforeAnyoneTookItLeavesTheNextStartWorking) {
  std::wstring commandLine = L"\"" + tb::ServerPath() + L"\" -Embedding";
  STARTUPINFOW startup{sizeof startup};
  PROCESS_INFORMATION started{};
  ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                             &started));
  CloseHandle(started.hThread);
  const auto registered = [](const auto& log) { return !tb::EventsOf(log, L"registered").empty(); };
  EXPECT_TRUE(registered(tb::WaitForLog(settings_.logFile, registered, 20s)));
  TerminateProcess(started.hProcess, 1);
  WaitForSingleObject(started.hProcess, 5000);
  CloseHandle(started.hProcess);

  ComWord parts(messages_, busy_, UiPump(), ShortBounds(), stop_);
  std::unique_ptr<WordApplication> word;
  parts.word().OpenWordDocument(document_, word);
  parts.word().Quit(*word);
  EXPECT_EQ(1u, tb::CallsOf(Log(), L"OpenNoRepairDialog").size());
}

TEST_F(WordAutomationTest, WordsOwnDescriptionReachesTheCaller) {
  ComWord parts(messages_, busy_, UiPump(), ShortBounds(), stop_);
  AutomatedWord& word = parts.word();
  std::unique_ptr<WordApplication> app;
  try {
    word.OpenWordDocument(dir_ + L"\\missing.docx", app);
    FAIL() << "opening a missing file succeeded";
  } catch (const AutomationError& e) {
    EXPECT_EQ(L"OpenNoRepairDialog", e.member());
    EXPECT_NE(std::wstring::npos, e.reason().find(L"couldn't find your file")) << std::string(e.reason().begin(), e.reason().end());
  }
  // The hidden instance that could not open the document does not linger once dismissed.
  ASSERT_TRUE(app);
  EXPECT_EQ(kWordClosed, word.Dismiss(*app));
  EXPECT_EQ(1u, tb::CallsOf(Log(), L"Quit").size());
  EXPECT_TRUE(tb::WaitNoStandIns(15s));
}

TEST_F(WordAutomationTest, FailedPrintOutPutsThePrinterBack) {
  ComWord parts(messages_, busy_, UiPump(), ShortBounds(), stop_);
  AutomatedWord& word = parts.word();
  std::unique_ptr<WordApplication> app;
  word.OpenWordDocument(document_, app);
  settings_.printOutFails = true;
  tb::Apply(settings_);
  try {
    word.PrintToPdfPrinter(*app, dir_ + L"\\memo.pdf");
    FAIL() << "PrintOut failed and nothing was thrown";
  } catch (const AutomationError& e) {
    EXPECT_EQ(L"PrintOut", e.member());
    EXPECT_EQ(L"There is a printer error.", e.reason());
  }
  const auto puts = tb::CallsOf(Log(), L"ActivePrinter");
  ASSERT_EQ(3u, puts.size());
  EXPECT_EQ(L"Office Laser on LPT1:", puts[2].args.at(0).value);
  word.Quit(*app);
}

TEST_F(WordAutomationTest, RejectedCallsAreRetriedAndSucceed) {
  settings_.rejectCalls = 3;
  tb::Apply(settings_);
  ComWord parts(messages_, busy_, UiPump(), ShortBounds(), stop_);
  AutomatedWord& word = parts.word();
  const std::wstring output = dir_ + L"\\memo.pdf";
  std::unique_ptr<WordApplication> app;
  word.OpenWordDocument(document_, app);
  word.PrintToPdfPrinter(*app, output);
  EXPECT_TRUE(WaitForFile(output, 30));
  word.Quit(*app);
  const auto log = Log();
  EXPECT_EQ(3u, tb::EventsOf(log, L"rejected-call").size());
  EXPECT_EQ(1u, tb::CallsOf(log, L"PrintOut").size());
}

TEST_F(WordAutomationTest, AHangingCallEndsWithAnErrorWithinItsBound) {
  settings_.hangMember = L"PrintOut";
  settings_.hangSeconds = 10;
  tb::Apply(settings_);
  WordBounds bounds = ShortBounds();
  bounds.callSeconds = 3;  // starting a stand-in under Wine takes a second or two
  ComWord parts(messages_, busy_, UiPump(), bounds, stop_);
  AutomatedWord& word = parts.word();
  std::unique_ptr<WordApplication> app;
  word.OpenWordDocument(document_, app);
  // A window of this thread, to see that events are handled while the call hangs.
  static std::atomic<int> handled = 0;
  handled = 0;
  HWND window = CreateWindowExW(0, L"Static", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
                      if (m == WM_APP) ++handled;
                      return DefWindowProcW(w, m, wp, lp);
                    }));
  const auto start = std::chrono::steady_clock::now();
  std::atomic<bool> posting = true;
  std::thread poster([&] {
    for (int i = 0; i < 20 && posting; ++i) {
      PostMessageW(window, WM_APP, 0, 0);
      Sleep(100);
    }
  });
  try {
    word.PrintToPdfPrinter(*app, dir_ + L"\\memo.pdf");
    FAIL() << "a hanging PrintOut returned normally";
  } catch (const AutomationError& e) {
    EXPECT_EQ(L"PrintOut", e.member());
    EXPECT_EQ(L"Word did not answer within 3 seconds.", e.reason());
  }
  EXPECT_EQ(kWordEnded, word.Dismiss(*app)) << "the instance that hangs is ended, not left behind";
  EXPECT_LT(std::chrono::steady_clock::now() - start, 9s) << "the call and the printer's restore are both bounded";
  posting = false;
  poster.join();
  EXPECT_GE(handled.load(), 10) << "the window's events were handled while the call hung";
  DestroyWindow(window);
  app.reset();
}

// A running object of the class whose default member answers `name`.
class FakeRunningWord final : public IDispatch {
 public:
  explicit FakeRunningWord(std::wstring name) : name_(std::move(name)) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IDispatch) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // Counted for real: COM may let go of it after the test has.
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                   UINT*) override {
    if (id != DISPID_VALUE || !result) return DISP_E_MEMBERNOTFOUND;
    result->vt = VT_BSTR;
    result->bstrVal = SysAllocString(name_.c_str());
    return S_OK;
  }

 private:
  std::wstring name_;
  LONG refs_ = 1;
};

TEST_F(WordAutomationTest, OnlyARunningObjectNamedExactlyMicrosoftWordIsWord) {
  ComAutomation automation(CallRunner::Create(CallPorts(UiPump()), CallBounds{}));
  EXPECT_FALSE(IsWordRunning(automation)) << "nothing is running";
  auto registered = [&](const wchar_t* name) {
    auto* fake = new FakeRunningWord(name);
    DWORD cookie = 0;
    EXPECT_EQ(S_OK, RegisterActiveObject(fake, tb::kStandInClsid, ACTIVEOBJECT_STRONG, &cookie));
    const bool running = IsWordRunning(automation);
    RevokeActiveObject(cookie, nullptr);
    fake->Release();
    return running;
  };
  for (const wchar_t* name : {L"microsoft word", L"Microsoft Word ", L"Microsoft Excel", L""}) {
    EXPECT_FALSE(registered(name)) << std::string(name, name + wcslen(name));
  }
  EXPECT_TRUE(registered(L"Microsoft Word"));
}

// Answers the first "Tavrolin" box from another thread: records its text, its default button
// and whether it shows an icon, then presses `button`.
struct BoxAnswer {
  std::wstring text;
  int defaultId = 0;
  bool icon = false;
  bool found = false;
};

std::thread AnswerBox(int button, BoxAnswer& answer, std::atomic<bool>& stop) {
  return std::thread([button, &answer, &stop] {
    for (int i = 0; i < 2000 && !stop; ++i) {
      HWND box = FindWindowW(L"#32770", L"Tavrolin");
      if (!box || !FindWindowExW(box, nullptr, L"Button", nullptr)) {
        Sleep(10);
        continue;
      }
      wchar_t text[512] = {};
      GetDlgItemTextW(box, 0xFFFF, text, 512);
      answer.text = text;
      for (int id : {IDYES, IDNO}) {
        if (GetWindowLongW(GetDlgItem(box, id), GWL_STYLE) & BS_DEFPUSHBUTTON) answer.defaultId = id;
      }
      HWND iconWindow = GetDlgItem(box, 0x0440);
      answer.icon = iconWindow && SendMessageW(iconWindow, STM_GETICON, 0, 0) != 0;
      answer.found = true;
      SendMessageW(GetDlgItem(box, button), BM_CLICK, 0, 0);
      return;
    }
  });
}

TEST_F(WordAutomationTest, RunningWordIsAskedAboutYesGoesOnNoStops) {
  ComWord parts(messages_, busy_, UiPump(), ShortBounds(), stop_);
  AutomatedWord& word = parts.word();
  EXPECT_FALSE(word.ConfirmWordClosed());
  EXPECT_EQ(0, messages_.asked) << "no Word, no question";

  tb::RunningWord running;
  ASSERT_TRUE(running.Start());
  for (int button : {IDYES, IDNO}) {
    SCOPED_TRACE(button == IDYES ? "Yes" : "No");
    BoxAnswer answer;
    std::atomic<bool> stop = false;
    std::thread answering = AnswerBox(button, answer, stop);
    const bool stopRun = word.ConfirmWordClosed();
    stop = true;
    answering.join();
    ASSERT_TRUE(answer.found);
    EXPECT_EQ(button == IDNO, stopRun);
    EXPECT_EQ(L"Word may be open. It is recommended that you close Word first.\r\n\r\n"
              L"Would you like to proceed anyway?",
              answer.text);
    EXPECT_EQ(IDYES, answer.defaultId);
    EXPECT_FALSE(answer.icon);
  }
  EXPECT_EQ(2, messages_.asked);
  running.Stop();
}

}  // namespace
}  // namespace tavrolin::win
