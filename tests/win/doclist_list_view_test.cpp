// The document list's Win32 adapters against the real controls: the virtual list view, the drop
// target fed real data objects, and the system's open-file dialog driven from a second thread.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "common/win/window.h"
#include "doclist/add_files.h"
#include "doclist/win/file_drop_target.h"
#include "doclist/win/list_view_binding.h"
#include "doclist/win/open_file_dialog.h"
#include "shared/data_object.h"

namespace tavrolin {
namespace {

using namespace std::string_literals;
using Paths = std::vector<std::wstring>;

// Processes this thread's messages until `done` holds or the bound passes.
bool PumpUntil(const std::function<bool()>& done, double seconds = 10) {
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000);
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (done()) return true;
    if (GetTickCount64() >= deadline) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

using test_data::FileDropData;
using test_data::TextData;

// A host window with an owner-data list view, as the main window has.
class ListHost {
 public:
  ListHost() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"DocListTestHost";
    RegisterClassW(&wc);
    host = CreateWindowExW(0, wc.lpszClassName, L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                           500, 300, nullptr, nullptr, wc.hInstance, nullptr);
    list = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                           WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS |
                               LVS_OWNERDATA,
                           8, 8, 449, 105, host, nullptr, wc.hInstance, nullptr);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = const_cast<wchar_t*>(L"Word File(s)");
    column.cx = 380;
    SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    binding = std::make_unique<win::ListViewBinding>(list, documents);
  }
  ~ListHost() {
    binding.reset();
    DestroyWindow(host);
  }
  ListHost(const ListHost&) = delete;
  ListHost& operator=(const ListHost&) = delete;

  // The texts as the control reports them.
  Paths ShownTexts() const {
    Paths texts;
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      wchar_t text[1024] = {};
      LVITEMW item{};
      item.pszText = text;
      item.cchTextMax = 1024;
      SendMessageW(list, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(&item));
      texts.push_back(text);
    }
    return texts;
  }
  int ShownSelection() const {
    return static_cast<int>(
        SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
  }
  bool Settled() const { return !binding->RefreshPending(); }

  DocumentList documents;
  HWND host = nullptr;
  HWND list = nullptr;
  std::unique_ptr<win::ListViewBinding> binding;

 private:
  // As the main window does: the list's notifications go back to the list, whose binding
  // answers them.
  static LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (message == WM_NOTIFY && win::ReflectToControl(window, message, wParam, lParam, result)) {
      return result;
    }
    return DefWindowProcW(window, message, wParam, lParam);
  }
};

class DocListWin : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr))); }
  static void TearDownTestSuite() { OleUninitialize(); }
};

TEST_F(DocListWin, TheVirtualListShowsTheModelAndFollowsItsSelection) {
  ListHost host;
  for (const auto* path : {L"C:\\Docs\\a.doc", L"C:\\Docs\\b.doc", L"C:\\Docs\\c.doc"}) {
    host.documents.Append(path);
  }
  ASSERT_TRUE(PumpUntil([&] { return host.Settled(); }));
  EXPECT_EQ(host.ShownTexts(), (Paths{L"C:\\Docs\\a.doc", L"C:\\Docs\\b.doc", L"C:\\Docs\\c.doc"}));

  host.documents.Select(3);
  ASSERT_TRUE(PumpUntil([&] { return host.Settled(); }));
  EXPECT_EQ(host.ShownSelection(), 2);
  // Removing an item before the selected one moves the shown selection with it.
  host.documents.Remove(1);
  ASSERT_TRUE(PumpUntil([&] { return host.Settled(); }));
  EXPECT_EQ(host.ShownTexts(), (Paths{L"C:\\Docs\\b.doc", L"C:\\Docs\\c.doc"}));
  EXPECT_EQ(host.ShownSelection(), 1);

  // A selection made in the control (by the keyboard, say) reaches the model.
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(host.list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
  EXPECT_EQ(host.documents.Selected(), 1);

  // Hit testing: the first row is under its own rectangle, empty space is none.
  RECT row{};
  row.left = LVIR_LABEL;
  SendMessageW(host.list, LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&row));
  EXPECT_EQ(host.binding->HitTest(row.left + 5, (row.top + row.bottom) / 2), 2);
  EXPECT_EQ(host.binding->HitTest(row.left + 5, row.bottom + 40), std::nullopt);
}

TEST_F(DocListWin, ABurstOfAppendsIsShownOnceAndCompletely) {
  ListHost host;
  int refreshesSeen = 0;
  for (int i = 0; i < 5000; ++i) host.documents.Append(L"C:\\Many\\" + std::to_wstring(i) + L".doc");
  // The whole burst waits for one posted refresh.
  EXPECT_EQ(SendMessageW(host.list, LVM_GETITEMCOUNT, 0, 0), 0);
  ASSERT_TRUE(PumpUntil([&] {
    ++refreshesSeen;
    return host.Settled();
  }));
  EXPECT_EQ(SendMessageW(host.list, LVM_GETITEMCOUNT, 0, 0), 5000);
  const Paths shown = host.ShownTexts();
  EXPECT_EQ(shown.front(), L"C:\\Many\\0.doc");
  EXPECT_EQ(shown.back(), L"C:\\Many\\4999.doc");
}

