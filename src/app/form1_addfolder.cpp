// Adding a folder's part of the window: " Add All Word Files In Folder".
#include <new>

#include "app/form1_addfolder.h"
#include "common/win/pump.h"
#include "doclist/folder_scan.h"
#include "doclist/win/folder_win.h"

namespace tavrolin {

AddFolderFeature::AddFolderFeature(FaceButton& check4, HWND owner, DocumentList& documents,
                                   MessageBoxes& boxes, BusyMark& busy)
    : check4_(check4), owner_(owner), documents_(documents), boxes_(boxes), busy_(busy) {
  check4_.OnClick([this] { Check4_Click(); });
}

AddFolderFeature::~AddFolderFeature() { check4_.OnClick(nullptr); }

void AddFolderFeature::Run() {
  win::Win32FolderPrompts prompts(owner_);
  win::Win32DirectoryLister lister;
  AddFolderPorts ports{prompts, lister, win::UiPump(), busy_,
                       [this](std::wstring path) { documents_.Append(std::move(path)); }};
  AddAllFilesInFolder(ports);
}

void AddFolderFeature::Check4_Click() {
  if (!check4_.TakePress()) return;
  try {
    Run();
  } catch (const std::bad_alloc&) {
    // What was added stays in the list; the hourglass has already been taken down.
    boxes_.Notify(L"Not all files of the folder could be added: the computer ran out of memory.");
  }
}

}  // namespace tavrolin
