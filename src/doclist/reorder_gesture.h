#pragma once
// Editing the list in place: removal by double-click and the press-move-release gesture that
// moves a document through the list by swapping texts with the item under the pointer.
#include <optional>

#include "common/window_pointer.h"
#include "doclist/document_list.h"

namespace tavrolin {

// What the gesture needs of the list control beyond the model.
class ReorderView {
 public:
  virtual ~ReorderView() = default;
  // The position of the item at (x, y) in the list's own coordinates, or none over empty space.
  virtual std::optional<int> HitTest(int x, int y) = 0;
  // Scrolls the list so that the item at `position` is visible.
  virtual void EnsureVisible(int position) = 0;
  // The vertical screen coordinate of the pointer, in pixels.
  virtual int CursorScreenY() = 0;
  // The list's own pointer: the drag picture (left as it is when the picture cannot be loaded),
  // or the arrow.
  virtual void ShowDragPointer() = 0;
  virtual void ShowArrowPointer() = 0;
};

// After a swap the neighbour is scrolled into view while the pointer is above the first or below
// the second of these screen rows. They are absolute: where the window stands does not enter.
inline constexpr int kScrollUpBelowScreenY = 305;
inline constexpr int kScrollDownAboveScreenY = 364;

class ReorderGesture {
 public:
  ReorderGesture(DocumentList& list, ReorderView& view, WindowPointer& windowPointer)
      : list_(list), view_(view), windowPointer_(windowPointer) {}
  ReorderGesture(const ReorderGesture&) = delete;
  ReorderGesture& operator=(const ReorderGesture&) = delete;

  // Removes the selected document; nothing happens without a selection.
  void DblClick();
  // Any mouse button arms the gesture.
  void MouseDown();
  // The selected item becomes the one that carries the dragged path.
  void ItemClick();
  // One pointer move at (x, y) in the list's coordinates.
  void MouseMove(int x, int y);
  // Any button's release disarms; `DragItem` stays for a later press.
  void MouseUp();

  bool Dragging = false;
  // The item that holds the dragged path; an item that has since been removed counts as none.
  std::optional<DocumentList::ItemId> DragItem;
  // Set and used within one move only.
  std::optional<DocumentList::ItemId> HitItem;

 private:
  std::optional<int> DragPosition() const;
  void ScrollAfterSwap(int hitPosition);

  DocumentList& list_;
  ReorderView& view_;
  WindowPointer& windowPointer_;
};

}  // namespace tavrolin
