#pragma once
#include <windows.h>

#include "app/face_button.h"
#include "common/message_boxes.h"
#include "common/window_pointer.h"
#include "doclist/document_list.h"

namespace tavrolin {

// Adding a folder's part of the window: " Add All Word Files In Folder". It holds no state
// between presses.
class AddFolderFeature {
 public:
  // `owner` owns the questions and the folder picker.
  AddFolderFeature(FaceButton& check4, HWND owner, DocumentList& documents, MessageBoxes& boxes,
                   BusyMark& busy);
  ~AddFolderFeature();
  AddFolderFeature(const AddFolderFeature&) = delete;
  AddFolderFeature& operator=(const AddFolderFeature&) = delete;

 private:
  void Check4_Click();
  // Everything of one press lives in this call, so that a press during another scan's pumped
  // events runs a scan of its own and leaves the outer one intact.
  void Run();

  FaceButton& check4_;
  HWND owner_;
  DocumentList& documents_;
  MessageBoxes& boxes_;
  BusyMark& busy_;
};

}  // namespace tavrolin
