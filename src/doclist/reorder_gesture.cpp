#include "doclist/reorder_gesture.h"

#include <utility>

namespace tavrolin {

void ReorderGesture::DblClick() {
  const auto selected = list_.Selected();
  if (!selected) return;
  list_.Remove(*selected);
}

void ReorderGesture::MouseDown() { Dragging = true; }

void ReorderGesture::ItemClick() {
  view_.ShowDragPointer();
  const auto selected = list_.Selected();
  if (selected) DragItem = list_.IdAt(*selected);
  else DragItem.reset();
}

std::optional<int> ReorderGesture::DragPosition() const {
  if (!DragItem) return std::nullopt;
  return list_.PositionOf(*DragItem);
}

void ReorderGesture::MouseMove(int x, int y) {
  windowPointer_.SetMousePointer(WindowHoverPointer(windowPointer_.MousePointer()));
  if (!Dragging) return;

  // The control may still show a count from before a removal that it has not caught up with.
  const auto hit = view_.HitTest(x, y);
  if (hit && *hit >= 1 && *hit <= list_.Count()) HitItem = list_.IdAt(*hit);

  const auto dragPosition = DragPosition();
  if (dragPosition && HitItem) {
    const int hitPosition = *list_.PositionOf(*HitItem);
    if (list_.Text(hitPosition) != list_.Text(*dragPosition)) {
      std::wstring dragged = list_.Text(*dragPosition);
      list_.SetText(*dragPosition, list_.Text(hitPosition));
      list_.SetText(hitPosition, std::move(dragged));
      list_.Select(hitPosition);
      DragItem = list_.IdAt(hitPosition);
      ScrollAfterSwap(hitPosition);
    }
  }
  HitItem.reset();
}

void ReorderGesture::ScrollAfterSwap(int hitPosition) {
  const int screenY = view_.CursorScreenY();
  if (screenY < kScrollUpBelowScreenY && hitPosition > 1) {
    view_.EnsureVisible(hitPosition - 1);
  } else if (screenY > kScrollDownAboveScreenY && hitPosition + 1 <= list_.Count()) {
    view_.EnsureVisible(hitPosition + 1);
  }
}

void ReorderGesture::MouseUp() {
  Dragging = false;
  view_.ShowArrowPointer();
}

}  // namespace tavrolin
