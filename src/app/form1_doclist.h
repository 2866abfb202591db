#pragma once
#include <windows.h>
#include <commctrl.h>

#include <optional>
#include <string>
#include <vector>

#include "app/face_button.h"
#include "app/form_pointers.h"
#include "common/message_boxes.h"
#include "common/win/com_types.h"
#include "common/win/window.h"
#include "doclist/add_files.h"
#include "doclist/document_list.h"
#include "doclist/reorder_gesture.h"
#include "doclist/win/file_drop_target.h"
#include "doclist/win/list_view_binding.h"

namespace tavrolin {

// The document list's part of the window: ListView1 (its view, reorder gesture and drop target)
// and "Add Word File(s)".
class DocListFeature final : public ReorderView {
 public:
  DocListFeature(FaceButton& check1, HWND listView1, DocumentList& documents,
                 FormPointers& pointers, MessageBoxes& boxes);
  ~DocListFeature() override;
  DocListFeature(const DocListFeature&) = delete;
  DocListFeature& operator=(const DocListFeature&) = delete;

  // Registers the list as a drop target; needs OLE.
  void AcceptDrops();

  // ReorderView
  std::optional<int> HitTest(int x, int y) override { return binding_.HitTest(x, y); }
  void EnsureVisible(int position) override { binding_.EnsureVisible(position); }
  int CursorScreenY() override;
  void ShowDragPointer() override;
  void ShowArrowPointer() override;

 private:
  void Check1_Click();
  // Event procedures of ListView1.
  void ListView1_DblClick() { gesture_.DblClick(); }
  void ListView1_MouseDown() { gesture_.MouseDown(); }
  void ListView1_ItemClick() { gesture_.ItemClick(); }
  void ListView1_MouseMove(int x, int y) { gesture_.MouseMove(x, y); }
  void ListView1_MouseUp() { gesture_.MouseUp(); }
  void ListView1_OLEDragOver(bool offersFileDrop, DWORD& effect) {
    effect = DragOverEffect(offersFileDrop, effect);
  }
  void ListView1_OLEDragDrop(const std::vector<std::wstring>& paths) {
    AppendDropped(documents_, paths);
  }

  HWND list() const { return listSubclass_.hwnd(); }
  bool OnListMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnButtonDown(LPARAM lParam);
  void OnButtonUp(WPARAM wParam);

  FaceButton& check1_;
  DocumentList& documents_;
  FormPointers& pointers_;
  MessageBoxes& boxes_;
  win::ListViewBinding binding_;
  ReorderGesture gesture_;
  win::UniqueCursor dragIcon_;
  win::ComPtr<win::FileDropTarget> dropTarget_;
  win::DropRegistration dropRegistration_;
  // The list holds the mouse from a press to the release, so that the release always arrives.
  bool holdsMouse_ = false;
  win::Subclass listSubclass_;  // last: removed before the rest goes
};

}  // namespace tavrolin
