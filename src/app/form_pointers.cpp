#include "app/form_pointers.h"

#include <commctrl.h>

#include "app/control_ids.h"

namespace tavrolin {
namespace {

constexpr UINT_PTR kSubclassId = 0x9011;

PointerHit HitOf(UINT hitTest) {
  const short hit = static_cast<short>(hitTest);
  if (hit == HTCLIENT) return PointerHit::Client;
  return hit == HTERROR ? PointerHit::Refused : PointerHit::Frame;
}

}  // namespace

FormPointers::FormPointers(HWND form, HWND list)
    : form_(form),
      list_(list),
      header_(reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0))) {
  for (HWND control : {list_, header_}) {
    if (control) SetWindowSubclass(control, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
  }
}

FormPointers::~FormPointers() {
  for (HWND control : {list_, header_}) {
    if (control) RemoveWindowSubclass(control, SubclassProc, kSubclassId);
  }
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
  query.overList = over == list_ || GetParent(over) == list_;
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

LRESULT CALLBACK FormPointers::SubclassProc(HWND control, UINT message, WPARAM wParam,
                                            LPARAM lParam, UINT_PTR, DWORD_PTR self) {
  auto* pointers = reinterpret_cast<FormPointers*>(self);
  if (message == WM_SETCURSOR && pointers->Show(control, LOWORD(lParam), true)) return TRUE;
  if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(control, SubclassProc, kSubclassId);
    if (control == pointers->list_) pointers->list_ = nullptr;
    if (control == pointers->header_) pointers->header_ = nullptr;
  }
  return DefSubclassProc(control, message, wParam, lParam);
}

}  // namespace tavrolin
