#include "common/window_pointer.h"

namespace tavrolin {

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
