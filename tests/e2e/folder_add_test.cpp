#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include "driver/driver.h"
#include "common/window_pointer.h"
#include "driver/folder_driver.h"

using namespace e2e;

namespace {

// Texts in any order (the order within one folder is the platform's listing order).
std::vector<std::wstring> Sorted(std::vector<std::wstring> texts) {
  std::sort(texts.begin(), texts.end());
  return texts;
}

constexpr wchar_t kExtensionPrompt[] = L"Enter file extension to load:";
constexpr wchar_t kFolderPrompt[] = L"Please select folder to add:";

// A small tree at the root of drive C:, near the top of the picker's tree.
class AddFolderScenario : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(app.Started());
    folderName = L"tavrolin-add-folder-" + std::to_wstring(GetCurrentProcessId());
    root = L"C:\\" + folderName;
    RemoveFolder();
    ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
    File(L"f1.doc");
    File(L"~$f1.doc");
    File(L"notes.txt");
    File(L"hidden.doc", FILE_ATTRIBUTE_HIDDEN);
    Folder(L"A");
    File(L"A\\a.doc");
    Folder(L"A\\C");
    File(L"A\\C\\c.doc");
    Folder(L"B");
    File(L"B\\b.doc");
    Folder(L"H", FILE_ATTRIBUTE_HIDDEN);
    File(L"H\\h.doc");
  }
  void TearDown() override { RemoveFolder(); }
  void RemoveFolder() { RemoveTree(root); }

  void Folder(const std::wstring& relative, DWORD attributes = 0) {
    ASSERT_TRUE(CreateDirectoryW((root + L"\\" + relative).c_str(), nullptr));
    if (attributes) SetFileAttributesW((root + L"\\" + relative).c_str(), attributes);
  }
  void File(const std::wstring& relative, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
    HANDLE file = CreateFileW((root + L"\\" + relative).c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_NEW, attributes, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
  }

  HWND List() const { return app.Control(tavrolin::kIdListView1); }
  int Count() const { return static_cast<int>(SendMessageW(List(), LVM_GETITEMCOUNT, 0, 0)); }

  // The synthetic click leaves the button holding the mouse while the boxes are open, so its
  // hover rule may legitimately have shown the hand. What must hold is that no hourglass is
  // left behind: over a bare part of the form the window-wide rule gives the default again.
  bool PointerFollowsTheFormAgain() {
    if (MousePointerOf(app.Window()) == tavrolin::kPointerHourglass) return false;
    POINT bare{3, 3};  // client corner, left of and above the list
    ClientToScreen(app.Window(), &bare);
    MoveMouseTo(bare.x, bare.y - 1);
    MoveMouseTo(bare.x, bare.y);
    return WaitFor([&] { return MousePointerOf(app.Window()) == tavrolin::kPointerDefault; }, 10);
  }

  HWND PressAndWaitForInputBox() {
    PressButton(app.Control(tavrolin::kIdCheck4));
    return WaitForDialogWithText(app.Pid(), kExtensionPrompt, 20);
  }

  static HWND TreeOf(HWND picker) {
    for (HWND child : Children(picker)) {
      if (ClassName(child) == WC_TREEVIEWW) return child;
    }
    return nullptr;
  }

  App app;
  std::wstring folderName;
  std::wstring root;
};

