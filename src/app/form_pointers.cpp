#include "app/form_pointers.h"

#include <commctrl.h>

#include "app/control_ids.h"

namespace tavrolin {
namespace {

PointerHit HitOf(UINT hitTest) {
  const short hit = static_cast<short>(hitTest);
  if (hit == HTCLIENT) return PointerHit::Client;
  return hit == HTERROR ? PointerHit::Refused : PointerHit::Frame;
}

HWND HeaderOf(HWND list) { return reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0)); }

}  // namespace

FormPointers::FormPointers(HWND form, HWND list)
    : form_(form),
      listSubclass_(list, DecidingFirst(list)),
      headerSubclass_(HeaderOf(list), DecidingFirst(HeaderOf(list))) {}

win::Subclass::Handler FormPointers::DecidingFirst(HWND control) {
  return [this, control](UINT message, WPARAM, LPARAM lParam, LRESULT& result) {
    if (message != WM_SETCURSOR || !Show(control, LOWORD(lParam), true)) return false;
    result = TRUE;
    return true;
  };
}

void FormPointers::SetMousePointer(int value) {
  if (value == mousePointer_) return;
  mousePointer_ = value;
  // Published on the window so that tools (and the end-to-end tests) can read the setting.
  SetPropW(form_, kMousePointerProperty, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(value)));
  ShowCurrentPointer();
}

void FormPointers::SetListPointer(int value, HCURSOR picture) {
  listPointer_ = value;
  listPicture_ = picture;
  ShowCurrentPointer();
}

void FormPointers::LoadWindowPicture(const std::wstring& path) {
  windowPicture_ = win::LoadPointerFile(path);
  ShowCurrentPointer();
}

void FormPointers::ShowCurrentPointer() {
  POINT at{};
  GetCursorPos(&at);
  HWND over = WindowFromPoint(at);
  if (over != form_ && GetParent(over) != form_) return;
  SendMessageW(over, WM_SETCURSOR, reinterpret_cast<WPARAM>(over),
               MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
}

bool FormPointers::Show(HWND over, UINT hitTest, bool beforeControl) {
  PointerQuery query;
  query.windowPointer = mousePointer_;
  query.listPointer = listPointer_;
  query.windowPicture = static_cast<bool>(windowPicture_);
  query.listPicture = listPicture_ != nullptr;
  const HWND list = listSubclass_.hwnd();
  query.overList = over == list || GetParent(over) == list;
  query.hit = HitOf(hitTest);
  query.beforeControl = beforeControl;
  switch (ShownPointer(query)) {
    case PointerShape::Own: return false;
    case PointerShape::Arrow: SetCursor(LoadCursorW(nullptr, IDC_ARROW)); return true;
    case PointerShape::Hourglass: SetCursor(LoadCursorW(nullptr, IDC_WAIT)); return true;
    case PointerShape::WindowPicture: SetCursor(windowPicture_.get()); return true;
    case PointerShape::ListPicture: SetCursor(listPicture_); return true;
  }
  return false;
}

}  // namespace tavrolin
