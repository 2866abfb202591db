// The Save As dialog driver against the stand-in printer's dialog: every message the dialog
// received (from the stand-in's log), the pause before typing, and the dialogs it must not touch.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <string>

#include "common/win/files.h"
#include "common/win/pump.h"
#include "export/dialog_driver.h"
#include "common/win/com_types.h"
#include "export/win/window_layer_win.h"
#include "export/word.h"
#include "shared/stand_in_fixture.h"
#include "testbed/client/automation.h"
#include "testbed/client/testbed_client.h"

namespace tb = tavrolin::testbed;
// One IDispatch reference, adopted as handed out and released at the end of its scope.
using Ref = tavrolin::win::ComPtr<IDispatch>;
using namespace std::chrono_literals;

namespace tavrolin::win {
namespace {

// The real window layer, with the time the first edit box was seen and of the first post.
class TimedLayer final : public Win32WindowLayer {
 public:
  std::wstring ClassName(WindowId window) override {
    std::wstring name = Win32WindowLayer::ClassName(window);
    if (name == L"Edit" && editFoundAt < 0) editFoundAt = UiPump().Now();
    return name;
  }
  bool PostNarrow(WindowId w, unsigned m, std::intptr_t wp, std::intptr_t lp) override {
    if (firstPostAt < 0) firstPostAt = UiPump().Now();
    return Win32WindowLayer::PostNarrow(w, m, wp, lp);
  }
  bool PostWide(WindowId w, unsigned m, std::uintptr_t wp, std::intptr_t lp) override {
    if (firstPostAt < 0) firstPostAt = UiPump().Now();
    ++widePosts;
    return Win32WindowLayer::PostWide(w, m, wp, lp);
  }
  double editFoundAt = -1;
  double firstPostAt = -1;
  int widePosts = 0;
};

class DialogDriverWin : public testing::StandInTest {
 protected:
  DialogDriverWin() : StandInTest(L"tavrolin_dialog_") {
    // The hand-made dialog logs every message from the start; the platform's own are driven end
    // to end and in the printer's tests.
    settings_.saveAsDialog = L"plain";
    settings_.dialogDelayMs = 300;
    bounds_.dialogSeconds = 20;
  }

  void TearDown() override {
    word_.Reset();
    StandInTest::TearDown();
  }

  // A stand-in Word with the document open and "PDF Printer" chosen, then PrintOut, taking the
  // snapshot right before it as the product does.
  DialogSnapshot Print() {
    tb::Apply(settings_);
    EXPECT_EQ(S_OK, tb::CreateWord(word_.Out()));
    auto docs = tb::Call(word_.get(), L"Documents", DISPATCH_PROPERTYGET);
    Ref documents(docs.TakeObject());
    tb::ArgList open;
    open.StrByRef(L"", document_);
    Ref document(tb::Call(documents.get(), L"Open", DISPATCH_METHOD, open).TakeObject());
    tb::ArgList printer;
    printer.Str(L"", L"PDF Printer");
    EXPECT_EQ(S_OK, tb::Call(word_.get(), L"ActivePrinter", DISPATCH_PROPERTYPUT, printer).hr);
    const DialogSnapshot before = SnapshotSaveAsDialogs(windows_, UiPump());
    tb::ArgList none;
    EXPECT_EQ(S_OK, tb::Call(word_.get(), L"PrintOut", DISPATCH_METHOD, none).hr);
    return before;
  }

  void Complete(const std::wstring& path, const DialogSnapshot& before) {
    CompleteSaveAsDialog(path, before, windows_, UiPump(), kNeverStop, bounds_);
  }

  // Polls the log until the dialog has handled the click (or typed characters), bounded.
  void WaitForMessages(const std::wstring& window, unsigned msg, std::size_t count) {
    tb::WaitForLog(
        settings_.logFile,
        [&](const std::vector<tb::LogEntry>& log) {
          std::size_t n = 0;
          for (const auto& m : tb::MessagesTo(log, window)) n += m.msg == msg;
          return n >= count;
        },
        10s);
  }