TEST_F(DocListWin, TheDropTargetAppendsDroppedPathsInOrderWhereverTheyLand) {
  DocumentList documents;
  documents.Append(L"C:\\first.doc");
  auto* target = new win::FileDropTarget(
      [](bool offers, DWORD& effect) { effect = DragOverEffect(offers, effect); },
      [&](std::vector<std::wstring> paths) { AppendDropped(documents, paths); });
  const DWORD proposed = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;

  const Paths dropped = {L"C:\\Docs\\z.doc", L"C:\\Docs\\Folder", L"C:\\first.doc"};
  const POINTL points[] = {{10, 10}, {2000, -50}};
  for (const POINTL at : points) {
    IDataObject* data = FileDropData(dropped);
    DWORD effect = proposed;
    EXPECT_EQ(target->DragEnter(data, MK_LBUTTON, at, &effect), S_OK);
    EXPECT_EQ(effect, proposed) << "the source's proposal stays";
    effect = proposed;
    target->DragOver(MK_LBUTTON, at, &effect);
    EXPECT_EQ(effect, proposed);
    effect = proposed;
    EXPECT_EQ(target->Drop(data, 0, at, &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY)) << "never a move: the files stay";
    data->Release();
  }
  Paths texts;
  for (int i = 1; i <= documents.Count(); ++i) texts.push_back(documents.Text(i));
  EXPECT_EQ(texts, (Paths{L"C:\\first.doc", L"C:\\Docs\\z.doc", L"C:\\Docs\\Folder", L"C:\\first.doc",
                          L"C:\\Docs\\z.doc", L"C:\\Docs\\Folder", L"C:\\first.doc"}));

  // Text without a file-drop list is refused while dragged and adds nothing if dropped anyway.
  IDataObject* text = TextData(L"C:\\Docs\\not-a-drop.doc");
  DWORD effect = proposed;
  target->DragEnter(text, MK_LBUTTON, {10, 10}, &effect);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
  effect = proposed;
  target->DragOver(MK_LBUTTON, {10, 10}, &effect);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
  effect = proposed;
  target->Drop(text, 0, {10, 10}, &effect);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
  EXPECT_EQ(documents.Count(), 7);
  text->Release();

  // Cut off from its owner, the target refuses everything and calls nothing.
  target->Detach();
  IDataObject* late = FileDropData({L"C:\\late.doc"});
  effect = proposed;
  target->DragEnter(late, MK_LBUTTON, {10, 10}, &effect);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
  target->Drop(late, 0, {10, 10}, &effect);
  EXPECT_EQ(documents.Count(), 7);
  late->Release();
  target->Release();
}

TEST_F(DocListWin, TheRegistrationIsRevokedAtItsEnd) {
  ListHost host;
  auto* target = new win::FileDropTarget({}, {});
  {
    win::DropRegistration registration;
    ASSERT_EQ(registration.Register(host.list, target), S_OK);
    EXPECT_EQ(RegisterDragDrop(host.list, target), DRAGDROP_E_ALREADYREGISTERED);
  }
  EXPECT_EQ(RegisterDragDrop(host.list, target), S_OK) << "revoked at the registration's end";
  RevokeDragDrop(host.list);
  target->Release();
}

// Drives the open-file dialog from a second thread as a user would: each step types a text into
// the file name box and presses Open.
class DialogUser {
 public:
  DialogUser(std::wstring title, std::vector<std::wstring> typed, bool cancel = false)
      : thread_([this, title = std::move(title), typed = std::move(typed), cancel] {
          Run(title, typed, cancel);
        }) {}
  ~DialogUser() { thread_.join(); }
  DialogUser(const DialogUser&) = delete;
  DialogUser& operator=(const DialogUser&) = delete;

  std::atomic<bool> found{false};
  std::atomic<bool> readOnlyTicked{false};
  std::vector<std::wstring> filters;

 private:
  static HWND FileNameBox(HWND dialog) {
    // Explorer-style dialogs keep the name in the edit of combo box cmb13, older ones in edt1.
    if (HWND combo = GetDlgItem(dialog, 0x47C)) {
      if (HWND edit = FindWindowExW(combo, nullptr, L"Edit", nullptr)) return edit;
      return combo;
    }
    return GetDlgItem(dialog, 0x480);
  }

  void Run(const std::wstring& title, const std::vector<std::wstring>& typed, bool cancel) {
    HWND dialog = nullptr;
    const ULONGLONG deadline = GetTickCount64() + 30000;
    while (!(dialog = FindWindowW(L"#32770", title.c_str())) && GetTickCount64() < deadline) {
      Sleep(20);  // another thread's window: nothing of ours to pump
    }
    if (!dialog) return;
    HWND box = nullptr;
    while (!(box = FileNameBox(dialog)) && GetTickCount64() < deadline) Sleep(20);
    found = box != nullptr;
    readOnlyTicked = SendMessageW(GetDlgItem(dialog, 0x410), BM_GETCHECK, 0, 0) == BST_CHECKED;
    HWND filter = GetDlgItem(dialog, 0x470);
    const int n = static_cast<int>(SendMessageW(filter, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
      wchar_t text[256] = {};
      SendMessageW(filter, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
      filters.push_back(text);
    }
    if (cancel || !box) {
      PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
      return;
    }
    for (std::size_t i = 0; i < typed.size(); ++i) {
      SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed[i].c_str()));
      // Every step but the last stays in the dialog (a folder to open), so it can be sent.
      if (i + 1 < typed.size()) {
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
      } else {
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
      }
    }
  }

