// The stand-in PDF printer: its "Save As" dialog driven by posted messages, the PDF it writes,
// and the dialog faults a test can choose.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "common/win/com_types.h"
#include "shared/print_out_args.h"
#include "shared/stand_in_fixture.h"
#include "testbed/client/automation.h"
#include "testbed/client/testbed_client.h"

namespace tb = tavrolin::testbed;
// One IDispatch reference, adopted as handed out and released at the end of its scope.
using Ref = tavrolin::win::ComPtr<IDispatch>;
using namespace std::chrono_literals;

namespace {

bool PollUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string Ansi(const std::wstring& text) {
  int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
  out.resize(n - 1);
  return out;
}

std::string Narrow(const std::wstring& text) { return Ansi(text); }

// The next child after `after` in z-order with that class and text, as FindWindowEx documents
// it. Wine's FindWindowEx returns nothing when `after` is of another class, so the stand-in's
// z-order is checked by walking the children instead.
HWND ChildAfter(HWND parent, HWND after, const char* cls, const char* title) {
  HWND child = after ? GetWindow(after, GW_HWNDNEXT) : GetWindow(parent, GW_CHILD);
  for (; child; child = GetWindow(child, GW_HWNDNEXT)) {
    char k[64] = {}, t[256] = {};
    GetClassNameA(child, k, sizeof k);
    GetWindowTextA(child, t, sizeof t);
    if (lstrcmpiA(k, cls) == 0 && (!title || lstrcmpiA(t, title) == 0)) return child;
  }
  return nullptr;
}

class StandInPrinter : public tavrolin::testing::StandInTest {
 protected:
  StandInPrinter() : StandInTest(L"testbed_printer_") {
    settings_.saveAsDialog = L"plain";
    settings_.dialogDelayMs = 100;
  }
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(StandInTest::SetUp());
    ASSERT_EQ(nullptr, FindWindowA("#32770", "Save As")) << "a dialog of an earlier test is still open";
  }

  void TearDown() override {
    if (word_) tb::Call(word_.get(), L"Quit", DISPATCH_METHOD);
    word_.Reset();
    StandInTest::TearDown();
  }

  // A new Word with `document` open, printing on `printer` as the product does.
  HRESULT Print(const std::wstring& document, const std::wstring& printer = L"PDF Printer") {
    HRESULT hr = tb::CreateWord(word_.Out());
    if (FAILED(hr)) return hr;
    auto docs = tb::Call(word_.get(), L"Documents", DISPATCH_PROPERTYGET);
    Ref documents(docs.TakeObject());
    tb::ArgList open;
    open.StrByRef(L"", document);
    auto opened = tb::Call(documents.get(), L"Open", DISPATCH_METHOD, open);
    Ref doc(opened.TakeObject());
    if (FAILED(opened.hr)) return opened.hr;
    tb::ArgList put;
    put.Str(L"", printer);
    if (hr = tb::Call(word_.get(), L"ActivePrinter", DISPATCH_PROPERTYPUT, put).hr; FAILED(hr)) return hr;
    tb::ArgList a;
    tavrolin::testing::AddPrintOutArgs(a);
    return tb::Call(word_.get(), L"PrintOut", DISPATCH_METHOD, a).hr;
  }

  static HWND FindDialog(std::chrono::milliseconds timeout = 10s) {
    HWND dialog = nullptr;
    PollUntil([&] { return (dialog = FindWindowA("#32770", "Save As")) != nullptr; }, timeout);
    return dialog;
  }