  DialogBounds bounds_;
  TimedLayer windows_;
  Ref word_;
};

TEST_F(DialogDriverWin, TypesThePathAndClicksSaveAndThePrinterWritesThere) {
  const std::wstring output = dir_ + L"\\memo.pdf";
  Complete(output, Print());
  ASSERT_TRUE(WaitUntil(UiPump(), [&] { return FileExists(output); }, 20));

  EXPECT_TRUE(testing::MatchesSequence(testing::TypedThenSaved(output), DialogMessages())) << "no Enter or other key";
  EXPECT_GE(windows_.firstPostAt - windows_.editFoundAt, 0.4) << "the pause after the edit box is found";
}

TEST_F(DialogDriverWin, EmptyPathPostsNoCharacterStillClicksAndTheRefusalIsCancelled) {
  // The dialog has no file name to save to, so it stays open: pressed once more, then cancelled.
  EXPECT_THROW(Complete(L"", Print()), AutomationError);
  WaitForMessages(L"cancel", WM_LBUTTONUP, 1);
  auto expected = testing::TypedThenSaved(L"");
  expected.push_back({"dialog", WM_COMMAND, IDOK, 0, testing::kPosted | testing::kCheckWParam});
  expected.push_back({"cancel", WM_LBUTTONDOWN, MK_LBUTTON, 0, testing::kExactPost});
  expected.push_back({"cancel", WM_LBUTTONUP, MK_LBUTTON, 0, testing::kExactPost});
  EXPECT_TRUE(testing::MatchesSequence(expected, DialogMessages()));
  // Hidden at once; without a window manager Wine takes a moment to destroy it.
  EXPECT_TRUE(WaitUntil(UiPump(), [] { return FindWindowW(L"#32770", L"Save As") == nullptr; }, 5))
      << "no dialog is left open";
}

TEST_F(DialogDriverWin, SaveBeforeTheEditBoxIsClickedOnlyAsTheDialogsDefaultButton) {
  settings_.saveBeforeEdit = true;
  const std::wstring output = dir_ + L"\\memo.pdf";
  EXPECT_NO_THROW(Complete(output, Print()));
  EXPECT_TRUE(WaitUntil(UiPump(), [&] { return FileExists(output); }, 20)) << "its IDOK was pressed";
  EXPECT_TRUE(testing::MatchesSequence(testing::TypedThenSaved(output), DialogMessages()));
}

TEST_F(DialogDriverWin, ACharacterOutsideTheCodePageArrivesWhole) {
  const std::wstring folder = dir_ + L"\\\u0416\u0443\u0440\u043d\u0430\u043b";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  const std::wstring output = folder + L"\\memo.pdf";
  Complete(output, Print());
  EXPECT_TRUE(WaitUntil(UiPump(), [&] { return FileExists(output); }, 20)) << "the PDF is where the path says";
  EXPECT_EQ(6, windows_.widePosts) << "one Unicode post per Cyrillic character";
}

// A "Save As" dialog of this process, shown before printing; records what reaches it.
struct ForeignDialog {
  HWND dialog = nullptr, edit = nullptr, save = nullptr;
  static inline int chars = 0, clicks = 0;
  static inline WNDPROC editProc = nullptr, buttonProc = nullptr;

  ForeignDialog() {
    dialog = CreateWindowExW(0, L"#32770", L"Save As", WS_POPUP, 0, 0, 300, 100, nullptr, nullptr, nullptr, nullptr);
    edit = CreateWindowExW(0, L"Edit", L"", WS_CHILD, 0, 0, 200, 20, dialog, nullptr, nullptr, nullptr);
    save = CreateWindowExW(0, L"Button", L"&Save", WS_CHILD, 0, 30, 60, 20, dialog, nullptr, nullptr, nullptr);
    editProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ForeignDialog::EditProc)));
    buttonProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(save, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ForeignDialog::ButtonProc)));
  }
  ~ForeignDialog() { DestroyWindow(dialog); }
  static LRESULT CALLBACK EditProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_CHAR) ++chars;
    return CallWindowProcW(editProc, w, m, wp, lp);
  }
  static LRESULT CALLBACK ButtonProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_LBUTTONDOWN || m == WM_LBUTTONUP) ++clicks;
    return CallWindowProcW(buttonProc, w, m, wp, lp);
  }
};

TEST_F(DialogDriverWin, ADialogOpenBeforePrintingIsLeftAlone) {
  ForeignDialog foreign;
  ASSERT_EQ(foreign.dialog, FindWindowW(L"#32770", L"Save As"));
  const std::wstring output = dir_ + L"\\memo.pdf";
  Complete(output, Print());
  EXPECT_TRUE(WaitUntil(UiPump(), [&] { return FileExists(output); }, 20));
  UiPump().DoEvents();
  EXPECT_EQ(0, ForeignDialog::chars);
  EXPECT_EQ(0, ForeignDialog::clicks);
  EXPECT_EQ(0, GetWindowTextLengthW(foreign.edit));
  EXPECT_TRUE(testing::MatchesSequence(testing::TypedThenSaved(output), DialogMessages()));
}