  std::thread thread_;
};

// A fresh folder with empty documents.
std::wstring MakeFolder(const std::wstring& name, const Paths& files) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + name;
  CreateDirectoryW(folder.c_str(), nullptr);
  for (const auto& file : files) {
    HANDLE h = CreateFileW((folder + L"\\" + file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    CloseHandle(h);
  }
  return folder;
}

class MessageLog : public MessageBoxes {
 public:
  void Notify(const std::wstring& text) override { notices.push_back(text); }
  Answer AskYesNo(const std::wstring&) override { return Answer::No; }
  std::vector<std::wstring> notices;
};

TEST_F(DocListWin, TheRealOpenDialogDeliversSeveralTypedNamesInOrder) {
  const std::wstring folder = MakeFolder(L"doclist_dialog", {L"a.doc", L"b.doc", L"c.docx"});
  DocumentList documents;
  MessageLog messages;
  win::OpenFileDialog dialog(nullptr);
  {
    DialogUser user(kOpenDialogTitle, {folder, L"\"b.doc\" \"a.doc\""});
    AddFilesByDialog(dialog, documents, messages);
    EXPECT_TRUE(user.found);
    EXPECT_TRUE(user.readOnlyTicked);
    EXPECT_EQ(user.filters, (Paths{L"Word Documents (*.do*)", L"All Files (*.*)"}));
  }
  ASSERT_EQ(documents.Count(), 2);
  // The dialog's own order; a folder path long or short, the join gives one separator.
  Paths texts = {documents.Text(1), documents.Text(2)};
  std::sort(texts.begin(), texts.end());
  EXPECT_EQ(texts, (Paths{folder + L"\\a.doc", folder + L"\\b.doc"}));

  {
    DialogUser user(kOpenDialogTitle, {folder + L"\\c.docx"});
    AddFilesByDialog(dialog, documents, messages);
  }
  ASSERT_EQ(documents.Count(), 3);
  EXPECT_EQ(documents.Text(3), folder + L"\\c.docx");
  {
    DialogUser user(kOpenDialogTitle, {}, /*cancel=*/true);
    AddFilesByDialog(dialog, documents, messages);
  }
  EXPECT_EQ(documents.Count(), 3);
  EXPECT_TRUE(messages.notices.empty());
}

TEST(SelectionFromBuffer, ReadsOnePathOrTheNulSeparatedList) {
  const std::wstring one = L"C:\\Docs\\a.doc\0\0"s;
  EXPECT_EQ(win::SelectionFromBuffer(one.data(), one.size(), 8), L"C:\\Docs\\a.doc");
  const std::wstring several = L"C:\\Docs\0a.doc\0b.doc\0\0"s;
  EXPECT_EQ(win::SelectionFromBuffer(several.data(), several.size(), 8), L"C:\\Docs\0a.doc\0b.doc"s);
  const std::wstring root = L"C:\\\0a.doc\0\0"s;
  EXPECT_EQ(win::SelectionFromBuffer(root.data(), root.size(), 4), L"C:\\\0a.doc"s);
}

// Older programs drop ANSI names; a block cut short must not be read past its end.
TEST(ParseDropFiles, ReadsWideAndAnsiListsAndStopsAtTheEndOfTheBlock) {
  auto block = [](bool wide, const std::string& names) {
    DROPFILES header{};
    header.pFiles = sizeof(DROPFILES);
    header.fWide = wide;
    return std::string(reinterpret_cast<const char*>(&header), sizeof header) + names;
  };
  const std::wstring wideNames = L"C:\\a.doc\0D:\\b c.docx\0\0"s;
  const std::string wide =
      block(true, std::string(reinterpret_cast<const char*>(wideNames.data()), wideNames.size() * 2));
  EXPECT_EQ(win::ParseDropFiles(wide.data(), wide.size()), (Paths{L"C:\\a.doc", L"D:\\b c.docx"}));
  const std::string ansi = block(false, "C:\\a.doc\0D:\\b.doc\0\0"s);
  EXPECT_EQ(win::ParseDropFiles(ansi.data(), ansi.size()), (Paths{L"C:\\a.doc", L"D:\\b.doc"}));
  // Without its closing NULs the last name ends where the block ends.
  const std::string cut = block(false, "C:\\a.doc\0D:\\b"s);
  EXPECT_EQ(win::ParseDropFiles(cut.data(), cut.size()), (Paths{L"C:\\a.doc", L"D:\\b"}));
  EXPECT_TRUE(win::ParseDropFiles(wide.data(), sizeof(DROPFILES) - 1).empty());
}

}  // namespace
}  // namespace tavrolin
