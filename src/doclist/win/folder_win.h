#pragma once
// The Win32 side of adding a folder: the directory listing, the folder picker and the input box.
#include <windows.h>
#include <shtypes.h>

#include <string>

#include "doclist/folder_scan.h"

namespace tavrolin::win {

// FindFirstFileExW/FindNextFileW, with the attributes and reparse tag that the listing itself
// reports. Every query goes through the long form, so paths beyond the classic limit are listed.
class Win32DirectoryLister final : public DirectoryLister {
 public:
  std::unique_ptr<DirectoryListing> List(const std::wstring& folder,
                                         const std::wstring& pattern) override;
};

// The path to hand to the file system: its long form (LongPathForm).
std::wstring ListablePath(const std::wstring& path);

// The shell's folder picker, modal over `owner`, showing only file-system folders. The chosen
// folder's path, or empty on Cancel or a choice without a file-system path.
std::wstring BrowseForFolder(HWND owner, const std::wstring& prompt);
// The file system path of a shell item, however long; empty when it has none.
std::wstring FolderPathOf(PCIDLIST_ABSOLUTE item);

// A modal input box captioned "Tavrolin": the prompt, an edit box holding `defaultText` all
// selected, OK and Cancel. The typed text, or empty on Cancel.
std::wstring InputBox(HWND owner, const std::wstring& prompt, const std::wstring& defaultText);

// Control id of the input box's edit box (for tests and tools).
inline constexpr int kInputBoxEditId = 1001;
inline constexpr int kInputBoxPromptId = 1002;

class Win32FolderPrompts final : public FolderPrompts {
 public:
  explicit Win32FolderPrompts(HWND owner) : owner_(owner) {}
  std::wstring AskText(const std::wstring& prompt, const std::wstring& defaultText) override {
    return InputBox(owner_, prompt, defaultText);
  }
  std::wstring BrowseForFolder(const std::wstring& prompt) override {
    return win::BrowseForFolder(owner_, prompt);
  }

 private:
  HWND owner_;
};

}  // namespace tavrolin::win
