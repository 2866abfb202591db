// The window driven by the keyboard alone, and its pointer while an export is busy.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <memory>

#include "driver/doclist_driver.h"
#include "driver/driver.h"
#include "driver/export_driver.h"
#include "driver/folder_driver.h"
#include "testbed/client/testbed_client.h"

using namespace e2e;
namespace testbed = tavrolin::testbed;

namespace {

HWND FocusOf(const App& app) {
  GUITHREADINFO info{sizeof(info)};
  GetGUIThreadInfo(GetWindowThreadProcessId(app.Window(), nullptr), &info);
  return info.hwndFocus;
}

class WithStandIns : public ::testing::Test {
 protected:
  void SetUp() override {
    testbed::KillStandIns();
    std::wstring name;
    for (const char* c = ::testing::UnitTest::GetInstance()->current_test_info()->name(); *c; ++c) {
      name += static_cast<wchar_t>(*c);
    }
    dir = MakeWorkDir(L"keyboard_" + name);
    settings.logFile = dir + L"\\calls.log";
    settings.dialogDelayMs = 100;
    SetEnvironmentVariableW(L"TAVROLIN_TEST_BOUNDS", kScenarioBounds);
  }
  void TearDown() override {
    app.reset();
    testbed::Reset();
    testbed::KillStandIns();
    SetEnvironmentVariableW(L"TAVROLIN_TEST_BOUNDS", nullptr);
  }
  void Start() {
    MoveMouseTo(2, 2);  // no hover over the window
    testbed::Apply(settings);
    app = std::make_unique<App>();
    ASSERT_TRUE(app->Started());
    SetForegroundWindow(app->Window());
    ASSERT_TRUE(WaitFor([&] { return FocusOf(*app) == app->Control(tavrolin::kIdCommand1); }, 10));
  }
  // Tab until the control has the focus, at most once round the window.
  bool TabTo(int id) {
    for (int i = 0; i < 7; ++i) {
      if (FocusOf(*app) == app->Control(id)) return true;
      PressKey(VK_TAB);
      HWND before = FocusOf(*app);
      WaitFor([&] { return FocusOf(*app) != before || FocusOf(*app) == app->Control(id); }, 2);
    }
    return FocusOf(*app) == app->Control(id);
  }
  bool FocusReturnsTo(int id) {
    return WaitFor([&] { return FocusOf(*app) == app->Control(id); }, 10);
  }

  std::wstring dir;
  testbed::Settings settings;
  std::unique_ptr<App> app;
};

using Keyboard = WithStandIns;

TEST_F(Keyboard, AfterHelpTheFocusIsBackOnHelpAndSpaceShowsItAgain) {
  Start();
  ASSERT_TRUE(TabTo(tavrolin::kIdCheck3));
  for (int round = 1; round <= 2; ++round) {
    PressKey(VK_SPACE);
    auto box = WaitForMessageBox(app->Pid(), 20);
    ASSERT_TRUE(box.has_value()) << "round " << round;
    EXPECT_EQ(box->text, L"Anti-virus programs can interfere when exporting to PDF.");
    PressKey(VK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return TopLevelWindows(app->Pid(), L"#32770").empty(); }, 10))
        << "Enter closes the box, round " << round;
    EXPECT_TRUE(FocusReturnsTo(tavrolin::kIdCheck3)) << "round " << round;
    EXPECT_EQ(ButtonValue(app->Control(tavrolin::kIdCheck3)), BST_UNCHECKED);
  }
}

