// The document list of the real program: adding through the open-file dialog, removing by
// double-click, and the reorder gesture with real mouse input.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "driver/doclist_driver.h"
#include "driver/driver.h"

using namespace e2e;

namespace {

using Paths = std::vector<std::wstring>;

void CreateEmptyFile(const std::wstring& path) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  CloseHandle(h);
}

class DocumentListE2e : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(app.Started());
    // Whatever an earlier test left on the screen must not catch the pointer.
    SetWindowPos(app.Window(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    list = app.Control(tavrolin::kIdListView1);
    folder = MakeWorkDir(
        L"doclist_" +
        std::to_wstring(::testing::UnitTest::GetInstance()->current_test_info()->line()));
    for (const auto* name : {L"a.doc", L"b.doc", L"c.doc", L"d.doc"}) {
      CreateEmptyFile(folder + L"\\" + name);
    }
  }
  std::wstring Path(const wchar_t* name) const { return folder + L"\\" + name; }
  void AddFour() {
    ASSERT_TRUE(AddFilesThroughDialog(app, {folder, L"\"a.doc\" \"b.doc\" \"c.doc\" \"d.doc\""}));
    ASSERT_TRUE(WaitForListTexts(list, {Path(L"a.doc"), Path(L"b.doc"), Path(L"c.doc"), Path(L"d.doc")}))
        << "got " << ListViewTexts(list).size() << " items";
  }
  // Clicks a little to the right of where the other steps press, so that the next press on the
  // row is not taken as the second half of a double-click.
  void ClickRow(int index) {
    const POINT at = ListViewRowPoint(list, index);
    MoveMouseTo(at.x + 12, at.y);
    Click();
    ASSERT_TRUE(WaitFor([&] { return ListViewSelection(list) == index; }, 10));
  }

  App app;
  HWND list = nullptr;
  std::wstring folder;
};

TEST_F(DocumentListE2e, TheOpenDialogAppendsTypedNamesInOrderAndTheSameFileTwice) {
  PressButton(app.Control(tavrolin::kIdCheck1));
  HWND dialog = WaitForOpenDialog(app.Pid());
  ASSERT_NE(dialog, nullptr) << "no dialog titled as expected";
  EXPECT_EQ(ButtonValue(app.Control(tavrolin::kIdCheck1)), 0) << "the button springs up";
  EXPECT_EQ(SendMessageW(GetDlgItem(dialog, 0x410), BM_GETCHECK, 0, 0), BST_CHECKED)
      << "the read-only box shows ticked";
  SaveScreenshot(nullptr, ScreenshotDir() + L"\\doclist_open_dialog.bmp");
  ASSERT_TRUE(FillOpenDialog(dialog, {folder, L"\"c.doc\" \"a.doc\""}));
  ASSERT_TRUE(WaitForListTexts(list, {Path(L"c.doc"), Path(L"a.doc")}))
      << "got " << ListViewTexts(list).size() << " items";

  ASSERT_TRUE(AddFilesThroughDialog(app, {Path(L"a.doc")}));
  EXPECT_TRUE(WaitForListTexts(list, {Path(L"c.doc"), Path(L"a.doc"), Path(L"a.doc")}));

  // Cancelling adds nothing.
  PressButton(app.Control(tavrolin::kIdCheck1));
  dialog = WaitForOpenDialog(app.Pid());
  ASSERT_NE(dialog, nullptr);
  PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }, 10));
  EXPECT_EQ(ListViewTexts(list).size(), 3u);
  EXPECT_FALSE(WaitForMessageBox(app.Pid(), 0.5)) << "no message on cancel";
}

TEST_F(DocumentListE2e, ADoubleClickRemovesTheSelectedItem) {
  AddFour();
  ClickRow(1);
  POINT at = ListViewRowPoint(list, 1);
  MoveMouseTo(at.x, at.y);
  DoubleClick();
  EXPECT_TRUE(WaitForListTexts(list, {Path(L"a.doc"), Path(L"c.doc"), Path(L"d.doc")}));
  EXPECT_EQ(ListViewSelection(list), -1);
  // A double-click on the empty space below the rows clears the selection and removes nothing.
  ClickRow(0);
  const RECT client = ClientRectOnScreen(list);
  MoveMouseTo(at.x, client.bottom - 4);
  DoubleClick();
  EXPECT_TRUE(WaitFor([&] { return ListViewSelection(list) == -1; }, 5));
  EXPECT_FALSE(WaitFor([&] { return ListViewTexts(list).size() != 3; }, 1));
}

TEST_F(DocumentListE2e, PressingAndMovingSlowlyOverTheRowsCarriesThePathDown) {
  AddFour();
  // Cursor handles belong to their process: the arrow is the one the list shows before a press.
  POINT at = ListViewRowPoint(list, 0);
  MoveMouseTo(at.x, at.y - 2);
  MoveMouseTo(at.x, at.y);
  ASSERT_TRUE(WaitFor([&] { return MousePointerOf(app.Window()) == 0 && CurrentCursor(); }, 5));
  const HCURSOR arrow = CurrentCursor();
  MouseButton(true);
  ASSERT_TRUE(WaitFor([&] { return ListViewSelection(list) == 0; }, 5));
  const Paths steps[] = {
      {Path(L"b.doc"), Path(L"a.doc"), Path(L"c.doc"), Path(L"d.doc")},
      {Path(L"b.doc"), Path(L"c.doc"), Path(L"a.doc"), Path(L"d.doc")},
      {Path(L"b.doc"), Path(L"c.doc"), Path(L"d.doc"), Path(L"a.doc")},
  };
  for (int row = 1; row <= 3; ++row) {
    at = ListViewRowPoint(list, row);
    MoveMouseTo(at.x, at.y);
    EXPECT_TRUE(WaitForListTexts(list, steps[row - 1])) << "over row " << row;
  }
  EXPECT_EQ(MousePointerOf(app.Window()), 0);
  EXPECT_NE(CurrentCursor(), arrow) << "the drag picture shows while the button is held";
  SaveScreenshot(app.Window(), ScreenshotDir() + L"\\doclist_reorder.bmp");
  MouseButton(false);
  EXPECT_TRUE(WaitFor([&] { return CurrentCursor() == arrow; }, 5)) << "the arrow after release";
  EXPECT_EQ(ListViewSelection(list), 3);

  // Released: moving over the rows changes nothing.
  at = ListViewRowPoint(list, 1);
  MoveMouseTo(at.x, at.y);
  EXPECT_FALSE(WaitFor([&] { return ListViewTexts(list) != steps[2]; }, 1));
}

TEST_F(DocumentListE2e, OneMoveLandingFarAwayExchangesJustTheTwo) {
  AddFour();
  POINT at = ListViewRowPoint(list, 0);
  MoveMouseTo(at.x, at.y);
  MouseButton(true, /*right=*/true);  // either button arms, and the press selects the row
  ASSERT_TRUE(WaitFor([&] { return ListViewSelection(list) == 0; }, 5));
  at = ListViewRowPoint(list, 3);
  MoveMouseTo(at.x, at.y);
  EXPECT_TRUE(WaitForListTexts(list, {Path(L"d.doc"), Path(L"b.doc"), Path(L"c.doc"), Path(L"a.doc")}));
  MouseButton(false, true);
  EXPECT_TRUE(WaitFor([&] { return ListViewSelection(list) == 3; }, 5));
}

}  // namespace
