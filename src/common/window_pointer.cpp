#include "common/window_pointer.h"

namespace tavrolin {

PointerShape ShownPointer(const PointerQuery& query) {
  // Before the list's own choice only a window-wide setting decides: the header's divider, say,
  // stays while it is 0.
  if (query.beforeControl && query.windowPointer == kPointerDefault) return PointerShape::Own;
  if (query.windowPointer == kPointerHourglass) {
    // Over a window disabled by a message box the system's own answer (and beep) stays.
    return query.hit == PointerHit::Refused ? PointerShape::Own : PointerShape::Hourglass;
  }
  if (query.hit != PointerHit::Client) return PointerShape::Own;
  if (query.windowPointer == kPointerCustom) {
    return query.windowPicture ? PointerShape::WindowPicture : PointerShape::Arrow;
  }
  if (query.windowPointer != kPointerDefault) return PointerShape::Arrow;
  if (!query.overList) return PointerShape::Own;
  if (query.listPointer == kPointerCustom && query.listPicture) return PointerShape::ListPicture;
  if (query.listPointer == kPointerArrow) return PointerShape::Arrow;
  return PointerShape::Own;
}

int ButtonHoverPointer(int current) {
  return current == kPointerHourglass ? current : kPointerCustom;
}

int WindowHoverPointer(int current) {
  return current == kPointerHourglass ? current : kPointerDefault;
}

void BusyMark::Begin() {
  ++depth_;
  pointer_.SetMousePointer(kPointerHourglass);
}

void BusyMark::Refresh() { pointer_.SetMousePointer(kPointerHourglass); }

void BusyMark::End() {
  if (depth_ > 0) --depth_;
  pointer_.SetMousePointer(depth_ > 0 ? kPointerHourglass : kPointerDefault);
}

}  // namespace tavrolin