TEST_F(Keyboard, AddsADocumentThroughTheDialogAndExportsIt) {
  const std::wstring document = dir + L"\\typed.docx";
  ASSERT_TRUE(WriteFileBytes(document, "Written by keyboard.\r\n"));
  Start();

  ASSERT_TRUE(TabTo(tavrolin::kIdCheck1));
  PressKey(VK_SPACE);
  HWND dialog = WaitForOpenDialog(app->Pid());
  ASSERT_NE(dialog, nullptr);
  // The dialog opens with the focus in its file name box, where the typing goes.
  HWND nameBox = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    GUITHREADINFO info{sizeof(info)};
    GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info);
    nameBox = info.hwndFocus;
    return nameBox && IsChild(dialog, nameBox) && ClassName(nameBox) == L"Edit";
  }, 10));
  TypeText(document);
  ASSERT_TRUE(WaitFor([&] { return WindowText(nameBox) == document; }, 10));
  PressKey(VK_RETURN);
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, 20));
  ASSERT_TRUE(WaitForListTexts(app->Control(tavrolin::kIdListView1), {document}));
  ASSERT_TRUE(FocusReturnsTo(tavrolin::kIdCheck1)) << "the dialog gives the focus back";

  ASSERT_TRUE(TabTo(tavrolin::kIdCheck2));
  PressKey(VK_SPACE);
  auto done = WaitForMessageBox(app->Pid(), 180);
  ASSERT_TRUE(done.has_value());
  EXPECT_EQ(done->text, L"Done.");
  PressKey(VK_RETURN);
  EXPECT_TRUE(WaitFor([&] { return TopLevelWindows(app->Pid(), L"#32770").empty(); }, 10));
  EXPECT_TRUE(testbed::PdfInfoAccepts(dir + L"\\typed.pdf", nullptr));
  EXPECT_TRUE(FocusReturnsTo(tavrolin::kIdCheck2));
}

using BusyPointer = WithStandIns;

// Cursor handles are private to a process: the hourglass is the shape the window sets over its
// own client area while busy, read back through the foreground's pointer.
TEST_F(BusyPointer, TheHourglassShowsOverTheListsScrollBarsAndHeader) {
  const std::wstring document = dir + L"\\slow.docx";
  ASSERT_TRUE(WriteFileBytes(document, "Slow.\r\n"));
  settings.pdfDelayMs = 120000;  // the run stays in its wait for the PDF
  Start();
  ASSERT_TRUE(AddFilesThroughDialog(*app, {document}));
  HWND form = app->Window();
  HWND list = app->Control(tavrolin::kIdListView1);
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  ASSERT_NE(header, nullptr);

  auto shapeFor = [&](HWND over, HWND target, int hitTest) -> HCURSOR {
    SetForegroundWindow(form);
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(target, WM_SETCURSOR, reinterpret_cast<WPARAM>(over),
                        MAKELPARAM(hitTest, WM_MOUSEMOVE), SMTO_NORMAL, 10000, &ignored);
    return CurrentCursor();
  };
  ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == form; }, 10));
  const HCURSOR idleScroll = shapeFor(list, list, HTVSCROLL);

  PressButton(app->Control(tavrolin::kIdCheck2));
  const auto log = testbed::WaitForLog(
      settings.logFile, [](const auto& entries) { return !testbed::MessagesTo(entries, L"save").empty(); },
      std::chrono::milliseconds(60000));
  ASSERT_FALSE(testbed::MessagesTo(log, L"save").empty()) << "the run reached its wait for the PDF";
  ASSERT_EQ(MousePointerOf(form), 11);
  ASSERT_TRUE(WaitFor([&] { SetForegroundWindow(form); return GetForegroundWindow() == form; }, 10));

  HCURSOR hourglass = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (hourglass = shapeFor(form, form, HTCLIENT)) != idleScroll; }, 10))
      << "the bare window shows another shape than the idle scroll bar";
  const struct {
    const char* where;
    HWND over;
    HWND target;
    int hitTest;
  } places[] = {
      {"vertical scroll bar", list, list, HTVSCROLL},
      {"horizontal scroll bar", list, list, HTHSCROLL},
      {"header", header, header, HTCLIENT},
      {"list", list, list, HTCLIENT},
      {"window frame", form, form, HTBORDER},
  };
  for (const auto& place : places) {
    EXPECT_TRUE(WaitFor([&] { return shapeFor(place.over, place.target, place.hitTest) == hourglass; }, 5))
        << place.where;
  }
}

}  // namespace