  // What the product's dialog driver does: one posted WM_CHAR per ANSI character, then a
  // posted press and release on "&Save" found after the edit box.
  static void TypeAndSave(HWND dialog, const std::wstring& path) {
    HWND edit = nullptr;
    PollUntil([&] { return (edit = FindWindowExA(dialog, nullptr, "Edit", nullptr)) != nullptr; }, 10s);
    ASSERT_NE(nullptr, edit);
    for (unsigned char c : Ansi(path)) PostMessageA(edit, WM_CHAR, static_cast<WPARAM>(static_cast<signed char>(c)), MAKELPARAM(1, 48));
    HWND save = ChildAfter(dialog, edit, "Button", "&Save");
    ASSERT_NE(nullptr, save);
    PostMessageA(save, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    PostMessageA(save, WM_LBUTTONUP, MK_LBUTTON, 0);
  }

  std::wstring Sample(const std::wstring& name) { return tb::SamplesDirectory() + L"\\" + name; }

  Ref word_;
};

TEST_F(StandInPrinter, PostedTypingAndClickSaveAPdfOfTheDocument) {
  std::wstring document = Sample(L"report.docx");
  ASSERT_TRUE(Exists(document)) << "samples not built";
  ASSERT_EQ(S_OK, Print(document));
  HWND dialog = FindDialog();
  ASSERT_NE(nullptr, dialog);

  char cls[64] = {};
  GetClassNameA(dialog, cls, sizeof cls);
  EXPECT_STREQ("#32770", cls);
  DWORD pid = 0;
  GetWindowThreadProcessId(dialog, &pid);
  EXPECT_NE(GetCurrentProcessId(), pid);
  EXPECT_EQ(nullptr, GetParent(dialog));
  HWND edit = FindWindowExA(dialog, nullptr, "Edit", nullptr);
  ASSERT_NE(nullptr, edit);
  EXPECT_NE(nullptr, ChildAfter(dialog, edit, "Button", "&Save"));
  EXPECT_NE(nullptr, FindWindowExA(dialog, nullptr, "Button", "Cancel"));

  std::wstring pdf = dir_ + L"\\report.pdf";
  TypeAndSave(dialog, pdf);
  ASSERT_TRUE(PollUntil([&] { return Exists(pdf); }, 15s));
  EXPECT_TRUE(PollUntil([] { return FindWindowA("#32770", "Save As") == nullptr; }, 10s));

  int pages = 0;
  EXPECT_TRUE(tb::PdfInfoAccepts(pdf, &pages));
  EXPECT_EQ(1, pages);
  std::wstring text = tb::PdfText(pdf);
  EXPECT_NE(std::wstring::npos, text.find(L"report.docx")) << Narrow(text);
  EXPECT_NE(std::wstring::npos, text.find(L"Quarterly report"));
  EXPECT_NE(std::wstring::npos, text.find(L"costs stayed flat"));

  // Every posted message is in the log, in order, with its parameters.
  auto log = tb::WaitForLog(
      settings_.logFile, [](const auto& entries) { return !tb::EventsOf(entries, L"pdf-written").empty(); }, 10s);
  auto typed = tb::MessagesTo(log, L"edit");
  std::string ansi = Ansi(pdf);
  ASSERT_EQ(ansi.size(), typed.size());
  for (size_t i = 0; i < typed.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(static_cast<unsigned>(WM_CHAR), typed[i].msg);
    EXPECT_EQ(static_cast<unsigned char>(ansi[i]), typed[i].wParam);
    EXPECT_EQ(0x00300001, typed[i].lParam);
    EXPECT_TRUE(typed[i].posted);
  }
  auto clicks = tb::MessagesTo(log, L"save");
  ASSERT_EQ(2u, clicks.size());
  EXPECT_EQ(static_cast<unsigned>(WM_LBUTTONDOWN), clicks[0].msg);
  EXPECT_EQ(static_cast<unsigned>(WM_LBUTTONUP), clicks[1].msg);
  for (const auto& c : clicks) {
    EXPECT_EQ(static_cast<unsigned>(MK_LBUTTON), c.wParam);
    EXPECT_EQ(0, c.lParam);
  }
  auto written = tb::EventsOf(log, L"pdf-written");
  ASSERT_EQ(1u, written.size());
  EXPECT_EQ(pdf, written[0].detail);
}

TEST_F(StandInPrinter, PdfCarriesTheTextOfEveryKindItCanRead) {
  struct Case {
    const wchar_t* sample;
    std::vector<const wchar_t*> words;
    int pages;
  };
  const Case cases[] = {
      {L"letter.docx", {L"letter.docx", L"stored without compression"}, 1},
      {L"notes.txt", {L"notes.txt", L"Remember the milk."}, 1},
      {L"Caf\u00e9 menu.docx", {L"Caf\u00e9 menu.docx", L"Cr\u00e8me br\u00fbl\u00e9e costs 4,50 \u20ac."}, 1},
      {L"minutes.docx", {L"minutes.docx", L"Item 1 was discussed", L"Item 120 was discussed"}, 3},
      {L"empty.docx", {L"empty.docx"}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Narrow(c.sample));
    std::wstring pdf = dir_ + L"\\out.pdf";
    DeleteFileW(pdf.c_str());
    ASSERT_EQ(S_OK, Print(Sample(c.sample)));
    // Names outside ASCII survive the log's escapes.
    auto opens = tb::CallsOf(Log(), L"Open");
    ASSERT_FALSE(opens.empty());
    EXPECT_EQ(Sample(c.sample), opens.back().args.at(0).value);
    HWND dialog = FindDialog();
    ASSERT_NE(nullptr, dialog);
    TypeAndSave(dialog, pdf);
    ASSERT_TRUE(PollUntil([&] { return Exists(pdf); }, 15s));
    int pages = 0;
    EXPECT_TRUE(tb::PdfInfoAccepts(pdf, &pages));
    EXPECT_EQ(c.pages, pages);
    std::wstring text = tb::PdfText(pdf);
    for (const wchar_t* w : c.words) EXPECT_NE(std::wstring::npos, text.find(w)) << Narrow(w);
    tb::Call(word_.get(), L"Quit", DISPATCH_METHOD);
    word_.Reset();
    ASSERT_TRUE(tb::WaitNoStandIns(15s));
  }
}

TEST_F(StandInPrinter, NoDialogForAnotherPrinterOrWhenChosen) {
  settings_.dialogDelayMs = 0;
  Apply();
  ASSERT_EQ(S_OK, Print(Sample(L"report.docx"), L"Office Laser"));
  auto printed = tb::WaitForLog(
      settings_.logFile, [](const auto& e) { return !tb::EventsOf(e, L"printed").empty(); }, 10s);
  ASSERT_EQ(1u, tb::EventsOf(printed, L"printed").size());
  EXPECT_EQ(L"Office Laser", tb::EventsOf(printed, L"printed")[0].detail);

  settings_.noDialog = true;
  Apply();
  ASSERT_EQ(S_OK, Print(Sample(L"report.docx")));
  auto log = tb::WaitForLog(
      settings_.logFile, [](const auto& e) { return !tb::EventsOf(e, L"dialog-shown").empty(); }, 1500ms);
  EXPECT_EQ(2u, tb::EventsOf(log, L"printed").size());
  EXPECT_TRUE(tb::EventsOf(log, L"dialog-shown").empty());
  EXPECT_EQ(nullptr, FindWindowA("#32770", "Save As"));
}

TEST_F(StandInPrinter, DialogAndPdfComeAfterTheChosenDelays) {
  settings_.dialogDelayMs = 1500;
  settings_.pdfDelayMs = 3000;
  Apply();
  ASSERT_EQ(S_OK, Print(Sample(L"report.docx")));
  auto printed = std::chrono::steady_clock::now();
  HWND dialog = FindDialog();
  ASSERT_NE(nullptr, dialog);
  EXPECT_GE(std::chrono::steady_clock::now() - printed, 1400ms);

  std::wstring pdf = dir_ + L"\\slow.pdf";
  TypeAndSave(dialog, pdf);
  auto log = tb::WaitForLog(
      settings_.logFile, [](const auto& e) { return !tb::EventsOf(e, L"dialog-closed").empty(); }, 10s);
  ASSERT_EQ(1u, tb::EventsOf(log, L"dialog-closed").size());
  EXPECT_FALSE(Exists(pdf)) << "the slow printer wrote at once";
  EXPECT_TRUE(PollUntil([&] { return Exists(pdf); }, 15s));
  EXPECT_TRUE(tb::PdfInfoAccepts(pdf));
}

TEST_F(StandInPrinter, SaveButtonBeforeTheEditBoxIsNotFoundAfterIt) {
  settings_.saveBeforeEdit = true;
  Apply();
  ASSERT_EQ(S_OK, Print(Sample(L"report.docx")));
  HWND dialog = FindDialog();
  ASSERT_NE(nullptr, dialog);
  HWND edit = FindWindowExA(dialog, nullptr, "Edit", nullptr);
  ASSERT_NE(nullptr, edit);
  EXPECT_EQ(nullptr, ChildAfter(dialog, edit, "Button", "&Save"));
  EXPECT_NE(nullptr, FindWindowExA(dialog, nullptr, "Button", "&Save"));
}

TEST_F(StandInPrinter, InitialTextIsReplacedOnlyWhenSelected) {
  settings_.initialText = L"Document1.pdf";
  settings_.initialTextSelected = true;
  Apply();
  ASSERT_EQ(S_OK, Print(Sample(L"report.docx")));
  HWND dialog = FindDialog();
  ASSERT_NE(nullptr, dialog);
  std::wstring pdf = dir_ + L"\\selected.pdf";
  TypeAndSave(dialog, pdf);
  EXPECT_TRUE(PollUntil([&] { return Exists(pdf); }, 15s));

  settings_.initialTextSelected = false;
  Apply();
  ASSERT_EQ(S_OK, Print(Sample(L"report.docx")));
  dialog = FindDialog();
  ASSERT_NE(nullptr, dialog);
  HWND edit = FindWindowExA(dialog, nullptr, "Edit", nullptr);
  std::wstring other = dir_ + L"\\appended.pdf";
  TypeAndSave(dialog, other);
  // The typed path lands after the old text: no such folder, the dialog stays open.
  auto log = tb::WaitForLog(
      settings_.logFile, [](const auto& e) { return !tb::EventsOf(e, L"save-failed").empty(); }, 10s);
  ASSERT_EQ(1u, tb::EventsOf(log, L"save-failed").size());
  // GetWindowText does not ask a window of another process; WM_GETTEXT does.
  wchar_t text[1024] = {};
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(edit, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text), SMTO_BLOCK, 5000, &copied);
  EXPECT_EQ(L"Document1.pdf" + other, std::wstring(text));
  EXPECT_FALSE(Exists(other));
  EXPECT_NE(nullptr, FindWindowA("#32770", "Save As"));
}

}  // namespace
