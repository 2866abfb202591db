#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <map>
#include <thread>

#include "common/win/pump.h"
#include "doclist/folder_scan.h"
#include "doclist/win/folder_win.h"
#include "shared/test_files.h"

namespace tavrolin::win {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::UnorderedElementsAre;

// A fresh folder under the temporary folder, removed with everything in it at the end.
class TempTree {
 public:
  const std::wstring& root() const { return root_; }

  std::wstring Folder(const std::wstring& relative, DWORD attributes = 0) {
    const std::wstring path = root_ + L"\\" + relative;
    EXPECT_TRUE(CreateDirectoryW(ListablePath(path).c_str(), nullptr)) << GetLastError();
    if (attributes) SetFileAttributesW(ListablePath(path).c_str(), attributes);
    return path;
  }
  std::wstring File(const std::wstring& relative, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
    const std::wstring path = root_ + L"\\" + relative;
    HANDLE file = CreateFileW(ListablePath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              attributes, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE) << GetLastError();
    CloseHandle(file);
    return path;
  }

 private:
  testfiles::TempFolder folder_{L"tavrolin-folder-"};
  const std::wstring& root_ = folder_.path();
};

std::vector<std::wstring> AddAll(const std::wstring& picked, const std::wstring& extension) {
  Win32DirectoryLister lister;
  ScanPump pump(UiPump(), kScanPumpIntervalSeconds);
  std::vector<std::wstring> added;
  AddFilesInFolderTree(picked, extension, lister, pump,
                       [&](std::wstring path) { added.push_back(std::move(path)); });
  return added;
}

DWORD AttributesOf(const std::wstring& path) {
  return GetFileAttributesW(ListablePath(path).c_str());
}

TEST(FolderListing, HiddenAndSystemFilesAreAddedButSuchFoldersNotEntered) {
  TempTree tree;
  const auto plain = tree.File(L"plain.doc");
  const auto hidden = tree.File(L"hidden.doc", FILE_ATTRIBUTE_HIDDEN);
  const auto system = tree.File(L"system.doc", FILE_ATTRIBUTE_SYSTEM);
  const auto readOnly = tree.File(L"readonly.doc", FILE_ATTRIBUTE_READONLY);
  tree.File(L"~$plain.doc");
  tree.File(L"notes.txt");
  tree.Folder(L"Visible");
  const auto inVisible = tree.File(L"Visible\\in.doc");
  tree.Folder(L"Hidden", FILE_ATTRIBUTE_HIDDEN);
  const auto inHidden = tree.File(L"Hidden\\in.doc");
  tree.Folder(L"System", FILE_ATTRIBUTE_SYSTEM);
  tree.File(L"System\\in.doc");
  // The attributes really are on disk, or this test would prove nothing.
  ASSERT_TRUE(AttributesOf(hidden) & FILE_ATTRIBUTE_HIDDEN);
  ASSERT_TRUE(AttributesOf(system) & FILE_ATTRIBUTE_SYSTEM);
  ASSERT_TRUE(AttributesOf(tree.root() + L"\\Hidden") & FILE_ATTRIBUTE_HIDDEN);
  ASSERT_TRUE(AttributesOf(tree.root() + L"\\System") & FILE_ATTRIBUTE_SYSTEM);

  const auto added = AddAll(tree.root(), L"doc");
  ASSERT_EQ(added.size(), 5u);
  EXPECT_THAT(std::vector<std::wstring>(added.begin(), added.begin() + 4),
              UnorderedElementsAre(plain, hidden, system, readOnly));
  EXPECT_EQ(added.back(), inVisible);

  // A hidden folder that is picked itself is scanned.
  EXPECT_THAT(AddAll(tree.root() + L"\\Hidden", L"doc"), ElementsAre(inHidden));
}

TEST(FolderListing, ThePatternIsThePlatformsOwnWithTheExtensionAsTyped) {
  TempTree tree;
  const auto doc = tree.File(L"a.doc");
  const auto docx = tree.File(L"b.docx");
  const auto dot = tree.File(L"c.dot");
  const auto upper = tree.File(L"E.DOC");
  const auto txt = tree.File(L"d.txt");

  EXPECT_THAT(AddAll(tree.root(), L"do*"), UnorderedElementsAre(doc, docx, dot, upper));
  EXPECT_THAT(AddAll(tree.root(), L".doc"), IsEmpty());
  const auto plain = AddAll(tree.root(), L"doc");
  EXPECT_THAT(plain, Contains(doc));
  EXPECT_THAT(plain, Contains(upper));
  EXPECT_THAT(plain, Not(Contains(dot)));
  EXPECT_THAT(plain, Not(Contains(txt)));
  EXPECT_THAT(AddAll(tree.root() + L"\\missing", L"doc"), IsEmpty());
}

TEST(FolderListing, NamesOutsideTheAnsiCodePageAndLongPathsArriveWhole) {
  TempTree tree;
  tree.Folder(L"\u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac \u6587\u4ef6");
  const auto unicode =
      tree.File(L"\u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac \u6587\u4ef6\\"
                L"\u00dcbersicht \u2260 \u5831\u544a.doc");
  std::wstring deep;
  for (int level = 0; level < 9; ++level) {
    deep += (level ? L"\\" : L"") + std::wstring(30, static_cast<wchar_t>(L'k' + level));
    tree.Folder(deep);
  }
  const auto deepFile = tree.File(deep + L"\\deep.doc");
  ASSERT_GT(deepFile.size(), static_cast<std::size_t>(MAX_PATH));

  const auto added = AddAll(tree.root(), L"doc");
  EXPECT_THAT(added, UnorderedElementsAre(unicode, deepFile));
  for (const auto& path : added) EXPECT_NE(AttributesOf(path), INVALID_FILE_ATTRIBUTES);
}

// A junction as "mklink /J" makes it: a folder with mount-point reparse data.
bool MakeJunction(const std::wstring& link, const std::wstring& target, DWORD& error) {
  if (!CreateDirectoryW(link.c_str(), nullptr)) {
    error = GetLastError();
    return false;
  }
  HANDLE handle = CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    error = GetLastError();
    RemoveDirectoryW(link.c_str());
    return false;
  }
  const std::wstring substitute = L"\\??\\" + target;
  std::wstring names = substitute + L'\0' + target + L'\0';
  std::vector<BYTE> data(16 + names.size() * sizeof(wchar_t));
  auto word = [&](std::size_t at, std::size_t value) {
    const WORD w = static_cast<WORD>(value);
    std::memcpy(data.data() + at, &w, sizeof w);
  };
  const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
  std::memcpy(data.data(), &tag, sizeof tag);
  word(4, data.size() - 8);                                  // reparse data length
  word(8, 0);                                                // substitute name offset
  word(10, substitute.size() * sizeof(wchar_t));             // its length
  word(12, (substitute.size() + 1) * sizeof(wchar_t));       // print name offset
  word(14, target.size() * sizeof(wchar_t));                 // its length
  std::memcpy(data.data() + 16, names.data(), names.size() * sizeof(wchar_t));
  DWORD returned = 0;
  const BOOL made = DeviceIoControl(handle, FSCTL_SET_REPARSE_POINT, data.data(),
                                    static_cast<DWORD>(data.size()), nullptr, 0, &returned, nullptr);
  error = made ? 0 : GetLastError();
  CloseHandle(handle);
  if (!made) RemoveDirectoryW(link.c_str());
  return made;
}

