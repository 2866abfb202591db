// The stand-in Word as a COM server: creation, the running instance, its late-bound surface,
// the call log and the faults a test can choose.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
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
using namespace std::chrono_literals;

namespace {

// One IDispatch reference, adopted as handed out and released at the end of its scope.
using Ref = tavrolin::win::ComPtr<IDispatch>;
using tavrolin::testing::AddPrintOutArgs;
using testfiles::WriteFileBytes;

class StandInWord : public tavrolin::testing::StandInTest {
 protected:
  StandInWord() : StandInTest(L"testbed_word_", "stand-in processes outlived their last reference") {}

  Ref Create() {
    Ref word;
    HRESULT hr = tb::CreateWord(word.Out());
    EXPECT_EQ(S_OK, hr);
    return word;
  }

  // Opens the document as the product does: one positional by-reference string.
  Ref Open(IDispatch* word, const std::wstring& path, HRESULT* hrOut = nullptr, std::wstring* description = nullptr) {
    auto docs = tb::Call(word, L"Documents", DISPATCH_PROPERTYGET);
    EXPECT_EQ(S_OK, docs.hr);
    Ref documents(docs.TakeObject());
    tb::ArgList args;
    args.StrByRef(L"", path);
    auto opened = tb::Call(documents.get(), L"Open", DISPATCH_METHOD, args);
    if (hrOut) *hrOut = opened.hr;
    if (description) *description = opened.description;
    return Ref(opened.TakeObject());
  }
};

TEST_F(StandInWord, EachCreationStartsItsOwnHiddenProcess) {
  Ref first = Create();
  Ref second = Create();
  ASSERT_TRUE(first && second);
  EXPECT_EQ(L"Microsoft Word", tb::CallId(first.get(), DISPID_VALUE, DISPATCH_PROPERTYGET).Text());
  EXPECT_EQ(L"Microsoft Word", tb::CallId(second.get(), DISPID_VALUE, DISPATCH_PROPERTYGET).Text());

  auto calls = tb::CallsOf(Log(), L"Name");
  ASSERT_EQ(2u, calls.size());
  EXPECT_NE(calls[0].pid, calls[1].pid);
  EXPECT_EQ(L"Application", calls[0].object);
  EXPECT_EQ(DISPATCH_PROPERTYGET, calls[0].flags);

  // Started by COM: no visible window of its own.
  for (auto pid : {calls[0].pid, calls[1].pid}) {
    struct Find {
      DWORD pid;
      bool visible = false;
    } find{pid};
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
          auto* f = reinterpret_cast<Find*>(p);
          DWORD owner = 0;
          GetWindowThreadProcessId(w, &owner);
          if (owner == f->pid && IsWindowVisible(w)) f->visible = true;
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&find));
    EXPECT_FALSE(find.visible) << "process " << pid;
  }
  first.Reset();
  second.Reset();
  EXPECT_TRUE(tb::WaitNoStandIns(15s)) << "releasing the last reference ends the server";
}

TEST_F(StandInWord, HandStartedInstanceIsTheRunningWord) {
  CLSID clsid;
  ASSERT_EQ(S_OK, CLSIDFromProgID(L"Word.Application", &clsid));
  IUnknown* none = nullptr;
  EXPECT_TRUE(FAILED(GetActiveObject(clsid, nullptr, &none)));

  tb::RunningWord running;
  ASSERT_TRUE(running.Start());
  IUnknown* unknown = nullptr;
  ASSERT_EQ(S_OK, GetActiveObject(clsid, nullptr, &unknown));
  Ref word;
  ASSERT_EQ(S_OK, unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(word.Out())));
  unknown->Release();
  EXPECT_EQ(L"Microsoft Word", tb::CallId(word.get(), DISPID_VALUE, DISPATCH_PROPERTYGET | DISPATCH_METHOD).Text());
  auto calls = tb::CallsOf(Log(), L"Name");
  ASSERT_EQ(1u, calls.size());
  EXPECT_EQ(running.ProcessId(), calls[0].pid);

  // A new Word is still a process of its own, not the running one.
  Ref fresh = Create();
  tb::CallId(fresh.get(), DISPID_VALUE, DISPATCH_PROPERTYGET);
  calls = tb::CallsOf(Log(), L"Name");
  ASSERT_EQ(2u, calls.size());
  EXPECT_NE(running.ProcessId(), calls[1].pid);

  word.Reset();
  fresh.Reset();
  running.Stop();
  EXPECT_FALSE(running.Running());
  EXPECT_TRUE(FAILED(GetActiveObject(clsid, nullptr, &none)));
}

