// The document list's part of the window: ListView1's events and "Add Word File(s)".
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include "app/form1_doclist.h"
#include "common/win/files.h"
#include "doclist/win/open_file_dialog.h"

namespace tavrolin {
namespace {

constexpr int kListArrow = 1;

// Signed client coordinates of a mouse message (windowsx.h would clash with the GDI wrappers).
int XOf(LPARAM lParam) { return static_cast<short>(LOWORD(lParam)); }
int YOf(LPARAM lParam) { return static_cast<short>(HIWORD(lParam)); }

}  // namespace

DocListFeature::DocListFeature(Form1& form)
    : form_(form),
      binding_(form.ListView1, documents),
      gesture_(documents, *this, form),
      dropTarget_(new win::FileDropTarget(
          [this](bool offers, DWORD& effect) { ListView1_OLEDragOver(offers, effect); },
          [this](std::vector<std::wstring> paths) { ListView1_OLEDragDrop(paths); })) {}

void DocListFeature::AcceptDrops() {
  // Without a registration the list simply takes no drops; the rest works.
  dropRegistration_.Register(form_.ListView1, dropTarget_.get());
}

void Form1::OleReady() {
  if (docList_) docList_->AcceptDrops();
}

// The registration is revoked at the list's WM_DESTROY, or by its own end if the list outlives
// the feature. The drop target is cut off from the feature first: a drag source may still hold
// it after our last release.
DocListFeature::~DocListFeature() { dropTarget_->Detach(); }

DocumentList& Form1::Documents() { return docList_->documents; }

void DocListFeature::ShowArrowPointer() { form_.SetListPointer(kListArrow, nullptr); }

int DocListFeature::CursorScreenY() {
  POINT at{};
  GetCursorPos(&at);
  return at.y;
}

void DocListFeature::ShowDragPointer() {
  // Read anew at every item click; a missing or broken file leaves the pointer as it is.
  win::UniqueCursor icon = win::LoadPointerFile(win::ProgramDirectory() + L"\\drag.ico");
  if (!icon) return;
  form_.SetListPointer(kPointerCustom, icon.get());
  dragIcon_ = std::move(icon);  // the previous picture goes only once it is no longer shown
}

void DocListFeature::OnButtonDown(LPARAM lParam) {
  // The press is handled here instead of by the control, whose own drag detection would hold
  // the moves in a modal loop and could start a drag of the items.
  HWND list = form_.ListView1;
  SetFocus(list);
  ListView1_MouseDown();
  const auto hit = binding_.HitTest(XOf(lParam), YOf(lParam));
  // As the control itself would: a press on empty space clears the selection, so that a
  // double-click there removes nothing.
  documents.Select(hit);
  binding_.Refresh();  // the press shows its selection at once
  if (hit) ListView1_ItemClick();
  if (!holdsMouse_) {
    holdsMouse_ = true;
    SetCapture(list);
  }
}

void DocListFeature::OnButtonUp(WPARAM wParam) {
  ListView1_MouseUp();
  if (holdsMouse_ && !(wParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON))) {
    holdsMouse_ = false;
    ReleaseCapture();
  }
}

bool DocListFeature::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_MOUSEMOVE:
      ListView1_MouseMove(XOf(lParam), YOf(lParam));
      return false;  // the control still tracks hovering
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
      OnButtonDown(lParam);
      result = 0;
      return true;
    case WM_LBUTTONDBLCLK:
      ListView1_DblClick();
      result = 0;
      return true;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      OnButtonUp(wParam);
      result = 0;
      return true;
    case WM_CAPTURECHANGED:
      // Another window took the mouse (a message box, say): its release will never come here,
      // and an armed gesture would go on swapping on mere hovering.
      if (holdsMouse_ && reinterpret_cast<HWND>(lParam) != form_.ListView1) {
        holdsMouse_ = false;
        ListView1_MouseUp();
      }
      return false;
    case WM_DESTROY:
      dropRegistration_.Revoke();
      return false;
    default:
      return false;
  }
}

LRESULT DocListFeature::OnNotify(NMHDR* header) {
  LRESULT result = 0;
  binding_.OnNotify(header, result);
  return result;
}

void Form1::Check1_Click() {
  if (!TakePress(Check1)) return;
  win::OpenFileDialog dialog(hwnd_);
  AddFilesByDialog(dialog, Documents(), *this);
}

bool Form1::OnListViewMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (!docList_) {
    if (message == WM_MOUSEMOVE) SetMousePointer(WindowHoverPointer(mousePointer_));
    return false;
  }
  return docList_->OnMessage(message, wParam, lParam, result);
}

LRESULT Form1::OnListViewNotify(NMHDR* header) {
  if (!docList_) return 0;
  return docList_->OnNotify(header);
}

}  // namespace tavrolin
