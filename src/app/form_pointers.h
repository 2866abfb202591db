#pragma once
#include <windows.h>

#include <string>

#include "common/win/window.h"
#include "common/window_pointer.h"

namespace tavrolin {

// The main window's pointers on the screen: the window-wide `MousePointer` setting, the list's
// own pointer and the busy mark, shown by the rules of ShownPointer.
class FormPointers final : public WindowPointer {
 public:
  // The setting is published on `form`; `list` (and its header) let the window-wide setting
  // decide before they choose their own pointer.
  FormPointers(HWND form, HWND list);
  FormPointers(const FormPointers&) = delete;
  FormPointers& operator=(const FormPointers&) = delete;

  int MousePointer() const override { return mousePointer_; }
  void SetMousePointer(int value) override;
  BusyMark& Busy() { return busy_; }

  // The list's own pointer, shown while the window's setting is 0: kPointerDefault as the
  // control has it, kPointerArrow, or kPointerCustom with `picture` (kept by the caller).
  void SetListPointer(int value, HCURSOR picture);
  // The window's custom picture from a pointer file; without it the arrow stands in.
  void LoadWindowPicture(const std::wstring& path);

  // The window's WM_SETCURSOR: true when a pointer was set.
  bool OnSetCursor(HWND over, UINT hitTest) { return Show(over, hitTest, false); }

 private:
  // The subclass of `control`: the window-wide setting decides before the control chooses.
  win::Subclass::Handler DecidingFirst(HWND control);
  bool Show(HWND over, UINT hitTest, bool beforeControl);
  // Lets the window under the pointer choose again, as on a move.
  void ShowCurrentPointer();

  HWND form_;
  int mousePointer_ = kPointerDefault;
  win::UniqueCursor windowPicture_;  // "HAND-M.CUR", when present
  int listPointer_ = kPointerDefault;
  HCURSOR listPicture_ = nullptr;
  BusyMark busy_{*this};
  // Last: removed before the rest goes.
  win::Subclass listSubclass_;
  win::Subclass headerSubclass_;
};

}  // namespace tavrolin
