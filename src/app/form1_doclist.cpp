// The document list's part of the window: ListView1's events and "Add Word File(s)".
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include "app/form1_doclist.h"
#include "common/win/files.h"
#include "doclist/win/open_file_dialog.h"

namespace tavrolin {
namespace {

// Signed client coordinates of a mouse message (windowsx.h would clash with the GDI wrappers).
int XOf(LPARAM lParam) { return static_cast<short>(LOWORD(lParam)); }
int YOf(LPARAM lParam) { return static_cast<short>(HIWORD(lParam)); }

}  // namespace

DocListFeature::DocListFeature(FaceButton& check1, HWND listView1, DocumentList& documents,
                               FormPointers& pointers, MessageBoxes& boxes)
    : check1_(check1),
      documents_(documents),
      pointers_(pointers),
      boxes_(boxes),
      binding_(listView1, documents),
      gesture_(documents, *this, pointers),
      dropTarget_(new win::FileDropTarget(
          [this](bool offers, DWORD& effect) { ListView1_OLEDragOver(offers, effect); },
          [this](std::vector<std::wstring> paths) { ListView1_OLEDragDrop(paths); })),
      listSubclass_(listView1, [this](UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
        result = 0;
        return OnListMessage(message, wParam, lParam);
      }) {
  check1_.OnClick([this] { Check1_Click(); });
}

// The registration is revoked at the list's WM_DESTROY, or by its own end if the list outlives
// the feature. The drop target is cut off from the feature first: a drag source may still hold
// it after our last release.
DocListFeature::~DocListFeature() {
  dropTarget_->Detach();
  check1_.OnClick(nullptr);
}

void DocListFeature::AcceptDrops() {
  // Without a registration the list simply takes no drops; the rest works.
  dropRegistration_.Register(list(), dropTarget_.get());
}

void DocListFeature::Check1_Click() {
  if (!check1_.TakePress()) return;
  // The window that holds the list owns the dialog.
  win::OpenFileDialog dialog(GetParent(list()));
  AddFilesByDialog(dialog, documents_, boxes_);
}

void DocListFeature::ShowArrowPointer() { pointers_.SetListPointer(kPointerArrow, nullptr); }

int DocListFeature::CursorScreenY() {
  POINT at{};
  GetCursorPos(&at);
  return at.y;
}

void DocListFeature::ShowDragPointer() {
  // Read anew at every item click; a missing or broken file leaves the pointer as it is.
  win::UniqueCursor icon = win::LoadPointerFile(win::ProgramDirectory() + L"\\drag.ico");
  if (!icon) return;
  pointers_.SetListPointer(kPointerCustom, icon.get());
  dragIcon_ = std::move(icon);  // the previous picture goes only once it is no longer shown
}

void DocListFeature::OnButtonDown(LPARAM lParam) {
  // The press is handled here instead of by the control, whose own drag detection would hold
  // the moves in a modal loop and could start a drag of the items.
  SetFocus(list());
  ListView1_MouseDown();
  const auto hit = binding_.HitTest(XOf(lParam), YOf(lParam));
  // As the control itself would: a press on empty space clears the selection, so that a
  // double-click there removes nothing.
  documents_.Select(hit);
  binding_.Refresh();  // the press shows its selection at once
  if (hit) ListView1_ItemClick();
  if (!holdsMouse_) {
    holdsMouse_ = true;
    SetCapture(list());
  }
}

void DocListFeature::OnButtonUp(WPARAM wParam) {
  ListView1_MouseUp();
  if (holdsMouse_ && !(wParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON))) {
    holdsMouse_ = false;
    ReleaseCapture();
  }
}

// True when the message is handled here and the control does not see it.
bool DocListFeature::OnListMessage(UINT message, WPARAM wParam, LPARAM lParam) {
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
      return true;
    case WM_LBUTTONDBLCLK:
      ListView1_DblClick();
      return true;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      OnButtonUp(wParam);
      return true;
    case WM_CAPTURECHANGED:
      // Another window took the mouse (a message box, say): its release will never come here,
      // and an armed gesture would go on swapping on mere hovering.
      if (holdsMouse_ && reinterpret_cast<HWND>(lParam) != list()) {
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

}  // namespace tavrolin
