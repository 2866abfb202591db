#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cwctype>
#include <map>
#include <set>

#include "doclist/folder_scan.h"
#include "fakes/fake_pump.h"
#include "shared/fake_pointer.h"

namespace tavrolin {
namespace {

using tavrolin::testing::FakePointer;

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

// "*" and "?" wildcards, letters in any case, as the platform's listing matches.
bool WildcardMatch(const wchar_t* pattern, const wchar_t* name) {
  if (*pattern == 0) return *name == 0;
  if (*pattern == L'*') return WildcardMatch(pattern + 1, name) || (*name && WildcardMatch(pattern, name + 1));
  if (*name == 0) return false;
  if (*pattern != L'?' && std::towlower(*pattern) != std::towlower(*name)) return false;
  return WildcardMatch(pattern + 1, name + 1);
}

// A directory tree in memory: folders (keys ending in "\") with their entries in listing order.
class FakeTree : public DirectoryLister {
 public:
  void Folder(const std::wstring& path, std::uint32_t attributes = kAttributeFolder,
              std::uint32_t reparseTag = 0) {
    const auto slash = path.find_last_of(L'\\', path.size() - 2);
    const std::wstring parent = path.substr(0, slash + 1);
    const std::wstring name = path.substr(slash + 1, path.size() - slash - 2);
    if (folders_.count(parent)) folders_[parent].push_back({name, attributes, reparseTag});
    folders_[path];
  }
  void File(const std::wstring& path, std::uint32_t attributes = 0) {
    const auto slash = path.find_last_of(L'\\');
    folders_[path.substr(0, slash + 1)].push_back({path.substr(slash + 1), attributes});
  }
  void Root(const std::wstring& path) { folders_[path]; }

  std::unique_ptr<DirectoryListing> List(const std::wstring& folder,
                                         const std::wstring& pattern) override {
    calls.push_back(folder + pattern);
    if (onList) onList();
    const auto it = folders_.find(folder);
    if (it == folders_.end() || unlistable.count(folder)) return nullptr;
    std::vector<DirectoryEntry> entries{{L".", kAttributeFolder}, {L"..", kAttributeFolder}};
    entries.insert(entries.end(), it->second.begin(), it->second.end());
    std::vector<DirectoryEntry> matching;
    for (const auto& entry : entries) {
      if (WildcardMatch(pattern.c_str(), entry.name.c_str())) matching.push_back(entry);
    }
    if (matching.empty()) return nullptr;
    return std::make_unique<Listing>(std::move(matching), breakAfter);
  }

  std::vector<std::wstring> calls;
  std::set<std::wstring> unlistable;
  std::size_t breakAfter = SIZE_MAX;  // entries a listing gives before it breaks off
  std::function<void()> onList;

 private:
  class Listing : public DirectoryListing {
   public:
    Listing(std::vector<DirectoryEntry> entries, std::size_t limit)
        : entries_(std::move(entries)), limit_(limit) {}
    bool Next(DirectoryEntry& entry) override {
      if (next_ >= entries_.size() || next_ >= limit_) return false;
      entry = entries_[next_++];
      return true;
    }

   private:
    std::vector<DirectoryEntry> entries_;
    std::size_t limit_;
    std::size_t next_ = 0;
  };
  std::map<std::wstring, std::vector<DirectoryEntry>> folders_;
};

class ScriptedPrompts : public FolderPrompts {
 public:
  std::wstring AskText(const std::wstring& prompt, const std::wstring& defaultText) override {
    asked.push_back(prompt + L"|" + defaultText);
    return extension;
  }
  std::wstring BrowseForFolder(const std::wstring& prompt) override {
    asked.push_back(prompt);
    return folder;
  }
  std::wstring extension = L"doc";
  std::wstring folder;
  std::vector<std::wstring> asked;
};

// The tree of the example: F holds f1.doc, A (a.doc, C with c.doc) and B (b.doc), A before B.
void MakeExampleTree(FakeTree& tree) {
  tree.Root(L"D:\\F\\");
  tree.File(L"D:\\F\\f1.doc");
  tree.Folder(L"D:\\F\\A\\");
  tree.Folder(L"D:\\F\\B\\");
  tree.File(L"D:\\F\\A\\a.doc");
  tree.Folder(L"D:\\F\\A\\C\\");
  tree.File(L"D:\\F\\A\\C\\c.doc");
  tree.File(L"D:\\F\\B\\b.doc");
}

class AddFolder : public ::testing::Test {
 protected:
  std::vector<std::wstring> Run() {
    std::vector<std::wstring> added;
    AddFolderPorts ports{prompts, tree, pump, busy, [&](std::wstring path) {
                           added.push_back(std::move(path));
                         }, 0};
    AddAllFilesInFolder(ports);
    return added;
  }