TEST_F(AddFolderScenario, AddsEveryDocumentOfTheTreeLevelByLevel) {
  HWND input = PressAndWaitForInputBox();
  ASSERT_NE(input, nullptr);
  EXPECT_EQ(WindowText(input), L"Tavrolin");
  HWND edit = nullptr;
  std::vector<std::wstring> buttons;
  for (HWND child : Children(input)) {
    if (ClassName(child) == L"Edit") edit = child;
    if (ClassName(child) == L"Button") buttons.push_back(WindowText(child));
  }
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(WindowText(edit), L"doc");
  DWORD selStart = 9, selEnd = 9;
  SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&selStart),
               reinterpret_cast<LPARAM>(&selEnd));
  EXPECT_EQ(selStart, 0u);
  EXPECT_EQ(selEnd, 3u);
  EXPECT_EQ(buttons, (std::vector<std::wstring>{L"OK", L"Cancel"}));
  EXPECT_EQ(ButtonValue(app.Control(tavrolin::kIdCheck4)), 0);
  SaveScreenshot(input, ScreenshotDir() + L"\\folder_add_input_box.bmp");
  PressKey(VK_RETURN);  // the default "doc"

  HWND picker = WaitForDialogWithText(app.Pid(), kFolderPrompt, 20);
  ASSERT_NE(picker, nullptr);
  HWND tree = TreeOf(picker);
  ASSERT_NE(tree, nullptr);
  ASSERT_TRUE(WaitFor([&] { return !TreeVisibleTexts(tree).empty(); }, 20));
  std::wstring trace;
  ASSERT_TRUE(PickByKeyboard(tree, StepsOnDriveC({folderName}), trace))
      << std::string(trace.begin(), trace.end());
  SaveScreenshot(picker, ScreenshotDir() + L"\\folder_add_picker.bmp");
  PressKey(VK_RETURN);

  ASSERT_TRUE(WaitFor([&] { return Count() >= 5; }, 60)) << Count();
  ASSERT_TRUE(WaitFor([&] { return MousePointerOf(app.Window()) == 0; }, 60));
  const auto texts = ListViewTexts(List());
  ASSERT_EQ(texts.size(), 5u);
  // Level by level; within a level the listing's order, which is the platform's.
  EXPECT_EQ(Sorted({texts[0], texts[1]}), Sorted({root + L"\\f1.doc", root + L"\\hidden.doc"}));
  EXPECT_EQ(Sorted({texts[2], texts[3]}), Sorted({root + L"\\A\\a.doc", root + L"\\B\\b.doc"}));
  EXPECT_EQ(texts[4], root + L"\\A\\C\\c.doc");
  SaveScreenshot(app.Window(), ScreenshotDir() + L"\\folder_add_done.bmp");
}

TEST_F(AddFolderScenario, CancelOrAnEmptyExtensionShowsNoPicker) {
  ASSERT_NE(PressAndWaitForInputBox(), nullptr);
  PressKey(VK_ESCAPE);
  ASSERT_TRUE(WaitFor([&] { return !WaitForDialogWithText(app.Pid(), kExtensionPrompt, 0); }, 20));
  EXPECT_EQ(WaitForDialogWithText(app.Pid(), kFolderPrompt, 2), nullptr);

  ASSERT_NE(PressAndWaitForInputBox(), nullptr);
  PressKey(VK_DELETE);  // the selected "doc" goes
  PressKey(VK_RETURN);
  ASSERT_TRUE(WaitFor([&] { return !WaitForDialogWithText(app.Pid(), kExtensionPrompt, 0); }, 20));
  EXPECT_EQ(WaitForDialogWithText(app.Pid(), kFolderPrompt, 2), nullptr);
  EXPECT_EQ(Count(), 0);
  EXPECT_TRUE(PointerFollowsTheFormAgain());
}

TEST_F(AddFolderScenario, CancelInThePickerChangesNothing) {
  ASSERT_NE(PressAndWaitForInputBox(), nullptr);
  TypeText(L"do*");  // replaces the selected default
  PressKey(VK_RETURN);
  HWND picker = WaitForDialogWithText(app.Pid(), kFolderPrompt, 20);
  ASSERT_NE(picker, nullptr);
  PressKey(VK_ESCAPE);
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(picker); }, 20));
  EXPECT_EQ(Count(), 0);
  EXPECT_TRUE(PointerFollowsTheFormAgain());
  EXPECT_TRUE(app.Running());
}

}  // namespace