TEST_F(StandInWord, LogShowsNamesOrderAndVariantTypesAsSent) {
  Ref word = Create();
  Ref document = Open(word.get(), document_);
  ASSERT_TRUE(document);

  auto saved = tb::Call(word.get(), L"ActivePrinter", DISPATCH_PROPERTYGET);
  EXPECT_EQ(L"Office Laser on LPT1:", saved.Text());
  tb::ArgList put;
  put.Str(L"", L"PDF Printer");
  EXPECT_EQ(S_OK, tb::Call(word.get(), L"ActivePrinter", DISPATCH_PROPERTYPUT, put).hr);
  EXPECT_EQ(L"PDF Printer on Ne00:", tb::Call(word.get(), L"ActivePrinter", DISPATCH_PROPERTYGET).Text());
  settings_.noDialog = true;  // this test is about the log, not the printer
  Apply();
  tb::ArgList print;
  AddPrintOutArgs(print);
  EXPECT_EQ(S_OK, tb::Call(word.get(), L"PrintOut", DISPATCH_METHOD, print).hr);
  tb::ArgList back;
  back.Str(L"", saved.Text());
  EXPECT_EQ(S_OK, tb::Call(word.get(), L"ActivePrinter", DISPATCH_PROPERTYPUT, back).hr);
  tb::ArgList quit;
  quit.Bool(L"Savechanges", false);
  EXPECT_EQ(S_OK, tb::Call(word.get(), L"Quit", DISPATCH_METHOD, quit).hr);

  auto log = Log();
  std::vector<std::wstring> members;
  for (const auto& e : log) {
    if (e.kind == "call") members.push_back(e.member);
  }
  EXPECT_EQ((std::vector<std::wstring>{L"Documents", L"Open", L"ActivePrinter", L"ActivePrinter", L"ActivePrinter",
                                       L"PrintOut", L"ActivePrinter", L"Quit"}),
            members);

  auto open = tb::CallsOf(log, L"Open");
  ASSERT_EQ(1u, open.size());
  ASSERT_EQ(1u, open[0].args.size());
  EXPECT_EQ(L"", open[0].args[0].name);
  EXPECT_EQ(VT_BYREF | VT_BSTR, open[0].args[0].vt);
  EXPECT_EQ(document_, open[0].args[0].value);
  EXPECT_EQ(L"Documents", open[0].object);

  auto puts = tb::CallsOf(log, L"ActivePrinter");
  ASSERT_EQ(4u, puts.size());
  EXPECT_EQ(DISPATCH_PROPERTYPUT, puts[1].flags);
  ASSERT_EQ(1u, puts[1].args.size());
  EXPECT_EQ(VT_BSTR, puts[1].args[0].vt);
  EXPECT_EQ(L"PDF Printer", puts[1].args[0].value);

  auto printOut = tb::CallsOf(log, L"PrintOut");
  ASSERT_EQ(1u, printOut.size());
  EXPECT_EQ(DISPATCH_METHOD, printOut[0].flags);
  const auto& expected = tavrolin::testing::kPrintOutArgs;
  ASSERT_EQ(std::size(expected), printOut[0].args.size());
  for (size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(expected[i].name, printOut[0].args[i].name);
    EXPECT_EQ(expected[i].vt, printOut[0].args[i].vt);
    EXPECT_EQ(expected[i].value, printOut[0].args[i].value);
  }

  // Names are matched case-insensitively, and the log keeps the caller's spelling.
  std::vector<std::wstring> quitNames;
  for (const auto& e : log) {
    if (e.kind == "names" && !e.names.empty() && e.names[0] == L"Quit") quitNames = e.names;
  }
  EXPECT_EQ((std::vector<std::wstring>{L"Quit", L"Savechanges"}), quitNames);
  auto quitCall = tb::CallsOf(log, L"Quit");
  ASSERT_EQ(1u, quitCall.size());
  ASSERT_EQ(1u, quitCall[0].args.size());
  EXPECT_EQ(L"SaveChanges", quitCall[0].args[0].name);
  EXPECT_EQ(VT_BOOL, quitCall[0].args[0].vt);

  // Quit ends the process although references are still held.
  EXPECT_TRUE(tb::WaitNoStandIns(15s));
}