  FakeTree tree;
  testing::FakePump pump;
  FakePointer pointer;
  BusyMark busy{pointer};
  ScriptedPrompts prompts;
};

TEST_F(AddFolder, AddsLevelByLevelWithSingleBackslashes) {
  MakeExampleTree(tree);
  prompts.folder = L"D:\\F";
  EXPECT_THAT(Run(), ElementsAre(L"D:\\F\\f1.doc", L"D:\\F\\A\\a.doc", L"D:\\F\\B\\b.doc",
                                 L"D:\\F\\A\\C\\c.doc"));
  EXPECT_THAT(prompts.asked, ElementsAre(L"Enter file extension to load:|doc",
                                         L"Please select folder to add:"));
  // All folders are found before any file is listed.
  EXPECT_THAT(tree.calls, ElementsAre(L"D:\\F\\*", L"D:\\F\\A\\*", L"D:\\F\\B\\*",
                                      L"D:\\F\\A\\C\\*", L"D:\\F\\*.doc", L"D:\\F\\A\\*.doc",
                                      L"D:\\F\\B\\*.doc", L"D:\\F\\A\\C\\*.doc"));
}

TEST_F(AddFolder, FolderOrderIsBreadthFirstFollowingParentsAndListing) {
  tree.Root(L"E:\\R\\");
  for (const wchar_t* folder : {L"E:\\R\\Z\\", L"E:\\R\\M\\", L"E:\\R\\Z\\Y\\", L"E:\\R\\Z\\X\\",
                                L"E:\\R\\M\\W\\", L"E:\\R\\Z\\Y\\V\\"}) {
    tree.Folder(folder);
  }
  ScanPump scanPump(pump, 0);
  std::vector<std::wstring> folders{L"E:\\R\\"};
  CollectSubfolders(folders, true, tree, scanPump);
  EXPECT_THAT(folders, ElementsAre(L"E:\\R\\", L"E:\\R\\Z\\", L"E:\\R\\M\\", L"E:\\R\\Z\\Y\\",
                                   L"E:\\R\\Z\\X\\", L"E:\\R\\M\\W\\", L"E:\\R\\Z\\Y\\V\\"));

  std::vector<std::wstring> oneLevel{L"E:\\R\\"};
  CollectSubfolders(oneLevel, false, tree, scanPump);
  EXPECT_THAT(oneLevel, ElementsAre(L"E:\\R\\", L"E:\\R\\Z\\", L"E:\\R\\M\\"));
}

TEST_F(AddFolder, FoldersWithoutFilesAreNotListedTwice) {
  tree.Root(L"D:\\P\\");
  tree.Folder(L"D:\\P\\Years\\");
  tree.Folder(L"D:\\P\\Years\\2025\\");
  tree.File(L"D:\\P\\Years\\2025\\x.doc");
  tree.Folder(L"D:\\P\\Empty\\");
  prompts.folder = L"D:\\P";
  EXPECT_THAT(Run(), ElementsAre(L"D:\\P\\Years\\2025\\x.doc"));
  EXPECT_THAT(tree.calls, ElementsAre(L"D:\\P\\*", L"D:\\P\\Years\\*", L"D:\\P\\Empty\\*",
                                      L"D:\\P\\Years\\2025\\*", L"D:\\P\\Years\\2025\\*.doc"));
}

TEST_F(AddFolder, DriveRootAndNetworkPathsJoinCleanly) {
  tree.Root(L"C:\\");
  tree.File(L"C:\\report.doc");
  tree.Folder(L"C:\\Sub\\");
  tree.File(L"C:\\Sub\\memo.doc");
  prompts.folder = L"C:\\";
  EXPECT_THAT(Run(), ElementsAre(L"C:\\report.doc", L"C:\\Sub\\memo.doc"));
  EXPECT_EQ(tree.calls.front(), L"C:\\*");

  FakeTree share;
  share.Root(L"\\\\server\\docs\\");
  share.File(L"\\\\server\\docs\\a.doc");
  share.Folder(L"\\\\server\\docs\\x\\");
  share.File(L"\\\\server\\docs\\x\\b.doc");
  ScanPump scanPump(pump, 0);
  std::vector<std::wstring> added;
  AddFilesInFolderTree(L"\\\\server\\docs", L"doc", share, scanPump,
                       [&](std::wstring path) { added.push_back(path); });
  EXPECT_THAT(added, ElementsAre(L"\\\\server\\docs\\a.doc", L"\\\\server\\docs\\x\\b.doc"));
}

TEST_F(AddFolder, SkipsTildeNamesAndKeepsListingOrder) {
  tree.Root(L"D:\\Docs\\");
  tree.File(L"D:\\Docs\\a.doc");
  tree.File(L"D:\\Docs\\~$a.doc");
  tree.File(L"D:\\Docs\\notes.txt");
  tree.File(L"D:\\Docs\\B.DOC");
  tree.File(L"D:\\Docs\\~tmp.doc");
  prompts.folder = L"D:\\Docs";
  EXPECT_THAT(Run(), ElementsAre(L"D:\\Docs\\a.doc", L"D:\\Docs\\B.DOC"));
  // The "~" rule is for file names only: a folder named so is entered.
  tree.Folder(L"D:\\Docs\\~old\\");
  tree.File(L"D:\\Docs\\~old\\c.doc");
  EXPECT_THAT(Run(), ElementsAre(L"D:\\Docs\\a.doc", L"D:\\Docs\\B.DOC", L"D:\\Docs\\~old\\c.doc"));
}

TEST_F(AddFolder, TakesEveryMatchOfLargeFoldersInListingOrder) {
  for (int count : {100, 101, 150, 1000}) {
    FakeTree big;
    big.Root(L"D:\\Big\\");
    std::vector<std::wstring> expected;
    // Descending names: the listing's order is kept, not sorted.
    for (int i = count; i > 0; --i) {
      const std::wstring name = L"f" + std::to_wstring(i) + L".doc";
      big.File(L"D:\\Big\\" + name);
      expected.push_back(name);
    }
    const auto names = ListFilesInFolder(big, L"D:\\Big\\", L"*.doc");
    EXPECT_THAT(names, ElementsAreArray(expected)) << count;
    EXPECT_EQ(names.capacity(), names.size()) << "cut to size";
  }
  FakeTree empty;
  empty.Root(L"D:\\Empty\\");
  EXPECT_THAT(ListFilesInFolder(empty, L"D:\\Empty\\", L"*.doc"), IsEmpty());
}

TEST_F(AddFolder, ASecondRunAddsEverythingAgain) {
  MakeExampleTree(tree);
  prompts.folder = L"D:\\F";
  const auto first = Run();
  const auto second = Run();
  EXPECT_EQ(first.size(), 4u);
  EXPECT_EQ(first, second);
}

TEST_F(AddFolder, UsesTheExtensionExactlyAsTyped) {
  tree.Root(L"D:\\X\\");
  tree.File(L"D:\\X\\a.doc");
  tree.File(L"D:\\X\\b.docx");
  tree.File(L"D:\\X\\c.dot");
  tree.File(L"D:\\X\\d.txt");
  prompts.folder = L"D:\\X";
  prompts.extension = L"do*";
  EXPECT_THAT(Run(), ElementsAre(L"D:\\X\\a.doc", L"D:\\X\\b.docx", L"D:\\X\\c.dot"));
  prompts.extension = L".doc";
  EXPECT_THAT(Run(), IsEmpty());
  EXPECT_EQ(tree.calls.back(), L"D:\\X\\*..doc");
  prompts.extension = L" DOC";
  EXPECT_THAT(Run(), IsEmpty());
  EXPECT_EQ(tree.calls.back(), L"D:\\X\\*. DOC");
}

TEST_F(AddFolder, CancelEndsWithoutPickerOrPointer) {
  MakeExampleTree(tree);
  prompts.folder = L"D:\\F";
  pointer.value = kPointerCustom;

  prompts.extension = L"";  // Cancel and an empty text are the same answer
  EXPECT_THAT(Run(), IsEmpty());
  EXPECT_THAT(prompts.asked, ElementsAre(L"Enter file extension to load:|doc"));

  prompts.asked.clear();
  prompts.extension = L"doc";
  prompts.folder = L"";
  EXPECT_THAT(Run(), IsEmpty());
  EXPECT_EQ(prompts.asked.size(), 2u);
  EXPECT_THAT(tree.calls, IsEmpty());
  EXPECT_THAT(pointer.history, IsEmpty());
  EXPECT_EQ(pointer.value, kPointerCustom);
}

TEST_F(AddFolder, HourglassWhileScanningDefaultAfterwardsAlsoWhenNothingFound) {
  MakeExampleTree(tree);
  prompts.folder = L"D:\\F";
  prompts.extension = L"none";
  std::vector<int> seenWhileListing;
  tree.onList = [&] { seenWhileListing.push_back(pointer.value); };
  // The user hovers over a button mid-scan: the hover rule keeps the hourglass.
  pump.onDoEvents = [&] { pointer.SetMousePointer(ButtonHoverPointer(pointer.value)); };
  EXPECT_THAT(Run(), IsEmpty());
  EXPECT_EQ(seenWhileListing, std::vector<int>(8, kPointerHourglass));
  EXPECT_EQ(pointer.value, kPointerDefault);
  EXPECT_EQ(pointer.history.front(), kPointerHourglass);
}

TEST_F(AddFolder, ClosingTheWindowMidScanEndsItThereWithThePointerPutBack) {
  MakeExampleTree(tree);
  prompts.folder = L"D:\\F";
  pump.onDoEvents = [&] { pump.quit = tree.calls.size() >= 2; };
  const auto added = Run();
  EXPECT_EQ(tree.calls.size(), 2u) << "no folder is listed after the close";
  EXPECT_THAT(added, IsEmpty());
  EXPECT_EQ(pointer.value, kPointerDefault);
}

TEST_F(AddFolder, AttributeRulesForFilesAndFolders) {
  tree.Root(L"D:\\T\\");
  tree.File(L"D:\\T\\plain.doc");
  tree.File(L"D:\\T\\hidden.doc", kAttributeHidden);
  tree.File(L"D:\\T\\system.doc", kAttributeSystem);
  tree.File(L"D:\\T\\readonly.doc", kAttributeReadOnly);
  tree.Folder(L"D:\\T\\folder.doc\\");  // a folder whose name matches is no document
  tree.Folder(L"D:\\T\\H\\", kAttributeFolder | kAttributeHidden);
  tree.File(L"D:\\T\\H\\inhidden.doc");
  tree.Folder(L"D:\\T\\S\\", kAttributeFolder | kAttributeSystem);
  tree.File(L"D:\\T\\S\\insystem.doc");
  tree.Folder(L"D:\\T\\L\\", kAttributeFolder | kAttributeReparsePoint);
  tree.File(L"D:\\T\\L\\inlink.doc");
  tree.Folder(L"D:\\T\\R\\", kAttributeFolder | kAttributeReadOnly);
  tree.File(L"D:\\T\\R\\inreadonly.doc");
  prompts.folder = L"D:\\T";
  EXPECT_THAT(Run(), ElementsAre(L"D:\\T\\plain.doc", L"D:\\T\\hidden.doc", L"D:\\T\\system.doc",
                                 L"D:\\T\\readonly.doc", L"D:\\T\\R\\inreadonly.doc"));
  // A hidden folder that is itself picked is scanned.
  prompts.folder = L"D:\\T\\H";
  EXPECT_THAT(Run(), ElementsAre(L"D:\\T\\H\\inhidden.doc"));
}

// Links lead elsewhere (a link back up would never end); a synced folder is a reparse point too,
// and its documents must not vanish silently.
TEST_F(AddFolder, LinksAreNotEnteredButOtherReparsePointsAre) {
  constexpr std::uint32_t kReparseFolder = kAttributeFolder | kAttributeReparsePoint;
  tree.Root(L"D:\\T\\");
  tree.Folder(L"D:\\T\\Symlink\\", kReparseFolder, kReparseTagSymlink);
  tree.File(L"D:\\T\\Symlink\\s.doc");
  tree.Folder(L"D:\\T\\Junction\\", kReparseFolder, kReparseTagMountPoint);
  tree.File(L"D:\\T\\Junction\\j.doc");
  tree.Folder(L"D:\\T\\Synced\\", kReparseFolder, 0x9000001A);  // a cloud-sync placeholder
  tree.File(L"D:\\T\\Synced\\c.doc");
  tree.Folder(L"D:\\T\\Synced\\Deeper\\", kReparseFolder, 0x9000101A);
  tree.File(L"D:\\T\\Synced\\Deeper\\d.doc");
  tree.Folder(L"D:\\T\\Dedup\\", kReparseFolder, 0x80000013);
  tree.File(L"D:\\T\\Dedup\\e.doc");
  prompts.folder = L"D:\\T";
  EXPECT_THAT(Run(), ElementsAre(L"D:\\T\\Synced\\c.doc", L"D:\\T\\Dedup\\e.doc",
                                 L"D:\\T\\Synced\\Deeper\\d.doc"));
}

TEST_F(AddFolder, FoldersThatCannotBeListedAreSkipped) {
  MakeExampleTree(tree);
  tree.unlistable = {L"D:\\F\\A\\"};
  prompts.folder = L"D:\\F";
  EXPECT_THAT(Run(), ElementsAre(L"D:\\F\\f1.doc", L"D:\\F\\B\\b.doc"));
  EXPECT_EQ(pointer.value, kPointerDefault);

  // A listing that breaks off keeps what it gave.
  tree.unlistable.clear();
  tree.breakAfter = 3;  // ".", ".." and one entry
  EXPECT_THAT(Run(), ElementsAre(L"D:\\F\\f1.doc"));
  EXPECT_EQ(pointer.value, kPointerDefault);

  // A picked folder that has gone.
  prompts.folder = L"D:\\Gone";
  EXPECT_THAT(Run(), IsEmpty());
  EXPECT_EQ(pointer.value, kPointerDefault);
}

TEST_F(AddFolder, AScanStartedInsideAnotherFinishesWithItsOwnState) {
  MakeExampleTree(tree);
  tree.Root(L"D:\\G\\");
  tree.File(L"D:\\G\\g.doc");
  prompts.folder = L"D:\\F";
  std::vector<std::wstring> added;
  std::vector<int> pointerWhenInnerEnded;
  bool startedInner = false;
  // The button is pressed again while the first scan pumps events.
  pump.onDoEvents = [&] {
    if (startedInner || tree.calls.size() != 2) return;
    startedInner = true;
    ScriptedPrompts inner;
    inner.folder = L"D:\\G";
    AddFolderPorts ports{inner, tree, pump, busy, [&](std::wstring p) { added.push_back(p); }, 0};
    AddAllFilesInFolder(ports);
    pointerWhenInnerEnded.push_back(pointer.value);
  };
  AddFolderPorts ports{prompts, tree, pump, busy, [&](std::wstring p) { added.push_back(p); }, 0};
  AddAllFilesInFolder(ports);
  EXPECT_TRUE(startedInner);
  EXPECT_THAT(added, ElementsAre(L"D:\\G\\g.doc", L"D:\\F\\f1.doc", L"D:\\F\\A\\a.doc",
                                 L"D:\\F\\B\\b.doc", L"D:\\F\\A\\C\\c.doc"));
  EXPECT_THAT(pointerWhenInnerEnded, ElementsAre(kPointerHourglass));
  EXPECT_EQ(pointer.value, kPointerDefault);
  EXPECT_EQ(busy.depth(), 0);
}

TEST_F(AddFolder, PumpsWhileScanningButNotMoreOftenThanTheInterval) {
  MakeExampleTree(tree);
  prompts.folder = L"D:\\F";
  Run();
  const int everyPoint = pump.doEventsCalls;
  // Four folder listings with their entries, four found folders handed back, four files.
  EXPECT_GE(everyPoint, 4 + 13 + 3 + 4);

  // Each listing takes 4 ms on the clock: a 10 ms interval pumps at most every third one.
  testing::FakePump slow;
  tree.onList = [&] { slow.now += 0.004; };
  ScanPump throttled(slow, 0.01);
  std::vector<std::wstring> added;
  AddFilesInFolderTree(L"D:\\F", L"doc", tree, throttled, [&](std::wstring p) { added.push_back(p); });
  EXPECT_EQ(added.size(), 4u);
  EXPECT_GE(slow.doEventsCalls, 2);
  EXPECT_LE(slow.doEventsCalls, 3);
}

}  // namespace
}  // namespace tavrolin