TEST_F(DialogDriverWin, NoDialogEndsWithAClearErrorWithinTheBound) {
  settings_.noDialog = true;
  bounds_.dialogSeconds = 2;
  const auto before = Print();
  const double start = UiPump().Now();
  try {
    Complete(dir_ + L"\\memo.pdf", before);
    FAIL() << "returned without a dialog";
  } catch (const AutomationError& e) {
    EXPECT_EQ(L"The printer's save dialog did not appear within 2 seconds.", e.reason());
  }
  EXPECT_LT(UiPump().Now() - start, 3.0);
}

// The window tree under `window` as lines of depth, class, ID and text; what the report of a
// failure shows, and what was observed of each kind of dialog.
void DumpTree(HWND window, int depth, std::string& out) {
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    char cls[128] = {};
    GetClassNameA(child, cls, sizeof cls);
    wchar_t caption[64] = {};
    InternalGetWindowText(child, caption, 64);
    char line[400];
    std::snprintf(line, sizeof line, "%*s%s %d \"%ls\"%s\n", depth * 2, "", cls, GetDlgCtrlID(child), caption,
                  IsWindowVisible(child) ? "" : " (hidden)");
    out += line;
    DumpTree(child, depth + 1, out);
  }
}

std::wstring WindowTextOf(HWND window) {
  wchar_t text[256] = {};
  InternalGetWindowText(window, text, 256);
  return text;
}

// Each kind of dialog the stand-in printer shows, completed by the driver: the PDF comes where
// the path says, and only the file name box received characters.
class DialogKindsWin : public DialogDriverWin {};

TEST_F(DialogKindsWin, TheDriverCompletesEveryKindOfDialogAndTypesOnlyIntoItsFileNameBox) {
  struct Kind {
    const wchar_t* kind;
    const wchar_t* suggested;
  };
  for (const Kind k : {Kind{L"plain", L""}, Kind{L"system", L""}, Kind{L"system", L"Document1.pdf"},
                       Kind{L"windows", L"Document1.pdf"},
                       Kind{L"itemdialog", L"Document1.pdf"}}) {
    const std::wstring name = std::wstring(k.kind) + L" " + k.suggested;
    SCOPED_TRACE(std::string(name.begin(), name.end()));
    settings_.saveAsDialog = k.kind;
    settings_.suggestedName = k.suggested;
    DeleteFileW(settings_.logFile.c_str());
    const std::wstring output = dir_ + L"\\memo.pdf";
    DeleteFileW(output.c_str());
    const DialogSnapshot before = Print();
    // As the user would see it: shown, with its box and its Save button; found as the driver
    // finds it, whatever its title.
    HWND dialog = nullptr;
    WaitUntil(
        UiPump(),
        [&] {
          for (HWND w = FindWindowExW(nullptr, nullptr, L"#32770", nullptr); w;
               w = FindWindowExW(nullptr, w, L"#32770", nullptr)) {
            if (IsSaveDialog(windows_, reinterpret_cast<WindowId>(w))) return (dialog = w) != nullptr;
          }
          return false;
        },
        20);
    ASSERT_NE(nullptr, dialog);
    std::string tree;
    DumpTree(dialog, 1, tree);
    std::printf("%ls dialog tree (depth, class, ID, text):\n#32770 0 \"%ls\"\n%s", k.kind, WindowTextOf(dialog).c_str(),
                tree.c_str());
    EXPECT_NO_THROW(Complete(output, before)) << tree;
    EXPECT_TRUE(WaitUntil(UiPump(), [&] { return FileExists(output); }, 20)) << tree;
    const auto log = Log();
    std::wstring typed;
    for (const auto& m : tb::MessagesTo(log, L"edit")) {
      if (m.msg == WM_CHAR && m.posted) typed += static_cast<wchar_t>(m.wParam);
    }
    EXPECT_EQ(output, typed) << "every character reached the box";
    EXPECT_TRUE(tb::MessagesTo(log, L"address").empty()) << "the address bar got nothing";
    word_.Reset();
    ASSERT_TRUE(tb::WaitNoStandIns(20s));
  }
}

}  // namespace
}  // namespace tavrolin::win