TEST_F(StandInWord, RefusesUnknownNamesAndWrongTypes) {
  Ref word = Create();
  wchar_t name[] = L"Frobnicate";
  LPOLESTR names[] = {name};
  DISPID id = 0;
  EXPECT_EQ(DISP_E_UNKNOWNNAME, word.get()->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
  EXPECT_EQ(DISPID_UNKNOWN, id);

  tb::ArgList unknownArg;
  unknownArg.I2(L"Copiez", 1);
  EXPECT_EQ(DISP_E_UNKNOWNNAME, tb::Call(word.get(), L"PrintOut", DISPATCH_METHOD, unknownArg).hr);

  // Open takes the file name by name as well, by value, in any letter case.
  auto docs = tb::Call(word.get(), L"documents", DISPATCH_PROPERTYGET);
  Ref documents(docs.TakeObject());
  ASSERT_TRUE(documents);
  tb::ArgList named;
  named.Str(L"filename", document_);
  EXPECT_EQ(S_OK, tb::Call(documents.get(), L"OPEN", DISPATCH_METHOD, named).hr);

  tb::ArgList object;
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_DISPATCH;
  v.pdispVal = word.get();
  word.get()->AddRef();
  object.Raw(L"", v);
  EXPECT_EQ(DISP_E_TYPEMISMATCH, tb::Call(documents.get(), L"Open", DISPATCH_METHOD, object).hr);

  tb::ArgList copies;
  copies.Str(L"Copies", L"many");
  EXPECT_EQ(DISP_E_TYPEMISMATCH, tb::Call(word.get(), L"PrintOut", DISPATCH_METHOD, copies).hr);
  tb::ArgList security;
  security.Str(L"", L"low");
  EXPECT_EQ(DISP_E_TYPEMISMATCH, tb::Call(word.get(), L"AutomationSecurity", DISPATCH_PROPERTYPUT, security).hr);
  tb::ArgList secure;
  secure.I4(L"", 3);
  EXPECT_EQ(S_OK, tb::Call(word.get(), L"AutomationSecurity", DISPATCH_PROPERTYPUT, secure).hr);

  tb::ArgList unknownPrinter;
  unknownPrinter.Str(L"", L"No Such Printer");
  auto rejected = tb::Call(word.get(), L"ActivePrinter", DISPATCH_PROPERTYPUT, unknownPrinter);
  EXPECT_EQ(DISP_E_EXCEPTION, rejected.hr);
  EXPECT_EQ(L"There is a printer error.", rejected.description);

  // The rejected calls are in the log with their result.
  auto calls = tb::CallsOf(Log(), L"AutomationSecurity");
  ASSERT_EQ(2u, calls.size());
  EXPECT_EQ(DISP_E_TYPEMISMATCH, calls[0].hr);
  EXPECT_EQ(VT_BSTR, calls[0].args[0].vt);
  EXPECT_EQ(S_OK, calls[1].hr);
}

TEST_F(StandInWord, OpenFailsLikeWordForMissingFolderLockedAndChosenPaths) {
  Ref word = Create();
  struct Case {
    std::wstring path;
    const wchar_t* words;
  };
  std::wstring locked = dir_ + L"\\locked.docx";
  ASSERT_TRUE(WriteFileBytes(locked, "x"));
  HANDLE hold = CreateFileW(locked.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, hold);
  std::wstring chosen = dir_ + L"\\broken-report.txt";
  ASSERT_TRUE(WriteFileBytes(chosen, "fine on disk"));
  settings_.openFailPattern = L"*BROKEN*";
  Apply();

  const Case cases[] = {
      {dir_ + L"\\missing.docx", L"couldn't find your file"},
      {dir_, L"not valid"},
      {locked, L"access privileges"},
      {chosen, L"error trying to open the file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.path.begin(), c.path.end()));
    HRESULT hr = S_OK;
    std::wstring description;
    Ref document = Open(word.get(), c.path, &hr, &description);
    EXPECT_EQ(DISP_E_EXCEPTION, hr);
    EXPECT_FALSE(document);
    EXPECT_NE(std::wstring::npos, description.find(c.words)) << std::string(description.begin(), description.end());
    EXPECT_NE(std::wstring::npos, description.find(c.path));
  }
  CloseHandle(hold);
  HRESULT hr = E_FAIL;
  Ref fine = Open(word.get(), document_, &hr);
  EXPECT_EQ(S_OK, hr);
}

TEST_F(StandInWord, PrinterAndPrintOutFaults) {
  Ref word = Create();
  Ref document = Open(word.get(), document_);
  settings_.rejectPrinterPattern = L"PDF*";
  Apply();
  tb::ArgList pdf;
  pdf.Str(L"", L"PDF Printer");
  EXPECT_EQ(DISP_E_EXCEPTION, tb::Call(word.get(), L"ActivePrinter", DISPATCH_PROPERTYPUT, pdf).hr);

  settings_.rejectPrinterPattern.clear();
  settings_.printOutFails = true;
  Apply();
  tb::ArgList pdfAgain;
  pdfAgain.Str(L"", L"PDF Printer");
  EXPECT_EQ(S_OK, tb::Call(word.get(), L"ActivePrinter", DISPATCH_PROPERTYPUT, pdfAgain).hr);
  tb::ArgList print;
  AddPrintOutArgs(print);
  auto failed = tb::Call(word.get(), L"PrintOut", DISPATCH_METHOD, print);
  EXPECT_EQ(DISP_E_EXCEPTION, failed.hr);
  EXPECT_EQ(L"Microsoft Word", failed.source);
  EXPECT_TRUE(tb::EventsOf(Log(), L"dialog-shown").empty());
}

TEST_F(StandInWord, PrintOutWithoutADocumentFails) {
  Ref word = Create();
  tb::ArgList print;
  AddPrintOutArgs(print);
  auto result = tb::Call(word.get(), L"PrintOut", DISPATCH_METHOD, print);
  EXPECT_EQ(DISP_E_EXCEPTION, result.hr);
  EXPECT_NE(std::wstring::npos, result.description.find(L"no document is open"));
}

TEST_F(StandInWord, RejectsIncomingCallsTheChosenNumberOfTimes) {
  settings_.rejectCalls = 2;
  Apply();
  Ref word = Create();
  std::vector<HRESULT> results;
  for (int attempt = 0; attempt < 5; ++attempt) {
    auto name = tb::CallId(word.get(), DISPID_VALUE, DISPATCH_PROPERTYGET);
    results.push_back(name.hr);
    if (SUCCEEDED(name.hr)) {
      EXPECT_EQ(L"Microsoft Word", name.Text());
      break;
    }
  }
  EXPECT_EQ((std::vector<HRESULT>{RPC_E_SERVERCALL_RETRYLATER, RPC_E_SERVERCALL_RETRYLATER, S_OK}), results);
  auto log = Log();
  EXPECT_EQ(2u, tb::EventsOf(log, L"rejected-call").size());
  auto calls = tb::CallsOf(log, L"Name");
  ASSERT_EQ(3u, calls.size());
  EXPECT_EQ(RPC_E_SERVERCALL_RETRYLATER, calls[0].hr);
  EXPECT_EQ(S_OK, calls[2].hr);
}

TEST_F(StandInWord, HangingCallBlocksForTheChosenTime) {
  settings_.hangMember = L"Documents";
  settings_.hangSeconds = 2;
  Apply();
  Ref word = Create();
  auto start = std::chrono::steady_clock::now();
  auto docs = tb::Call(word.get(), L"Documents", DISPATCH_PROPERTYGET);
  auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(S_OK, docs.hr);
  EXPECT_GE(took, 1900ms);
  EXPECT_EQ(1u, tb::EventsOf(Log(), L"hang").size());
}

TEST_F(StandInWord, ServerDiesInTheMiddleOfACall) {
  settings_.dieMember = L"Open";
  Apply();
  Ref word = Create();
  HRESULT hr = S_OK;
  Open(word.get(), document_, &hr);
  EXPECT_TRUE(hr == RPC_E_SERVER_DIED || hr == RPC_E_SERVER_DIED_DNE || hr == RPC_E_DISCONNECTED ||
              hr == HRESULT_FROM_WIN32(RPC_S_CALL_FAILED))
      << std::hex << hr;
  EXPECT_TRUE(tb::WaitNoStandIns(15s));
  EXPECT_EQ(1u, tb::EventsOf(Log(), L"die").size());
  EXPECT_TRUE(tb::CallsOf(Log(), L"Open").empty());
}

// What a hidden Word asks waits for ever: `calls` runs on a thread of its own, with a Word of its
// own, which the test ends once the question was logged.
void WaitsOn(const std::wstring& logFile, const std::wstring& prompt, const std::function<void(IDispatch*)>& calls) {
  const auto asked = [&](const std::vector<tb::LogEntry>& log) {
    for (const auto& e : tb::EventsOf(log, L"prompt")) {
      if (e.detail == prompt) return true;
    }
    return false;
  };
  std::atomic<bool> returned = false;
  std::thread caller([&] {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    {
      Ref word;
      if (SUCCEEDED(tb::CreateWord(word.Out()))) calls(word.get());
    }
    returned = true;
    CoUninitialize();
  });
  EXPECT_TRUE(asked(tb::WaitForLog(logFile, asked, 30s))) << "no question";
  EXPECT_FALSE(returned) << "the call came back without an answer";
  tb::KillStandIns();
  caller.join();
}

tb::CallResult OpenWith(IDispatch* word, const std::wstring& path, const std::function<void(tb::ArgList&)>& named,
                        const wchar_t* member = L"Open") {
  auto docs = tb::Call(word, L"Documents", DISPATCH_PROPERTYGET);
  Ref documents(docs.TakeObject());
  tb::ArgList args;
  args.StrByRef(L"", path);
  if (named) named(args);
  return tb::Call(documents.get(), member, DISPATCH_METHOD, args);
}

// Word asks for a protected document's password, a converter for a file not in its format (when
// its option says so) and the encoding of text it cannot recognise, unless Open answers first.
TEST_F(StandInWord, OpenAsksWhatWordAsksUnlessItsArgumentsAnswer) {
  const std::wstring protectedDocument = tb::FixturesDirectory() + L"\\protected.docx";
  const std::wstring odt = tb::FixturesDirectory() + L"\\notes.odt";
  const std::wstring latin1 = dir_ + L"\\menu.txt";
  ASSERT_TRUE(WriteFileBytes(latin1, "Caf\xE9 cr\xE8me\r\n"));
  settings_.confirmConversions = true;
  Apply();

  WaitsOn(settings_.logFile, L"password", [&](IDispatch* word) { OpenWith(word, protectedDocument, nullptr); });
  WaitsOn(settings_.logFile, L"convert-file", [&](IDispatch* word) { OpenWith(word, odt, nullptr); });
  WaitsOn(settings_.logFile, L"encoding", [&](IDispatch* word) {
    OpenWith(word, latin1, [](tb::ArgList& a) { a.Bool(L"ConfirmConversions", false); });
  });

  Ref word = Create();
  const auto wrong = OpenWith(word.get(), protectedDocument, [](tb::ArgList& a) { a.Str(L"PasswordDocument", L"guess"); });
  EXPECT_EQ(static_cast<HRESULT>(0x800A1520), wrong.scode) << "Word's error 5408";
  EXPECT_EQ(L"The password is incorrect. Word cannot open the document.", wrong.description);
  EXPECT_EQ(S_OK, OpenWith(word.get(), odt, [](tb::ArgList& a) { a.Bool(L"ConfirmConversions", false); }).hr);
  EXPECT_EQ(S_OK, OpenWith(word.get(), latin1, [](tb::ArgList& a) {
                    a.Bool(L"ConfirmConversions", false).Bool(L"NoEncodingDialog", true);
                  }).hr);
  EXPECT_EQ(S_OK, OpenWith(word.get(), document_, [](tb::ArgList& a) { a.Bool(L"ConfirmConversions", false); }).hr)
      << "text in ASCII needs no encoding chosen";
  tb::Call(word.get(), L"Quit", DISPATCH_METHOD);
}

// A package cut short: Open asks whether to recover it, OpenNoRepairDialog opens what can be
// read or fails. "Update fields before printing" is read at the start and written at Quit only;
// on, printing a FILLIN field asks for its text.
TEST_F(StandInWord, DamagedDocumentsAndFieldsThatAskAtPrinting) {
  const std::wstring damaged = tb::FixturesDirectory() + L"\\damaged.docx";
  const std::wstring unreadable = tb::FixturesDirectory() + L"\\unreadable.docx";
  const std::wstring fillin = tb::FixturesDirectory() + L"\\fillin.docx";
  WaitsOn(settings_.logFile, L"unreadable-content", [&](IDispatch* word) { OpenWith(word, damaged, nullptr); });
  Ref word = Create();
  EXPECT_EQ(S_OK, OpenWith(word.get(), damaged, nullptr, L"OpenNoRepairDialog").hr);
  const auto none = OpenWith(word.get(), unreadable, nullptr, L"OpenNoRepairDialog");
  EXPECT_EQ(DISP_E_EXCEPTION, none.hr);
  EXPECT_EQ(L"We're sorry. We can't open unreadable.docx because we found a problem with its contents.",
            none.description);
  EXPECT_EQ(S_OK, OpenWith(word.get(), fillin, nullptr).hr) << "a field asks at printing only";
  EXPECT_EQ(S_OK, tb::Call(word.get(), L"PrintOut", DISPATCH_METHOD).hr) << "the option is off";
  tb::Call(word.get(), L"Quit", DISPATCH_METHOD);
  word.Reset();

  settings_.updateFieldsAtPrint = true;
  Apply();
  WaitsOn(settings_.logFile, L"fill-in", [&](IDispatch* w) {
    OpenWith(w, fillin, nullptr);
    tb::Call(w, L"PrintOut", DISPATCH_METHOD);
  });
  EXPECT_TRUE(tb::Current().updateFieldsAtPrint) << "a Word that was ended wrote nothing";
  Ref second = Create();
  auto options = tb::Call(second.get(), L"Options", DISPATCH_PROPERTYGET);
  Ref optionsRef(options.TakeObject());
  EXPECT_EQ(VARIANT_TRUE, tb::Call(optionsRef.get(), L"UpdateFieldsAtPrint", DISPATCH_PROPERTYGET).value.boolVal);
  tb::ArgList off;
  off.Bool(L"", false);
  EXPECT_EQ(S_OK, tb::Call(optionsRef.get(), L"UpdateFieldsAtPrint", DISPATCH_PROPERTYPUT, off).hr);
  EXPECT_TRUE(tb::Current().updateFieldsAtPrint) << "written at Quit, not when put";
  EXPECT_EQ(S_OK, OpenWith(second.get(), fillin, nullptr).hr);
  EXPECT_EQ(S_OK, tb::Call(second.get(), L"PrintOut", DISPATCH_METHOD).hr);
  EXPECT_EQ(S_OK, tb::Call(second.get(), L"Quit", DISPATCH_METHOD).hr);
  EXPECT_FALSE(tb::Current().updateFieldsAtPrint) << "the instance's value, written at Quit";
}

TEST_F(StandInWord, QuitWhileBackgroundPrintingAsksWhetherToCancelTheJob) {
  settings_.backgroundPrintMs = 60000;
  Apply();
  long jobs = -1;
  WaitsOn(settings_.logFile, L"printing", [&](IDispatch* word) {
    OpenWith(word, document_, nullptr);
    tb::ArgList none;
    tb::Call(word, L"PrintOut", DISPATCH_METHOD, none);
    jobs = tb::Call(word, L"BackgroundPrintingStatus", DISPATCH_PROPERTYGET).value.lVal;
    tb::Call(word, L"Quit", DISPATCH_METHOD);
  });
  EXPECT_EQ(1, jobs);

  settings_.backgroundPrintMs = 0;
  Apply();
  Ref word = Create();
  OpenWith(word.get(), document_, nullptr);
  tb::ArgList background;
  background.Bool(L"Background", true);
  EXPECT_EQ(S_OK, tb::Call(word.get(), L"PrintOut", DISPATCH_METHOD, background).hr);
  EXPECT_EQ(0, tb::Call(word.get(), L"BackgroundPrintingStatus", DISPATCH_PROPERTYGET).value.lVal);
  EXPECT_EQ(S_OK, tb::Call(word.get(), L"Quit", DISPATCH_METHOD).hr);
}

}  // namespace

namespace {

// Word's own export of the headings sample: the outline nests a heading styled only by its
// style's id under one with its own level; the link and the tags are there; a value that
// cannot be coerced is refused with its place in rgvarg.
TEST_F(StandInWord, ExportAsFixedFormatWritesOutlineLinkAndTags) {
  Ref word = Create();
  HRESULT opened = E_FAIL;
  Ref document = Open(word.get(), tb::SamplesDirectory() + L"\\headings.docx", &opened);
  ASSERT_EQ(S_OK, opened);
  ASSERT_TRUE(document) << "Open returns the Document";
  const std::wstring pdf = dir_ + L"\\headings.pdf";
  tb::ArgList args;
  args.Str(L"", pdf).Str(L"", L"17").I2(L"CreateBookmarks", 1).Str(L"DocStructureTags", L"True");
  ASSERT_EQ(S_OK, tb::Call(document.get(), L"ExportAsFixedFormat", DISPATCH_METHOD, args).hr);
  const auto structure = tb::ReadPdfStructure(pdf);
  ASSERT_TRUE(structure.read);
  ASSERT_EQ(2u, structure.outline.size());
  EXPECT_EQ(L"Overview", structure.outline[0].title);
  EXPECT_EQ(1, structure.outline[0].depth);
  EXPECT_EQ(L"Details", structure.outline[1].title);
  EXPECT_EQ(2, structure.outline[1].depth);
  EXPECT_EQ(std::vector<std::wstring>{L"https://example.org/tavrolin"}, structure.linkUris);
  EXPECT_TRUE(structure.tagged);
  EXPECT_FALSE(structure.pdfa1);
  EXPECT_TRUE(tb::PdfInfoAccepts(pdf));
  EXPECT_EQ(std::wstring::npos, tb::PdfText(pdf).find(L"Check the date.")) << "no markup unless asked";

  tb::ArgList bad;
  VARIANT object;
  VariantInit(&object);
  object.vt = VT_DISPATCH;
  object.pdispVal = word.get();
  word.get()->AddRef();
  bad.Str(L"", pdf).Raw(L"", object).Bool(L"", false);
  auto refused = tb::Call(document.get(), L"ExportAsFixedFormat", DISPATCH_METHOD, bad);
  EXPECT_EQ(DISP_E_TYPEMISMATCH, refused.hr);
  EXPECT_EQ(1u, refused.argErr) << "rgvarg holds the last argument first";
  EXPECT_EQ(2u, tb::CallsOf(Log(), L"ExportAsFixedFormat").size());
}

// PDF/A with the comments shown, every argument by position; SaveAs2 as PDF without bookmarks.
TEST_F(StandInWord, ExportAsPdfaWithMarkupAndSaveAs2AsPdf) {
  Ref word = Create();
  Ref document = Open(word.get(), tb::SamplesDirectory() + L"\\headings.docx");
  ASSERT_TRUE(document);
  const std::wstring pdf = dir_ + L"\\archive.pdf";
  tb::ArgList all;
  all.Str(L"", pdf).I4(L"", 17).Bool(L"", true).I4(L"", 0).I4(L"", 0).I4(L"", 1).I4(L"", 1).I4(L"", 7);
  all.Bool(L"", true).Bool(L"", true).I4(L"", 0).Bool(L"", false).Bool(L"", true).Bool(L"", true);
  ASSERT_EQ(S_OK, tb::Call(document.get(), L"ExportAsFixedFormat", DISPATCH_METHOD, all).hr);
  const auto structure = tb::ReadPdfStructure(pdf);
  EXPECT_TRUE(structure.pdfa1);
  EXPECT_FALSE(structure.tagged);
  EXPECT_TRUE(structure.outline.empty());
  EXPECT_NE(std::wstring::npos, tb::PdfText(pdf).find(L"Comment [Reviewer]: Check the date."));
  EXPECT_EQ(1u, tb::EventsOf(Log(), L"open-after-export").size());

  const std::wstring saved = dir_ + L"\\saved.pdf";
  tb::ArgList saveAs;
  saveAs.Str(L"FileName", saved).I4(L"FileFormat", 17);
  ASSERT_EQ(S_OK, tb::Call(document.get(), L"SaveAs2", DISPATCH_METHOD, saveAs).hr);
  const auto plain = tb::ReadPdfStructure(saved);
  EXPECT_TRUE(plain.read);
  EXPECT_TRUE(plain.outline.empty());
  EXPECT_NE(std::wstring::npos, tb::PdfText(saved).find(L"Overview"));
}

// A Word without the export, one that cannot export this document, one that does not know the
// member, and one slow to start.
TEST_F(StandInWord, ExportFailuresUnknownMembersAndSlowStart) {
  settings_.startupDelayMs = 1500;
  Apply();
  const auto started = std::chrono::steady_clock::now();
  Ref word = Create();
  EXPECT_GE(std::chrono::steady_clock::now() - started, 1000ms) << "creation waits for the class";
  settings_.startupDelayMs = 0;
  settings_.exportFeatureMissing = true;
  Apply();
  Ref document = Open(word.get(), document_);
  ASSERT_TRUE(document);
  const auto exportTo = [&](const std::wstring& pdf) {
    tb::ArgList args;
    args.Str(L"", pdf).I4(L"", 17);
    return tb::Call(document.get(), L"ExportAsFixedFormat", DISPATCH_METHOD, args);
  };
  auto missing = exportTo(dir_ + L"\\a.pdf");
  EXPECT_EQ(DISP_E_EXCEPTION, missing.hr);
  EXPECT_EQ(L"Export failed because this feature is not installed.", missing.description);
  settings_.exportFeatureMissing = false;
  settings_.exportFailPattern = L"*MEMO*";
  Apply();
  EXPECT_EQ(DISP_E_EXCEPTION, exportTo(dir_ + L"\\b.pdf").hr);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((dir_ + L"\\b.pdf").c_str()));
  settings_.exportFailPattern.clear();
  settings_.unknownMembers = L"exportasfixedformat, Visible";
  Apply();
  EXPECT_EQ(DISP_E_UNKNOWNNAME, exportTo(dir_ + L"\\c.pdf").hr);
  EXPECT_EQ(DISP_E_UNKNOWNNAME, tb::Call(word.get(), L"Visible", DISPATCH_PROPERTYGET).hr);
  tb::ArgList saveAs;
  saveAs.Str(L"", dir_ + L"\\c.pdf").I4(L"", 17);
  EXPECT_EQ(S_OK, tb::Call(document.get(), L"SaveAs2", DISPATCH_METHOD, saveAs).hr);
  EXPECT_TRUE(tb::PdfInfoAccepts(dir_ + L"\\c.pdf"));
}

// The user opens a document in our invisible Word: Quit without saving would lose it, closing
// only ours keeps it and Word with it.
TEST_F(StandInWord, UserDocumentLandsInTheAutomatedInstance) {
  const std::wstring user = dir_ + L"\\user.txt";
  ASSERT_TRUE(WriteFileBytes(user, "The user's own work\r\n"));
  settings_.userDocument = user;
  Apply();
  {
    Ref word = Create();
    EXPECT_FALSE(tb::Call(word.get(), L"UserControl", DISPATCH_PROPERTYGET).value.boolVal);
    Ref document = Open(word.get(), document_);
    ASSERT_TRUE(document);
    Ref documents(tb::Call(word.get(), L"Documents", DISPATCH_PROPERTYGET).TakeObject());
    EXPECT_EQ(2, tb::Call(documents.get(), L"Count", DISPATCH_PROPERTYGET).value.lVal);
    EXPECT_EQ(VARIANT_TRUE, tb::Call(word.get(), L"Visible", DISPATCH_PROPERTYGET).value.boolVal);
    EXPECT_EQ(VARIANT_TRUE, tb::Call(word.get(), L"UserControl", DISPATCH_PROPERTYGET).value.boolVal);
    tb::ArgList dontSave;
    dontSave.I4(L"", 0);
    EXPECT_EQ(S_OK, tb::Call(document.get(), L"Close", DISPATCH_METHOD, dontSave).hr);
    EXPECT_EQ(1, tb::Call(documents.get(), L"Count", DISPATCH_PROPERTYGET).value.lVal);
  }
  EXPECT_FALSE(tb::WaitNoStandIns(3s)) << "the user's Word outlives our references";
  EXPECT_TRUE(tb::EventsOf(Log(), L"user-document-lost").empty());
  tb::KillStandIns();
  ASSERT_TRUE(tb::WaitNoStandIns(15s));

  Ref word = Create();
  Ref document = Open(word.get(), document_);
  tb::Call(word.get(), L"Name", DISPATCH_PROPERTYGET);
  tb::ArgList dontSave;
  dontSave.I4(L"", 0);
  EXPECT_EQ(S_OK, tb::Call(word.get(), L"Quit", DISPATCH_METHOD, dontSave).hr);
  const auto lost = tb::EventsOf(Log(), L"user-document-lost");
  ASSERT_EQ(1u, lost.size());
  EXPECT_NE(std::wstring::npos, lost[0].detail.find(L"user.txt"));
}

// Two Words started at the same moment from two threads, each in an apartment of its own, as two
// unattended exports started together do: both start and answer, every time.
TEST_F(StandInWord, TwoCreationsAtOnceBothWork) {
  for (int round = 0; round < 4; ++round) {
    SCOPED_TRACE(round);
    std::atomic<int> arrived = 0;
    HRESULT created[2] = {E_FAIL, E_FAIL};
    std::wstring names[2];
    const auto create = [&](int which) {
      CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
      {
        ++arrived;
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (arrived < 2 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
        Ref word;
        created[which] = tb::CreateWord(word.Out());
        if (SUCCEEDED(created[which])) names[which] = tb::CallId(word.get(), DISPID_VALUE, DISPATCH_PROPERTYGET).Text();
      }
      CoUninitialize();
    };
    std::thread first(create, 0), second(create, 1);
    first.join();
    second.join();
    for (int which = 0; which < 2; ++which) {
      EXPECT_EQ(S_OK, created[which]) << "thread " << which << ": " << std::hex << created[which];
      EXPECT_EQ(L"Microsoft Word", names[which]);
    }
    ASSERT_TRUE(tb::WaitNoStandIns(15s));
  }
}

}  // namespace
