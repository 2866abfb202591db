#include "doclist/folder_scan.h"

#include "common/paths.h"

namespace tavrolin {
namespace {

bool IsDotEntry(const std::wstring& name) { return name == L"." || name == L".."; }

// Folders that the scan enters: visible folders that are not links to elsewhere.
bool IsEnteredFolder(const DirectoryEntry& entry) {
  if (!(entry.attributes & kAttributeFolder)) return false;
  if (entry.attributes & (kAttributeHidden | kAttributeSystem)) return false;
  if (!(entry.attributes & kAttributeReparsePoint)) return true;
  // No tag (0 is none that exists): it may be a link, and a link back up would never end.
  if (entry.reparseTag == 0) return false;
  return entry.reparseTag != kReparseTagSymlink && entry.reparseTag != kReparseTagMountPoint;
}

}  // namespace

void ScanPump::Point() {
  if (interval_ > 0 && pumped_ && pump_.Now() - last_ < interval_) return;
  pump_.DoEvents();
  // The window is gone: the scan ends here, and the main loop then ends the program.
  if (pump_.QuitSeen()) throw ScanAbandoned{};
  if (afterPump_) afterPump_();
  pumped_ = true;
  if (interval_ > 0) last_ = pump_.Now();
}

std::wstring PatternFor(const std::wstring& extension) { return L"*." + extension; }

void CollectSubfolders(std::vector<std::wstring>& folders, bool recursive, DirectoryLister& lister,
                       ScanPump& pump, std::vector<bool>* holdsFiles) {
  if (holdsFiles) holdsFiles->assign(folders.size(), false);
  // Level by level instead of one call per level: the same order, and no stack depth that
  // grows with the tree.
  std::size_t levelBegin = 0;
  std::size_t levelEnd = folders.size();
  while (levelBegin < levelEnd) {
    std::vector<std::wstring> found;
    for (std::size_t i = levelBegin; i < levelEnd; ++i) {
      // A copy: the folder list may move while found folders are appended below.
      const std::wstring folder = folders[i];
      auto listing = lister.List(folder, L"*");
      pump.Point();
      if (!listing) continue;
      DirectoryEntry entry;
      while (listing->Next(entry)) {
        pump.Point();
        if (!(entry.attributes & kAttributeFolder)) {
          if (holdsFiles) (*holdsFiles)[i] = true;
          continue;
        }
        if (IsDotEntry(entry.name) || !IsEnteredFolder(entry)) continue;
        found.push_back(folder + entry.name + L'\\');
      }
    }
    for (auto& folder : found) {
      pump.Point();
      folders.push_back(std::move(folder));
      if (holdsFiles) holdsFiles->push_back(false);
    }
    if (!recursive) return;
    levelBegin = levelEnd;
    levelEnd = folders.size();
  }
}

std::vector<std::wstring> ListFilesInFolder(DirectoryLister& lister, const std::wstring& folder,
                                            const std::wstring& pattern, ScanPump* pump) {
  std::vector<std::wstring> names;
  // Room for 100 names to begin with; it grows by half when full rather than by a fixed step,
  // so that a folder of 100,000 files is not copied over and over.
  names.reserve(100);
  auto listing = lister.List(folder, pattern);
  if (!listing) return names;
  DirectoryEntry entry;
  while (listing->Next(entry)) {
    // A huge folder would otherwise freeze the window while it is listed.
    if (pump) pump->Point();
    if (entry.attributes & kAttributeFolder) continue;
    names.push_back(std::move(entry.name));
  }
  names.shrink_to_fit();
  return names;
}

void AddFilesInFolderTree(const std::wstring& picked, const std::wstring& extension,
                          DirectoryLister& lister, ScanPump& pump,
                          const std::function<void(std::wstring)>& append) {
  // The one form of a folder from here on: ending in "\" once, so that a drive root ("C:\")
  // stays "C:\" and a document's path is the folder and the name.
  std::vector<std::wstring> folders{CollapseDoubleBackslashes(picked + L'\\')};
  std::vector<bool> holdsFiles;
  CollectSubfolders(folders, true, lister, pump, &holdsFiles);
  const std::wstring pattern = PatternFor(extension);
  for (std::size_t i = 0; i < folders.size(); ++i) {
    if (!holdsFiles[i]) continue;
    const std::wstring& folder = folders[i];
    for (const auto& name : ListFilesInFolder(lister, folder, pattern, &pump)) {
      if (name.empty() || name.front() == L'~') continue;
      append(folder + name);
      pump.Point();
    }
  }
}

void AddAllFilesInFolder(AddFolderPorts& ports) {
  const std::wstring extension = ports.prompts.AskText(kExtensionPrompt, kDefaultExtension);
  if (extension.empty()) return;
  const std::wstring picked = ports.prompts.BrowseForFolder(kFolderPrompt);
  if (picked.empty()) return;

  BusyScope busy(ports.busy);
  // Events may move the pointer while they run; the hourglass comes back after each pump.
  ScanPump pump(ports.pump, ports.pumpIntervalSeconds, [&busy] { busy.Refresh(); });
  try {
    AddFilesInFolderTree(picked, extension, ports.lister, pump, ports.append);
  } catch (const ScanAbandoned&) {
    // Nothing more is shown.
  }
}

}  // namespace tavrolin
