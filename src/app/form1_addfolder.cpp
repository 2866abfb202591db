// Adding a folder's part of the window: " Add All Word Files In Folder".
#include <new>

#include "app/form1_addfolder.h"
#include "common/win/pump.h"
#include "doclist/folder_scan.h"
#include "doclist/win/folder_win.h"

namespace tavrolin {

void AddFolderFeature::Run() {
  win::Win32FolderPrompts prompts(form_.hwnd());
  win::Win32DirectoryLister lister;
  AddFolderPorts ports{prompts, lister, win::UiPump(), form_.Busy(),
                       [this](std::wstring path) { form_.Documents().Append(std::move(path)); }};
  AddAllFilesInFolder(ports);
}

void Form1::Check4_Click() {
  if (!TakePress(Check4)) return;
  try {
    addFolder_->Run();
  } catch (const std::bad_alloc&) {
    // What was added stays in the list; the hourglass has already been taken down.
    Notify(L"Not all files of the folder could be added: the computer ran out of memory.");
  }
}

}  // namespace tavrolin
