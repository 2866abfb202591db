#pragma once
#include <windows.h>

#include <functional>

#include "common/win/window.h"

namespace tavrolin {

// A two-state button (a push-like check box) that paints its own face: white with a thin frame,
// after the system's push buttons, blue when hot or down, a picture above the caption. A
// push-like button ignores WM_CTLCOLORBTN, so neither look would show it white otherwise.
// Its parent reflects WM_COMMAND to it (win::ReflectToControl); a click runs the handler.
class FaceButton {
 public:
  // A child of `parent` at `place`, created at once; `iconId` 0 shows the caption alone.
  FaceButton(HWND parent, int id, const wchar_t* caption, int iconId, const RECT& place);
  FaceButton(const FaceButton&) = delete;
  FaceButton& operator=(const FaceButton&) = delete;

  HWND hwnd() const { return subclass_.hwnd(); }
  // The picture is sized for `dpi`; under high contrast the system's colours are used.
  void SetLook(int dpi, bool highContrast);
  void OnClick(std::function<void()> handler) { onClick_ = std::move(handler); }
  void OnMouseMove(std::function<void()> handler) { onMouseMove_ = std::move(handler); }
  // A right-click, Shift+F10 or the menu key on it: where, in screen coordinates ((-1, -1) from
  // the keyboard).
  void OnContextMenu(std::function<void(POINT)> handler) { onContextMenu_ = std::move(handler); }

  // The button pattern: true, with the value put back to unchecked, when the press should run
  // its action (a click that unchecked the button runs none).
  bool TakePress();

 private:
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  void Paint(HDC target);
  void DrawFace(HDC dc, const RECT& face);
  void DrawPictureAndCaption(HDC dc, const RECT& face, bool down, bool enabled, COLORREF text);

  int iconId_;
  int dpi_ = 0;
  bool highContrast_ = false;
  win::UniqueIcon icon_;
  std::function<void()> onClick_;
  std::function<void()> onMouseMove_;
  std::function<void(POINT)> onContextMenu_;
  win::Subclass subclass_;  // last: removed before the rest goes
};

}  // namespace tavrolin