TEST(FolderListing, SymbolicLinksAndJunctionsToFoldersAreNotEntered) {
  TempTree tree;
  tree.Folder(L"Real");
  const auto real = tree.File(L"Real\\r.doc");
  const std::wstring target = tree.root() + L"\\Real";
  std::map<std::wstring, DWORD> made;  // link name -> the tag it must carry
  DWORD symlinkError = 0, junctionError = 0;
  const std::wstring symlink = tree.root() + L"\\Symlink";
  const BOOL linked = CreateSymbolicLinkW(symlink.c_str(), target.c_str(),
                                          SYMBOLIC_LINK_FLAG_DIRECTORY | 0x2 /* unprivileged */);
  symlinkError = linked ? 0 : GetLastError();
  // Wine 8 answers success without making anything: only what is on disk counts.
  const DWORD symlinkAttributes = GetFileAttributesW(symlink.c_str());
  if (linked && symlinkAttributes != INVALID_FILE_ATTRIBUTES &&
      (symlinkAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    made[L"Symlink"] = IO_REPARSE_TAG_SYMLINK;
  }
  if (MakeJunction(tree.root() + L"\\Junction", target, junctionError)) {
    made[L"Junction"] = IO_REPARSE_TAG_MOUNT_POINT;
  }
  if (made.empty()) {
    GTEST_SKIP() << "This Wine makes neither a symbolic link to a folder (CreateSymbolicLinkW: "
                 << (linked ? "reported success, made nothing" : "error " + std::to_string(symlinkError))
                 << ") nor a junction (FSCTL_SET_REPARSE_POINT: error " << junctionError
                 << "); the rule is tested with reparse tags in the unit tests.";
  }

  Win32DirectoryLister lister;
  auto listing = lister.List(tree.root() + L"\\", L"*");
  ASSERT_TRUE(listing);
  DirectoryEntry entry;
  std::size_t seen = 0;
  std::string listed;
  while (listing->Next(entry)) {
    listed += std::string(entry.name.begin(), entry.name.end()) + " (" +
              std::to_string(entry.attributes) + ", " + std::to_string(entry.reparseTag) + ") ";
    const auto it = made.find(entry.name);
    if (it == made.end()) continue;
    ++seen;
    EXPECT_TRUE(entry.attributes & kAttributeReparsePoint) << std::string(entry.name.begin(), entry.name.end());
    EXPECT_EQ(entry.reparseTag, it->second) << std::string(entry.name.begin(), entry.name.end());
  }
  EXPECT_EQ(seen, made.size()) << listed << "; made " << made.size() << " (symlink error "
                               << symlinkError << ", junction error " << junctionError << ")";
  EXPECT_THAT(AddAll(tree.root(), L"doc"), ElementsAre(real)) << "found once, through no link";
}

// Runs `answer` on the dialog that the calling thread shows next (waiting at most 20 s for it).
class DialogAnswerer {
 public:
  explicit DialogAnswerer(std::function<void(HWND)> answer)
      : uiThread_(GetCurrentThreadId()), thread_([this, answer] {
          const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
          while (std::chrono::steady_clock::now() < deadline) {
            HWND dialog = FindDialog();
            if (dialog && IsWindowVisible(dialog)) {
              answer(dialog);
              return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
          }
          found_ = false;
        }) {}
  ~DialogAnswerer() {
    if (thread_.joinable()) thread_.join();
  }
  bool found() {
    thread_.join();
    thread_ = std::thread();
    return found_;
  }

 private:
  HWND FindDialog() {
    HWND found = nullptr;
    EnumThreadWindows(
        uiThread_,
        [](HWND window, LPARAM out) {
          wchar_t name[64] = {};
          GetClassNameW(window, name, 64);
          if (std::wstring(name) != L"#32770") return TRUE;
          *reinterpret_cast<HWND*>(out) = window;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
  }
  DWORD uiThread_;
  bool found_ = true;
  std::thread thread_;
};

std::wstring Text(HWND window) {
  wchar_t text[512] = {};
  GetWindowTextW(window, text, 512);
  return text;
}

void Press(HWND dialog, int id) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

TEST(InputBox, ShowsPromptAndSelectedDefaultAndReturnsTheAnswer) {
  struct Seen {
    std::wstring caption, prompt, edit, ok, cancel;
    DWORD selStart = 99, selEnd = 99;
    bool editFocused = false;
  } seen;
  {
    DialogAnswerer answerer([&](HWND dialog) {
      seen.caption = Text(dialog);
      seen.prompt = Text(GetDlgItem(dialog, kInputBoxPromptId));
      HWND edit = GetDlgItem(dialog, kInputBoxEditId);
      seen.edit = Text(edit);
      SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&seen.selStart),
                   reinterpret_cast<LPARAM>(&seen.selEnd));
      GUITHREADINFO info{};
      info.cbSize = sizeof(info);
      GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info);
      seen.editFocused = info.hwndFocus == edit;
      seen.ok = Text(GetDlgItem(dialog, IDOK));
      seen.cancel = Text(GetDlgItem(dialog, IDCANCEL));
      Press(dialog, IDOK);
    });
    EXPECT_EQ(InputBox(nullptr, L"Enter file extension to load:", L"doc"), L"doc");
    EXPECT_TRUE(answerer.found());
  }
  EXPECT_EQ(seen.caption, L"Tavrolin");
  EXPECT_EQ(seen.prompt, L"Enter file extension to load:");
  EXPECT_EQ(seen.edit, L"doc");
  EXPECT_EQ(seen.selStart, 0u);
  EXPECT_EQ(seen.selEnd, 3u);
  EXPECT_TRUE(seen.editFocused);
  EXPECT_EQ(seen.ok, L"OK");
  EXPECT_EQ(seen.cancel, L"Cancel");

  const std::pair<std::wstring, int> answers[] = {
      {L" do* ", IDOK}, {L"", IDOK}, {L"docx", IDCANCEL}};
  for (const auto& [typed, button] : answers) {
    DialogAnswerer answerer([&, button = button, typed = typed](HWND dialog) {
      SetDlgItemTextW(dialog, kInputBoxEditId, typed.c_str());
      Press(dialog, button);
    });
    const std::wstring expected = button == IDOK ? typed : L"";
    EXPECT_EQ(InputBox(nullptr, L"Enter file extension to load:", L"doc"), expected) << typed;
  }
}

TEST(FolderPicker, ShowsThePromptAndCancelGivesNoFolder) {
  bool promptShown = false;
  DialogAnswerer answerer([&](HWND dialog) {
    EnumChildWindows(
        dialog,
        [](HWND child, LPARAM shown) {
          if (Text(child) == L"Please select folder to add:") *reinterpret_cast<bool*>(shown) = true;
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&promptShown));
    Press(dialog, IDCANCEL);
  });
  EXPECT_EQ(BrowseForFolder(nullptr, L"Please select folder to add:"), L"");
  EXPECT_TRUE(answerer.found());
  EXPECT_TRUE(promptShown);
}

}  // namespace
}  // namespace tavrolin::win
