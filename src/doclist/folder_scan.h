#pragma once
// Adding every file with one extension in a folder and all of its subfolders: the folder order,
// the file listing and the join, over a directory-listing port so that a fake tree can drive it.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/event_pump.h"
#include "common/window_pointer.h"

namespace tavrolin {

// Attribute bits as the file system reports them.
inline constexpr std::uint32_t kAttributeReadOnly = 0x1;
inline constexpr std::uint32_t kAttributeHidden = 0x2;
inline constexpr std::uint32_t kAttributeSystem = 0x4;
inline constexpr std::uint32_t kAttributeFolder = 0x10;
inline constexpr std::uint32_t kAttributeReparsePoint = 0x400;

// Kinds of reparse point that lead to another place in the file system. Other kinds (the
// placeholders of cloud-sync clients, deduplicated or archived folders) hold their own content.
inline constexpr std::uint32_t kReparseTagMountPoint = 0xA0000003;  // junctions and mounted volumes
inline constexpr std::uint32_t kReparseTagSymlink = 0xA000000C;

struct DirectoryEntry {
  std::wstring name;
  std::uint32_t attributes = 0;
  std::uint32_t reparseTag = 0;  // with kAttributeReparsePoint only
};

// One directory listing in progress.
class DirectoryListing {
 public:
  virtual ~DirectoryListing() = default;
  // The next entry; false at the end, also when the listing breaks off midway.
  virtual bool Next(DirectoryEntry& entry) = 0;
};

// The file system's directory listing.
class DirectoryLister {
 public:
  virtual ~DirectoryLister() = default;
  // Lists the entries of `folder` (ending in "\") whose names match `pattern`, with the platform's
  // own matching and in its order. Null when nothing matches or the folder cannot be listed.
  virtual std::unique_ptr<DirectoryListing> List(const std::wstring& folder,
                                                 const std::wstring& pattern) = 0;
};

// How long a scan may go without processing window events. A pump is a trip to the window
// system, and a scan passes a pump point for every directory entry: pumping at each one would
// cost more than the listing itself.
inline constexpr double kScanPumpIntervalSeconds = 0.01;

// The scan's pump points: events are processed at a point when `interval` has passed since the
// last time (at every point for an interval of 0).
// Thrown out of a scan's pumped events when the window was closed meanwhile.
struct ScanAbandoned {};

class ScanPump {
 public:
  ScanPump(EventPump& pump, double intervalSeconds, std::function<void()> afterPump = {})
      : pump_(pump), interval_(intervalSeconds), afterPump_(std::move(afterPump)) {}
  ScanPump(const ScanPump&) = delete;
  ScanPump& operator=(const ScanPump&) = delete;

  void Point();

 private:
  EventPump& pump_;
  double interval_;
  std::function<void()> afterPump_;
  bool pumped_ = false;
  double last_ = 0;
};

// "*." followed by the extension exactly as typed.
std::wstring PatternFor(const std::wstring& extension);

// The folder list: `folders` (each ending in "\") grows by their subfolders, level by level:
// all direct subfolders in the order of their parents and of each parent's listing, then the
// next level, to the deepest (only the first level without `recursive`). Hidden and system
// folders are not entered, nor symbolic links and junctions (a link back up would never end);
// folders that are other reparse points, such as those of cloud-sync clients, are.
// `holdsFiles`, when given, receives for every folder of the list whether its listing showed any
// file, so that folders of folders need no second listing.
void CollectSubfolders(std::vector<std::wstring>& folders, bool recursive, DirectoryLister& lister,
                       ScanPump& pump, std::vector<bool>* holdsFiles = nullptr);

// The names of the files in `folder` (ending in "\") that match `pattern`, hidden and system
// files included, in listing order.
std::vector<std::wstring> ListFilesInFolder(DirectoryLister& lister, const std::wstring& folder,
                                            const std::wstring& pattern, ScanPump* pump = nullptr);

// Appends every file of `picked` and its subfolders that matches "*.<extension>" and whose name
// does not begin with "~": folder by folder in the folder list's order, each in listing order.
void AddFilesInFolderTree(const std::wstring& picked, const std::wstring& extension,
                          DirectoryLister& lister, ScanPump& pump,
                          const std::function<void(std::wstring)>& append);

// What "Add All Word Files In Folder" asks of the user.
class FolderPrompts {
 public:
  virtual ~FolderPrompts() = default;
  // The typed text; empty on Cancel.
  virtual std::wstring AskText(const std::wstring& prompt, const std::wstring& defaultText) = 0;
  // The chosen folder's path; empty on Cancel or a choice without a file-system path.
  virtual std::wstring BrowseForFolder(const std::wstring& prompt) = 0;
};

inline constexpr wchar_t kExtensionPrompt[] = L"Enter file extension to load:";
inline constexpr wchar_t kDefaultExtension[] = L"doc";
inline constexpr wchar_t kFolderPrompt[] = L"Please select folder to add:";

struct AddFolderPorts {
  FolderPrompts& prompts;
  DirectoryLister& lister;
  EventPump& pump;
  BusyMark& busy;
  std::function<void(std::wstring)> append;
  double pumpIntervalSeconds = kScanPumpIntervalSeconds;
};

// The whole action: asks for the extension and the folder, then adds the files with the
// hourglass showing. Cancel at either question ends it without touching the pointer.
void AddAllFilesInFolder(AddFolderPorts& ports);

}  // namespace tavrolin
